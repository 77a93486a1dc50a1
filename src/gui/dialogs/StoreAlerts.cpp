#include "gui/dialogs/StoreAlerts.h"

#include "core/store/UserRecords.h"
#include "gui/dialogs/AppInfo.h"
#include "gui/dialogs/QtText.h"

namespace voxilo {

void showStoreFailure(Dialogs& dialogs, QWidget* parent, StoreFailure failure) {
    const StoreMessage message = storeMessage(failure);
    dialogs.message(
        parent,
        QString::fromUtf16(message.text.data(), static_cast<qsizetype>(message.text.size())),
        AppInfo::title(), Dialogs::Buttons::Ok, message.icon);
}

void readUserCipher(ValueStore& store, AppState& state, Dialogs& dialogs, QWidget* parent) {
    const auto keyCode = readKeyCode(store, state.settingsKey, state.currentUser);
    if (keyCode.failure) showStoreFailure(dialogs, parent, *keyCode.failure);
    const auto pattern = readPattern(store, state.settingsKey, state.currentUser);
    if (pattern.failure) showStoreFailure(dialogs, parent, *pattern.failure);
    state.keyCode = keyCode.value;
    state.pattern = pattern.value;
}

}  // namespace voxilo
