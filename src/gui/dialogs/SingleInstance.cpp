#include "gui/dialogs/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <QCryptographicHash>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/documents/DocumentFile.h"

namespace voxilo {
namespace {

// A request: this line, the length of the path in bytes (32 bits, big-endian), the path in
// UTF-8, then one byte: 1 when the later start named more files than this one, else 0. The
// answers: the first once the request was taken whole, the second once the program is done
// with the file.
const QByteArray kRequestHeader = QByteArrayLiteral("voxilo-handover 3\n");
const QByteArray kTaken = QByteArrayLiteral("taken\n");
const QByteArray kDone = QByteArrayLiteral("done\n");
constexpr qsizetype kLengthBytes = 4;
// A start that connects and then stays silent is not waited for longer than this.
constexpr std::chrono::milliseconds kReadTimeout = std::chrono::seconds(5);

int remainingMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
}

// What one connection has sent so far.
struct Request {
    QByteArray bytes;
    bool taken = false;
};

enum class Parsed { Incomplete, Refused, Complete };

// A request whole and well formed gives its path; anything else is refused as soon as its
// bytes show it, and is never opened.
Parsed parse(const QByteArray& bytes, QString& path, bool& namedOthers) {
    const qsizetype header = kRequestHeader.size();
    if (!kRequestHeader.startsWith(bytes.left(header))) return Parsed::Refused;
    if (bytes.size() < header + kLengthBytes) return Parsed::Incomplete;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + header);
    if (length > static_cast<quint32>(SingleInstance::kMaxPathBytes)) return Parsed::Refused;
    const qsizetype total = header + kLengthBytes + static_cast<qsizetype>(length) + 1;
    if (bytes.size() < total) return Parsed::Incomplete;
    if (bytes.size() > total) return Parsed::Refused;  // one request a connection
    const char others = bytes.back();
    if (others != 0 && others != 1) return Parsed::Refused;
    namedOthers = others == 1;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    path = utf8(bytes.mid(header + kLengthBytes, static_cast<qsizetype>(length)));
    if (utf8.hasError() || path.contains(QChar(u'\0'))) return Parsed::Refused;
    if (!path.isEmpty() && !QDir::isAbsolutePath(path)) return Parsed::Refused;
    return Parsed::Complete;
}

// Why no lock file can be made in `folder`: the error of making a file of the lock's size
// there, which is removed again. The lock itself tells only that it failed.
std::error_code lockFileError(const QString& folder) {
    const QString probe =
        folder + QStringLiteral("/voxilo.lock.%1.probe").arg(QCoreApplication::applicationPid());
    const char bytes[64] = {};
#ifdef Q_OS_WIN
    const int fd = ::_wopen(reinterpret_cast<const wchar_t*>(probe.utf16()),
                            _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return {errno, std::generic_category()};
    const auto written = ::_write(fd, bytes, sizeof bytes);
    int error = written < 0 ? errno : 0;
    ::_close(fd);
#else
    const int fd =
        ::open(QFile::encodeName(probe).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return {errno, std::generic_category()};
    const auto written = ::write(fd, bytes, sizeof bytes);
    int error = written < 0 ? errno : 0;
    ::close(fd);
#endif
    // Part of it written: the disk filled up on the way.
    if (error == 0 && static_cast<std::size_t>(written) != sizeof bytes) error = ENOSPC;
    QFile::remove(probe);
    return {error, std::generic_category()};
}

}  // namespace

QString SingleInstance::channelName(const QString& folder) {
#ifdef Q_OS_WIN
    const QByteArray place =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("Voxilo-%1-%2")
        .arg(qEnvironmentVariable("USERNAME"), QString::fromLatin1(place));
#else
    return folder + QStringLiteral("/voxilo.socket");
#endif
}

SingleInstance::SingleInstance(const QString& lockFolder) : folder_(lockFolder) {
    if (folder_.isEmpty())
        folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty()) folder_ = QDir::tempPath();
    lock_ = std::make_unique<QLockFile>(folder_ + QStringLiteral("/voxilo.lock"));
    // Never stale by age; only when the process that made it is gone.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
    // Ending: first nobody new finds this program, then the lock goes, and only then do the
    // later starts still waiting for their files hear that it ended, so that the first of
    // them finds the lock free and opens its file itself.
    if (server_ != nullptr) server_->close();
    lock_.reset();
    // The connections close with the server, a child of this object.
}

