#include "channel/extensionsource.h"

#include "base/logging.h"

#include <QDateTime>
#include <QFile>
#include <QLocalSocket>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvane {
namespace {

constexpr std::size_t kRememberedSets = 10000;
constexpr qint64 kMaxLine = 2 << 20; // a record is a few lines; anything longer is no request

// A connection to a local socket is answered or refused at once.
bool someoneListens(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

} // namespace

ExtensionSource::ExtensionSource(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    connect(&m_server, &QLocalServer::newConnection, this, &ExtensionSource::onConnection);
}

ExtensionSource::~ExtensionSource() = default;

bool ExtensionSource::listen(const QString& path, QString* error)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(path))
        return true;
    // A socket left by a bridge that was killed: nobody answers on it, so it is replaced.
    if (QFile::exists(path) && !someoneListens(path)) {
        QLocalServer::removeServer(path);
        if (m_server.listen(path))
            return true;
    }
    *error = QStringLiteral("%1 で待ち受けできません: %2").arg(path, m_server.errorString());
    return false;
}

QString ExtensionSource::take(const CookieSet& set)
{
    const QString pair = set.worker + u'/' + QString::number(set.seq);
    if (m_done.contains(pair))
        return QStringLiteral("done");
    const qint64 age = m_clock() - set.setAt;
    if (age > kMaxAgeMs) {
        qCWarning(lcChannel) << "a command set" << age << "ms ago arrived late and is not carried out";
        return QStringLiteral("stale");
    }
    m_done.insert(pair);
    m_doneOrder.push_back(pair);
    if (m_doneOrder.size() > kRememberedSets) {
        m_done.remove(m_doneOrder.front());
        m_doneOrder.pop_front();
    }
    m_handler(set.record);
    return QStringLiteral("carried out");
}

void ExtensionSource::onConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        onReadyRead(socket);
    }
}

void ExtensionSource::onReadyRead(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxLine);
        QString answer = QStringLiteral("refused");
        if (const std::optional<CookieSet> set = cookieSetFromBridgeRequest(line))
            answer = take(*set);
        else
            qCWarning(lcChannel) << "the browser host sent no cookie set:" << line.left(200);
        socket->write(R"({"answer":")" + answer.toUtf8() + "\"}\n");
    }
    if (socket->bytesAvailable() > kMaxLine) {
        qCWarning(lcChannel) << "the browser host sent a line of more than" << kMaxLine << "bytes; connection closed";
        socket->abort();
    }
}

} // namespace orvane
