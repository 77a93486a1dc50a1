#include "gui/dialogs/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#ifdef Q_OS_WIN
#include <QCryptographicHash>
#endif

#include <algorithm>

namespace voxilo {
namespace {

// A request: this line, the length of the path in bytes (32 bits, big-endian), the path in
// UTF-8, then one byte: 1 when the later start named more files than this one, else 0. The
// answer, once the request was taken whole:
const QByteArray kRequestHeader = QByteArrayLiteral("voxilo-handover 2\n");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");
constexpr qsizetype kLengthBytes = 4;
// A start that connects and then stays silent is not waited for longer than this.
constexpr std::chrono::milliseconds kReadTimeout = std::chrono::seconds(5);

int remainingMs(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0));
}

// What one connection has sent so far.
struct Request {
    QByteArray bytes;
    bool answered = false;
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

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire() {
    // Only a lock that another Voxilo holds makes this start hand over. One that cannot be made
    // at all (a full disk, a folder that takes no file) says nothing of another Voxilo, so this
    // one runs, unguarded, rather than end without a word.
    if (!lock_->tryLock(0) && lock_->error() == QLockFile::LockFailedError) return false;
    const QString name = channelName(folder_);
    // With the lock held no other Voxilo runs: a channel still there is one a killed program
    // left behind.
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
    // Without its channel the program still runs; later starts then only end.
    server_->listen(name);
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto request = std::make_shared<Request>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, request] {
            if (request->answered) {
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
            request->answered = true;
            socket->write(kAnswer);
            socket->disconnectFromServer();
            // The request is worked on once this connection's handling is over: opening the
            // file may ask questions and wait for their answers.
            QMetaObject::invokeMethod(
                this, [this, path, namedOthers] { emit handedOver(path, namedOthers); },
                Qt::QueuedConnection);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kReadTimeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

bool SingleInstance::handOver(const QString& path, bool namedOthers,
                              std::chrono::milliseconds timeout) const {
    const QByteArray bytes = path.toUtf8();
    if (bytes.size() > kMaxPathBytes) return false;
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
                if (!socket.waitForBytesWritten(remainingMs(deadline))) return false;
            }
            QByteArray answer;
            while (answer.size() < kAnswer.size() && socket.waitForReadyRead(remainingMs(deadline)))
                answer += socket.readAll();
            return answer == kAnswer;
        }
        if (deadline.hasExpired()) return false;
        // The running program may have only just started and not listen yet.
        QThread::msleep(100);
    }
}

}  // namespace voxilo