SingleInstance::Claim SingleInstance::acquire(std::chrono::milliseconds wait) {
    lockProblem_.clear();
    if (!lock_->tryLock(wait)) {
        if (lock_->error() == QLockFile::LockFailedError) return Claim::Another;
        // No lock can be made here (a full disk, a folder that takes no file). That says
        // nothing of another Voxilo, and one may run that could not make its lock either:
        // it still answers on its channel.
        if (channelAnswers()) return Claim::Another;
        const QString lockFile = QDir::toNativeSeparators(lock_->fileName());
        lockProblem_ = QStringLiteral("ロックファイル %1 を作成できません。").arg(lockFile);
        if (const std::error_code error = lockFileError(folder_))
            lockProblem_ += QString::fromStdString(fileErrorText(error));
        listen();
        return Claim::Unguarded;
    }
    // The lock held, no Voxilo but one that runs without a lock can be there: hand over to it
    // rather than take its channel and run beside it.
    if (channelAnswers()) {
        lock_->unlock();
        return Claim::Another;
    }
    listen();
    return Claim::Running;
}

bool SingleInstance::channelAnswers() const {
    QLocalSocket probe;
    probe.connectToServer(channelName(folder_));
    return probe.waitForConnected(1000);
}

void SingleInstance::listen() {
    const QString name = channelName(folder_);
    // Nobody answers there: a channel still there is one a killed program left behind.
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // Without its channel the program still runs; later starts then only end.
    server_->listen(name);
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto request = std::make_shared<Request>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, request] {
            if (request->taken) {
                socket->readAll();
                return;
            }
            request->bytes += socket->readAll();
            QString path;
            bool namedOthers = false;
            switch (parse(request->bytes, path, namedOthers)) {
                case Parsed::Incomplete:
                    return;
                case Parsed::Refused:
                    socket->abort();
                    return;
                case Parsed::Complete:
                    break;
            }
            request->taken = true;
            socket->write(kTaken);
            // The connection stays open until the program is done with the file: the later
            // start waits for that, and if this program ends first, the closed connection
            // tells it to open the file itself.
            const QPointer<QLocalSocket> peer(socket);
            const Done done = [peer] {
                if (peer.isNull() || peer->state() != QLocalSocket::ConnectedState) return;
                peer->write(kDone);
                peer->disconnectFromServer();
            };
            // The request is worked on once this connection's handling is over: opening the
            // file may ask questions and wait for their answers.
            QMetaObject::invokeMethod(
                this, [this, path, namedOthers, done] { emit handedOver(path, namedOthers, done); },
                Qt::QueuedConnection);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Only a request still incomplete is given up on; a taken one waits for its file.
        QTimer::singleShot(kReadTimeout, socket, [socket, request] {
            if (request->taken) return;
            socket->abort();
            socket->deleteLater();
        });
    }
}

SingleInstance::Handed SingleInstance::handOver(const QString& path, bool namedOthers,
                                                std::chrono::milliseconds timeout) const {
    const QByteArray bytes = path.toUtf8();
    if (bytes.size() > kMaxPathBytes) return Handed::NoAnswer;
    QByteArray request = kRequestHeader;
    char length[kLengthBytes];
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), length);
    request.append(length, kLengthBytes);
    request.append(bytes);
    request.append(namedOthers ? '\1' : '\0');

    const QDeadlineTimer deadline(timeout);
    const QString name = channelName(folder_);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(remainingMs(deadline))) {
            // Sent once only: a request that reached the running program must not open twice.
            socket.write(request);
            while (socket.bytesToWrite() > 0) {
                if (!socket.waitForBytesWritten(remainingMs(deadline))) return Handed::NoAnswer;
            }
            QByteArray answer;
            while (answer.size() < kTaken.size() && socket.waitForReadyRead(remainingMs(deadline)))
                answer += socket.readAll();
            if (!answer.startsWith(kTaken)) return Handed::NoAnswer;
            answer.remove(0, kTaken.size());
            // Taken: now as long as the program keeps it. Without a time limit, since a dialog
            // of its own may be open for long; its end closes the connection, as the system
            // does when it crashes.
            while (answer.size() < kDone.size() && socket.waitForReadyRead(-1))
                answer += socket.readAll();
            return answer == kDone ? Handed::Done : Handed::Ended;
        }
        if (deadline.hasExpired()) return Handed::NoAnswer;
        // The running program may have only just started and not listen yet.
        QThread::msleep(100);
    }
}

}  // namespace voxilo
