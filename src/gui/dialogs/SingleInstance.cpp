#include "gui/dialogs/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace voxilo {

SingleInstance::SingleInstance(const QString& lockFolder) {
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    lock_ = std::make_unique<QLockFile>(folder + QStringLiteral("/voxilo.lock"));
    // Never stale by age; only when the process that made it is gone.
    lock_->setStaleLockTime(0);
}

bool SingleInstance::acquire() { return lock_->tryLock(0); }

}  // namespace voxilo
