#include "dialogs/dialog_model.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace lumvek::dialogs {

namespace {

bool blank(const char* p) {
    while (*p == ' ' || *p == '\t') {
        ++p;
    }
    return *p == '\0';
}

} // namespace

bool parseInteger(const std::string& text, long long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, 10);
    if (end == begin || !blank(end) || blank(begin)) {
        return false;
    }
    // Saturated on overflow: the caller clamps to the control's range anyway.
    value = v;
    return true;
}

bool parseReal(const std::string& text, double& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin || !blank(end) || blank(begin) || !std::isfinite(v)) {
        return false;
    }
    value = v;
    return true;
}

std::string DialogModel::title() const {
    return pick(language_, "Property", "プロパティ");
}

const ControlState* DialogModel::find(int id) const {
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

const ControlState* DialogModel::control(int id) const {
    return find(id);
}

ControlState& DialogModel::at(int id) {
    return controls_.at(id);
}

int DialogModel::value(int id) const {
    const ControlState* c = find(id);
    return c != nullptr ? c->value : 0;
}

int DialogModel::addPage(std::string caption) {
    pages_.push_back(PageState{std::move(caption), {}});
    return static_cast<int>(pages_.size()) - 1;
}

ControlState& DialogModel::add(int page, ControlState control) {
    const int id = control.id;
    pages_.at(static_cast<size_t>(page)).controls.push_back(id);
    ControlState& stored = controls_[id] = std::move(control);
    return stored;
}

void DialogModel::addTriple(int page, int trackbar, int upDown, int edit, std::string label, int min, int max,
                            int tick, int value) {
    for (const auto& [id, kind] : {std::pair{trackbar, ControlKind::Trackbar}, std::pair{upDown, ControlKind::UpDown},
                                  std::pair{edit, ControlKind::Edit}}) {
        ControlState c;
        c.id = id;
        c.kind = kind;
        c.min = min;
        c.max = max;
        c.tick = kind == ControlKind::Trackbar ? tick : 0;
        c.trackbar = trackbar;
        c.upDown = upDown;
        c.edit = edit;
        c.label = label;
        add(page, std::move(c));
    }
    show(edit, value);
}

void DialogModel::addSpinEdit(int page, int upDown, int edit, std::string label, int min, int max, int value) {
    for (const auto& [id, kind] : {std::pair{upDown, ControlKind::UpDown}, std::pair{edit, ControlKind::Edit}}) {
        ControlState c;
        c.id = id;
        c.kind = kind;
        c.min = min;
        c.max = max;
        c.upDown = upDown;
        c.edit = edit;
        c.label = label;
        add(page, std::move(c));
    }
    show(edit, value);
}

void DialogModel::addEdit(int page, int id, std::string label, int min, int max, int value) {
    ControlState c;
    c.id = id;
    c.kind = ControlKind::Edit;
    c.label = std::move(label);
    c.min = min;
    c.max = max;
    c.edit = id;
    add(page, std::move(c));
    show(id, value);
}

void DialogModel::addCheck(int page, int id, std::string caption, bool checked) {
    ControlState c;
    c.id = id;
    c.kind = ControlKind::Check;
    c.text = std::move(caption);
    c.max = 1;
    c.value = checked ? 1 : 0;
    add(page, std::move(c));
}

void DialogModel::addRadios(int page, const std::vector<std::pair<int, std::string>>& radios, int value) {
    for (size_t i = 0; i < radios.size(); ++i) {
        ControlState c;
        c.id = radios[i].first;
        c.kind = ControlKind::Radio;
        c.text = radios[i].second;
        c.max = 1;
        c.group = radios.front().first;
        c.value = static_cast<int>(i) == value ? 1 : 0;
        add(page, std::move(c));
    }
}

void DialogModel::addCombo(int page, int id, std::string label, std::vector<std::string> items, int selected) {
    ControlState c;
    c.id = id;
    c.kind = ControlKind::Combo;
    c.label = std::move(label);
    c.items = std::move(items);
    c.min = 0;
    c.max = static_cast<int>(c.items.size()) - 1;
    c.value = selected;
    add(page, std::move(c));
}

void DialogModel::addButton(int page, int id, std::string caption) {
    ControlState c;
    c.id = id;
    c.kind = ControlKind::Button;
    c.text = std::move(caption);
    if (page >= 0) {
        add(page, std::move(c));
    } else {
        controls_[id] = std::move(c);
    }
}

void DialogModel::addLabel(int page, int id, std::string text) {
    ControlState c;
    c.id = id;
    c.kind = ControlKind::Label;
    c.text = std::move(text);
    add(page, std::move(c));
}

void DialogModel::show(int id, int v) {
    ControlState& c = at(id);
    const int clamped = std::clamp(v, c.min, std::max(c.min, c.max));
    switch (c.kind) {
    case ControlKind::Trackbar:
    case ControlKind::UpDown:
    case ControlKind::Edit:
        for (int member : {c.trackbar, c.upDown, c.edit}) {
            if (member != 0) {
                ControlState& m = at(member);
                m.value = clamped;
                if (m.kind == ControlKind::Edit) {
                    m.text = std::to_string(clamped);
                }
            }
        }
        break;
    case ControlKind::Radio:
        for (auto& [otherId, other] : controls_) {
            if (other.kind == ControlKind::Radio && other.group == c.group) {
                other.value = otherId == id && v != 0 ? 1 : 0;
            }
        }
        break;
    case ControlKind::Combo:
        c.value = c.items.empty() ? -1 : std::clamp(v, 0, static_cast<int>(c.items.size()) - 1);
        break;
    default:
        c.value = clamped;
        break;
    }
    touch();
}

void DialogModel::showText(int id, std::string text) {
    at(id).text = std::move(text);
    touch();
}

void DialogModel::enable(int id, bool on) {
    at(id).enabled = on;
    touch();
}

void DialogModel::setVisible(int id, bool on) {
    at(id).visible = on;
    touch();
}

Outcome DialogModel::change(ControlState& c, int v) {
    if (!c.enabled || !c.visible) {
        return Outcome::Disabled;
    }
    const int reported = c.edit != 0 ? c.edit : c.id;
    show(c.id, v);
    if (initialised_) {
        onChange(reported, at(c.id).value);
    }
    return Outcome::Done;
}

Outcome DialogModel::setValue(int id, int v) {
    if (closed()) {
        return Outcome::Closed;
    }
    auto it = controls_.find(id);
    if (it == controls_.end() || it->second.kind == ControlKind::Label || it->second.kind == ControlKind::Button ||
        it->second.kind == ControlKind::Group) {
        return Outcome::NoControl;
    }
    if (it->second.kind == ControlKind::Radio && v == 0) {
        return Outcome::Refused;  // a radio button is cleared by choosing another
    }
    return change(it->second, v);
}

Outcome DialogModel::setText(int id, const std::string& text) {
    if (closed()) {
        return Outcome::Closed;
    }
    auto it = controls_.find(id);
    if (it == controls_.end() || it->second.kind != ControlKind::Edit) {
        return Outcome::NoControl;
    }
    ControlState& c = it->second;
    if (!c.enabled || !c.visible) {
        return Outcome::Disabled;
    }
    long long number = 0;
    if (c.edit == 0 || !parseInteger(text, number)) {
        // Not an integer: only an edit that takes other text may accept it.
        if (!onText(id, text)) {
            tell(pick(language_, "Please enter a number.", "数値を入力してください。"));
            return Outcome::Refused;
        }
        return Outcome::Done;
    }
    const long long clamped = std::clamp<long long>(number, c.min, std::max(c.min, c.max));
    return change(c, static_cast<int>(clamped));
}

Outcome DialogModel::press(int id) {
    if (closed()) {
        return Outcome::Closed;
    }
    const ControlState* c = find(id);
    if (c == nullptr || c->kind != ControlKind::Button) {
        return Outcome::NoControl;
    }
    if (!c->enabled || !c->visible) {
        return Outcome::Disabled;
    }
    onButton(id);
    touch();
    return Outcome::Done;
}

} // namespace lumvek::dialogs
