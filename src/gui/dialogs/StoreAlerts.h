#pragma once

#include "gui/dialogs/Dialogs.h"
#include "core/store/StoreMessages.h"

namespace voxilo {

// Tells the user of a failure of the settings store, with its message, icon and title.
void showStoreFailure(Dialogs& dialogs, QWidget* parent, StoreFailure failure);

}  // namespace voxilo
