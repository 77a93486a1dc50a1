#include "core/store/PlatformStore.h"

#ifdef _WIN32
#include "core/store/RegistryValueStore.h"
#else
#include "core/store/SqliteValueStore.h"
#endif

namespace voxilo {

std::unique_ptr<ValueStore> openPlatformStore() {
#ifdef _WIN32
    return std::make_unique<RegistryValueStore>();
#else
    return std::make_unique<SqliteValueStore>(SqliteValueStore::defaultFile());
#endif
}

}  // namespace voxilo
