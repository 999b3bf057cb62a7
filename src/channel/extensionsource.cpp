#include "channel/extensionsource.h"

#include "base/logging.h"
#include "browser/bridgesocket.h"

#include <QDateTime>

namespace orvane {
namespace {

constexpr std::size_t kRememberedSets = 10000;
constexpr qint64 kMaxLine = 2 << 20; // a record is a few lines; anything longer is no request

} // namespace

ExtensionSource::ExtensionSource(QString path, QObject* parent)
    : CommandSource(parent), m_path(std::move(path)),
      m_clock([] { return QDateTime::currentMSecsSinceEpoch(); }),
      m_server(QStringLiteral("the bridge's socket"), kMaxLine,
               [this](const QByteArray& line) { return answerLine(line); })
{
    m_server.setClosedHandler([this](LocalLineServer::Connection connection) { browserGone(connection); });
}

ExtensionSource::~ExtensionSource() = default;

Result<> ExtensionSource::start()
{
    Result<QString> path = m_path;
    if (m_path.isEmpty())
        path = bridgeSocket(CreateFolder::Yes);
    Result<> listening = path ? m_server.listen(*path) : Result<>(fail(path.error()));
    if (!listening)
        return fail(QStringLiteral("ブラウザ拡張機能からの命令を受けられません: ") + listening.error());
    return {};
}

void ExtensionSource::stop()
{
    m_server.close();
}

BridgeReply ExtensionSource::take(const CookieSet& set)
{
    const QString pair = set.worker + u'/' + QString::number(set.seq);
    if (const auto known = m_answered.constFind(pair); known != m_answered.cend()) {
        BridgeReply again = *known;
        if (again.answer == BridgeAnswer::CarriedOut)
            again.answer = BridgeAnswer::Done;
        return again;
    }
    const qint64 age = m_clock() - set.setAt;
    BridgeReply reply;
    if (age > kMaxAgeMs) {
        warn(QStringLiteral("a command set %1 ms ago arrived late and is not carried out").arg(age));
        reply = {BridgeAnswer::Stale,
                 CommandOutcome::notCarriedOut(
                     reasons::kLate, QStringLiteral("命令が Orvane に届くのが遅れたため、実行していません"))};
    } else {
        // Whoever carries the command out says what became of it, before the signal returns.
        m_outcome =
            CommandOutcome::notCarriedOut(reasons::kNotACommand, QStringLiteral("実行されていません"));
        emit commandArrived(set.record);
        reply = {BridgeAnswer::CarriedOut, m_outcome};
    }
    m_answered.insert(pair, reply);
    m_answeredOrder.push_back(pair);
    if (m_answeredOrder.size() > kRememberedSets) {
        m_answered.remove(m_answeredOrder.front());
        m_answeredOrder.pop_front();
    }
    return reply;
}

QByteArray ExtensionSource::answerLine(const QByteArray& line)
{
    if (const Result<BrowserHello> hello = helloFromBridgeRequest(line)) {
        // On standard error whatever the logging rules: the IT person's sign that a browser came.
        qInfo().noquote() << "browser connected:" << hello->browser << "with the extension"
                          << hello->extension;
        m_browsers.insert(m_server.currentConnection(), *hello);
        emit browsersChanged(connectedBrowsers());
        return {};
    }
    if (const Result<CookieSet> set = cookieSetFromBridgeRequest(line))
        return bridgeAnswer(take(*set));
    else
        qCWarning(lcChannel).noquote() << "the browser host sent" << set.error();
    return bridgeAnswer(
        {BridgeAnswer::Refused,
         CommandOutcome::notCarriedOut(reasons::kNotACommand, QStringLiteral("命令ではありません"))});
}

void ExtensionSource::browserGone(LocalLineServer::Connection connection)
{
    const auto gone = m_browsers.constFind(connection);
    if (gone == m_browsers.cend())
        return; // a host that only handed over a command
    qInfo().noquote() << "browser gone:" << gone->browser;
    m_browsers.erase(gone);
    emit browsersChanged(connectedBrowsers());
}

QStringList ExtensionSource::connectedBrowsers() const
{
    QStringList connected;
    for (const BrowserHello& hello : m_browsers)
        connected.append(QStringLiteral("%1 (拡張機能 %2)").arg(hello.browser, hello.extension));
    connected.sort();
    connected.removeDuplicates(); // a browser whose extension has just opened a second port
    return connected;
}

} // namespace orvane
