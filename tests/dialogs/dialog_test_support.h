#pragma once
// A view that runs a script against the dialog model instead of showing it.
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "dialogs/dialog_view.h"

namespace lumvek::test {

class ScriptedView final : public dialogs::DialogView {
public:
    using Script = std::function<void(dialogs::DialogAutomation&)>;
    explicit ScriptedView(Script script, bool shows = true) : script_(std::move(script)), shows_(shows) {}
    bool run(dialogs::DialogAutomation& model, HWND) override {
        ++runs;
        script_(model);
        return shows_;
    }
    int runs = 0;

private:
    Script script_;
    bool shows_;
};

// Sets a scripted view on instance; returns a borrowed pointer to it.
template <typename Instance>
ScriptedView* useScript(Instance& instance, ScriptedView::Script script) {
    auto view = std::make_unique<ScriptedView>(std::move(script));
    ScriptedView* borrowed = view.get();
    instance.setDialogView(std::move(view));
    return borrowed;
}

// The ids of every control a model holds (on its pages and its buttons).
inline std::set<std::pair<int, int>> idsAndKinds(const dialogs::DialogAutomation& model) {
    std::set<std::pair<int, int>> ids;
    for (const dialogs::PageState& page : model.pages()) {
        for (int id : page.controls) {
            ids.emplace(id, static_cast<int>(model.control(id)->kind));
        }
    }
    for (int id : model.buttons()) {
        ids.emplace(id, static_cast<int>(dialogs::ControlKind::Button));
    }
    return ids;
}

} // namespace lumvek::test
