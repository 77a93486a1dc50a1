#pragma once

#include <memory>

#include "core/store/ValueStore.h"

namespace voxilo {

// The current user's settings store: the registry on Windows, a SQLite file elsewhere.
std::unique_ptr<ValueStore> openPlatformStore();

}  // namespace voxilo
