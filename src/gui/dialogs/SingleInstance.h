#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace voxilo {

// One running Voxilo per user: a lock file in the user's runtime folder, held while the
// program runs. A lock left behind by a program that crashed is recognised as stale and taken
// over.
class SingleInstance {
public:
    // `lockFolder` empty: the user's runtime folder.
    explicit SingleInstance(const QString& lockFolder = {});

    // False when another instance holds the lock.
    bool acquire();

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace voxilo
