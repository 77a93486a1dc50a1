#pragma once

#include <string_view>

#include "core/platform/MessageIcon.h"

namespace voxilo {

// What went wrong with the settings store, as the user is told. Every store operation reports
// its failures as one of these; storeMessage() says how each is shown.
enum class StoreFailure {
    UserListUnavailable,  // the user list could not be read at start-up
    SettingsUnavailable,  // the program settings could not be read at start-up
    ReadFailed,           // a later read could not open its key
    SaveFailed,           // an open or a write of a save failed
    FontNotSaved,         // a save went through, but the store cannot hold the font's name
};

struct StoreMessage {
    std::u16string_view text;
    MessageIcon icon;
    bool programEnds;  // the program ends once the message has been shown
};

// The message box of each failure; its title is the application's.
StoreMessage storeMessage(StoreFailure failure) noexcept;

}  // namespace voxilo
