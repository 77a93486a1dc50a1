#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QLocalServer;

namespace voxilo {

// One running Voxilo per user: a lock file in the user's runtime folder, held while the
// program runs. A lock left behind by a program that crashed is recognised as stale and taken
// over.
//
// Beside the lock the running program listens on a local channel that only the same user can
// reach. A later start hands its file over on it: the running program answers at once that it
// has taken the request whole, and again once it is done with the file (opened it, or told its
// user why not). It ignores anything else that arrives there.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `lockFolder` empty: the user's runtime folder.
    explicit SingleInstance(const QString& lockFolder = {});
    ~SingleInstance() override;

    enum class Claim {
        Running,    // this start holds the lock and listens: it is the running program
        Unguarded,  // no lock can be made here and no Voxilo answers: this start runs and
                    // listens, but cannot be sure it is alone (lockProblem() says why)
        Another,    // another Voxilo runs: this start hands its file over
    };
    // Takes the lock, waiting up to `wait` for one that another program holds. A Voxilo
    // that answers on the channel counts as running even when it holds no lock: one that
    // could not make its own lock when it started.
    Claim acquire(std::chrono::milliseconds wait = {});
    // Why the lock could not be made (Japanese, for the user), after Claim::Unguarded.
    const QString& lockProblem() const { return lockProblem_; }

    enum class Handed {
        Done,      // the running program opened the file, or told its user why it did not
        Ended,     // it took the request but ended before it came to the file: nobody has it
        NoAnswer,  // it could not be reached, or did not take the request in time
    };
    // A later start: hands `path` (absolute; empty to have the running program only come to
    // the front) to the running program, and whether that start named more files than this
    // one. Waits up to `timeout` for the request to be taken, then for as long as the running
    // program keeps the request: a dialog of its own may be open, and its end (or crash)
    // closes the channel.
    Handed handOver(const QString& path, bool namedOthers = false,
                    std::chrono::milliseconds timeout = std::chrono::seconds(5)) const;

    // Where the program whose lock is in `folder` listens: a socket beside the lock, in a folder
    // only the user can enter. Windows' pipes have no folder: there the pipe is named after the
    // user, and after the folder so that programs with separate lock folders stay apart.
    static QString channelName(const QString& folder);

    // The longest request taken, in bytes of its path.
    static constexpr int kMaxPathBytes = 64 * 1024;

    // Tells the later start that the program is done with its file; only the first call
    // counts. A request never settled keeps the later start waiting until this program ends,
    // and then that start opens its file itself.
    using Done = std::function<void()>;

signals:
    // A later start asked to come to the front and, unless `path` is empty, to open `path`;
    // it waits until `done` is called. Sent from the event loop, after the request was taken.
    void handedOver(const QString& path, bool namedOthers,
                    const voxilo::SingleInstance::Done& done);

private:
    void accept();
    bool channelAnswers() const;
    void listen();

    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    QString lockProblem_;
};

}  // namespace voxilo
