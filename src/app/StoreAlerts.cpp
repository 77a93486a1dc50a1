#include "app/StoreAlerts.h"

#include "app/AppInfo.h"
#include "app/QtText.h"

namespace voxilo {

void showStoreFailure(Dialogs& dialogs, QWidget* parent, StoreFailure failure) {
    const StoreMessage message = storeMessage(failure);
    dialogs.message(
        parent,
        QString::fromUtf16(message.text.data(), static_cast<qsizetype>(message.text.size())),
        AppInfo::title(), Dialogs::Buttons::Ok, message.icon);
}

}  // namespace voxilo
