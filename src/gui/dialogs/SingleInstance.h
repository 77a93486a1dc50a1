#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class QLocalServer;

namespace voxilo {

// One running Voxilo per user: a lock file in the user's runtime folder, held while the
// program runs. A lock left behind by a program that crashed is recognised as stale and taken
// over.
//
// Beside the lock the running program listens on a local channel that only the same user can
// reach. A later start hands its file over on it and ends: the running program answers once it
// has taken the request whole, and ignores anything else that arrives there.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `lockFolder` empty: the user's runtime folder.
    explicit SingleInstance(const QString& lockFolder = {});
    ~SingleInstance() override;

    // False when another instance holds the lock. True: this is the running program, and it
    // listens for later starts (a channel left by one that was killed is taken over); also
    // when the lock cannot be made at all, which no other instance would have let happen.
    bool acquire();

    // A later start: hands `path` (absolute; empty to have the running program only come to
    // the front) to the running program, and whether that start named more files than this
    // one. True once that program confirmed it; false when it could not be reached or did not
    // answer in `timeout`.
    bool handOver(const QString& path, bool namedOthers = false,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Where the program whose lock is in `folder` listens: a socket beside the lock, in a folder
    // only the user can enter. Windows' pipes have no folder: there the pipe is named after the
    // user, and after the folder so that programs with separate lock folders stay apart.
    static QString channelName(const QString& folder);

    // The longest request taken, in bytes of its path.
    static constexpr int kMaxPathBytes = 64 * 1024;

signals:
    // A later start asked to come to the front and, unless `path` is empty, to open `path`.
    // Sent from the event loop, after the request was answered.
    void handedOver(const QString& path, bool namedOthers);

private:
    void accept();

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace voxilo
