#include "dialogs/dialog_view.h"

namespace lumvek::dialogs {

void cancelIfOpen(DialogAutomation& model) {
    if (!model.closed()) {
        (void)model.press(kIdCancel);
    }
}

} // namespace lumvek::dialogs
