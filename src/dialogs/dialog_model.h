#pragma once
// The toolkit-free dialog model: pages of controls by id, the shared
// behaviour of numeric triples (trackbar, up-down, edit showing one value),
// and the automation calls a view or a test drives it with. A concrete
// dialog (camera, image, analog) builds its pages and reacts to changes and
// buttons; it never touches a toolkit.
//
// Threads: a model lives for one modal call on the caller's thread; nothing
// in it is shared.
#include <map>
#include <string>
#include <vector>

#include "dialogs/dialog_automation.h"
#include "dialogs/language.h"

namespace lumvek::dialogs {

class DialogModel : public DialogAutomation {
public:
    explicit DialogModel(Language language) : language_(language) {}

    [[nodiscard]] std::string title() const override;
    [[nodiscard]] std::vector<PageState> pages() const override { return pages_; }
    [[nodiscard]] std::vector<int> buttons() const override { return buttons_; }
    [[nodiscard]] const ControlState* control(int id) const override;
    Outcome setValue(int id, int value) override;
    Outcome setText(int id, const std::string& text) override;
    Outcome press(int id) override;
    [[nodiscard]] bool closed() const override { return result_ != 0; }
    [[nodiscard]] int result() const override { return result_; }
    [[nodiscard]] std::string message() const override { return message_; }
    [[nodiscard]] uint64_t revision() const override { return revision_; }

    [[nodiscard]] Language language() const { return language_; }

protected:
    // ---- Building pages (while initialising: changes are not handled) ----
    int addPage(std::string caption);
    ControlState& add(int page, ControlState control);
    // A trackbar, up-down and edit over one range; the label rides on the trackbar.
    void addTriple(int page, int trackbar, int upDown, int edit, std::string label, int min, int max,
                   int tick, int value);
    // An edit with its up-down (no trackbar), labelled.
    void addSpinEdit(int page, int upDown, int edit, std::string label, int min, int max, int value);
    // A plain numeric edit, labelled.
    void addEdit(int page, int id, std::string label, int min, int max, int value);
    void addCheck(int page, int id, std::string caption, bool checked);
    // Radio buttons ids[i] for values i; the one of value is selected.
    void addRadios(int page, const std::vector<std::pair<int, std::string>>& radios, int value);
    void addCombo(int page, int id, std::string label, std::vector<std::string> items, int selected);
    void addButton(int page, int id, std::string caption);
    void addLabel(int page, int id, std::string text);
    void setButtons(std::vector<int> ids) { buttons_ = std::move(ids); }
    // Page building is over: from now on changes reach onChange.
    void finishInitialising() { initialised_ = true; }

    // ---- Reading and writing controls from the dialog's own logic ----
    [[nodiscard]] ControlState& at(int id);
    [[nodiscard]] int value(int id) const;
    // Sets a triple (by any of its ids), a check, radio or combo without
    // handling it as a user change; clamped.
    void show(int id, int value);
    void showText(int id, std::string text);
    void enable(int id, bool on);
    void setVisible(int id, bool on);
    void close(int result) { result_ = result; touch(); }
    void tell(std::string message) { message_ = std::move(message); touch(); }
    void touch() { ++revision_; }

    // ---- What a concrete dialog does ----
    // A user change of control id (a triple reports its edit id) to value.
    virtual void onChange(int id, int value) = 0;
    // A button other than Cancel, or Cancel when overridden.
    virtual void onButton(int id) = 0;
    // An edit whose text is not an integer (the seconds edit): false refuses.
    virtual bool onText(int /*id*/, const std::string& /*text*/) { return false; }

    Language language_;

private:
    Outcome change(ControlState& c, int value);
    [[nodiscard]] const ControlState* find(int id) const;

    std::vector<PageState> pages_;
    std::vector<int> buttons_;
    std::map<int, ControlState> controls_;
    bool initialised_ = false;
    int result_ = 0;
    std::string message_;
    uint64_t revision_ = 1;
};

// Parses a whole integer (surrounding blanks allowed); false for anything else.
[[nodiscard]] bool parseInteger(const std::string& text, long long& value);
// Parses a whole real number; false for anything else (also inf and nan).
[[nodiscard]] bool parseReal(const std::string& text, double& value);

} // namespace lumvek::dialogs
