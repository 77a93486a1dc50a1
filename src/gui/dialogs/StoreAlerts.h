#pragma once

#include "core/AppState.h"
#include "core/store/StoreMessages.h"
#include "core/store/ValueStore.h"
#include "gui/dialogs/Dialogs.h"

namespace voxilo {

// Tells the user of a failure of the settings store, with its message, icon and title.
void showStoreFailure(Dialogs& dialogs, QWidget* parent, StoreFailure failure);

// The logged-in user's key code and pattern from the store into `state`; a failure is told and
// the default stands in.
void readUserCipher(ValueStore& store, AppState& state, Dialogs& dialogs, QWidget* parent);

}  // namespace voxilo
