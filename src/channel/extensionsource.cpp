#include "channel/extensionsource.h"

#include "base/logging.h"
#include "browser/bridgesocket.h"
#include "platform/localserver.h"

#include <QDateTime>
#include <QLocalSocket>

namespace orvane {
namespace {

constexpr std::size_t kRememberedSets = 10000;
constexpr qint64 kMaxLine = 2 << 20; // a record is a few lines; anything longer is no request

} // namespace

ExtensionSource::ExtensionSource(QString path, QObject* parent)
    : CommandSource(parent), m_path(std::move(path)),
      m_clock([] { return QDateTime::currentMSecsSinceEpoch(); })
{
    connect(&m_server, &QLocalServer::newConnection, this, &ExtensionSource::onConnection);
}

ExtensionSource::~ExtensionSource() = default;

Result<> ExtensionSource::start()
{
    Result<QString> path = m_path;
    if (m_path.isEmpty())
        path = bridgeSocket(true);
    Result<> listening = path ? listenUserOnly(m_server, *path) : Result<>(fail(path.error()));
    if (!listening)
        return fail(QStringLiteral("ブラウザ拡張機能からの命令を受けられません: ") + listening.error());
    return {};
}

void ExtensionSource::stop()
{
    m_server.close();
}

QString ExtensionSource::take(const CookieSet& set)
{
    const QString pair = set.worker + u'/' + QString::number(set.seq);
    if (m_done.contains(pair))
        return answers::kDone;
    const qint64 age = m_clock() - set.setAt;
    if (age > kMaxAgeMs) {
        warn(QStringLiteral("a command set %1 ms ago arrived late and is not carried out").arg(age));
        return answers::kStale;
    }
    m_done.insert(pair);
    m_doneOrder.push_back(pair);
    if (m_doneOrder.size() > kRememberedSets) {
        m_done.remove(m_doneOrder.front());
        m_doneOrder.pop_front();
    }
    emit commandArrived(set.record);
    return answers::kCarriedOut;
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
        if (const Result<BrowserHello> hello = helloFromBridgeRequest(line)) {
            // On standard error whatever the logging rules: the IT person's sign that a browser came.
            qInfo().noquote() << "browser connected:" << hello->browser << "with the extension"
                              << hello->extension;
            continue; // not answered
        }
        QString answer = answers::kRefused;
        if (const Result<CookieSet> set = cookieSetFromBridgeRequest(line))
            answer = take(*set);
        else
            qCWarning(lcChannel).noquote() << "the browser host sent" << set.error();
        socket->write(bridgeAnswer(answer));
    }
    if (socket->bytesAvailable() > kMaxLine) {
        qCWarning(lcChannel) << "the browser host sent a line of more than" << kMaxLine
                             << "bytes; connection closed";
        socket->abort();
    }
}

} // namespace orvane
