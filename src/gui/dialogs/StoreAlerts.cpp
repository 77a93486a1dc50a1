#include "gui/dialogs/StoreAlerts.h"

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

}  // namespace voxilo
