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

BridgeAnswer ExtensionSource::take(const CookieSet& set)
{
    const QString pair = set.worker + u'/' + QString::number(set.seq);
    if (const auto known = m_answered.constFind(pair); known != m_answered.cend())
        return *known == BridgeAnswer::CarriedOut ? BridgeAnswer::Done : *known;
    const qint64 age = m_clock() - set.setAt;
    const BridgeAnswer answer = age > kMaxAgeMs ? BridgeAnswer::Stale : BridgeAnswer::CarriedOut;
    m_answered.insert(pair, answer);
    m_answeredOrder.push_back(pair);
    if (m_answeredOrder.size() > kRememberedSets) {
        m_answered.remove(m_answeredOrder.front());
        m_answeredOrder.pop_front();
    }
    if (answer == BridgeAnswer::Stale) {
        warn(QStringLiteral("a command set %1 ms ago arrived late and is not carried out").arg(age));
        return answer;
    }
    emit commandArrived(set.record);
    return answer;
}

QByteArray ExtensionSource::answerLine(const QByteArray& line)
{
    if (const Result<BrowserHello> hello = helloFromBridgeRequest(line)) {
        // On standard error whatever the logging rules: the IT person's sign that a browser came.
        qInfo().noquote() << "browser connected:" << hello->browser << "with the extension"
                          << hello->extension;
        return {};
    }
    BridgeAnswer answer = BridgeAnswer::Refused;
    if (const Result<CookieSet> set = cookieSetFromBridgeRequest(line))
        answer = take(*set);
    else
        qCWarning(lcChannel).noquote() << "the browser host sent" << set.error();
    return bridgeAnswer(answer);
}

} // namespace orvane
