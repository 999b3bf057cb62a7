#include "browser/nativemessaging.h"

#include "browser/cookierecord.h"

#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>
#include <cstring>

namespace orvane {

using namespace Qt::StringLiterals;

QList<NativeFrameReader::Frame> NativeFrameReader::feed(const QByteArray& bytes)
{
    QList<Frame> frames;
    m_buffer += bytes;
    for (;;) {
        if (m_skip > 0) {
            const qsizetype passed = qsizetype(std::min<quint64>(m_skip, quint64(m_buffer.size())));
            m_buffer.remove(0, passed);
            m_skip -= quint64(passed);
            if (m_skip > 0)
                break;
        }
        if (m_buffer.size() < 4)
            break;
        quint32 length = 0;
        std::memcpy(&length, m_buffer.constData(), 4); // the machine's own byte order
        if (length > kMaxFrame) {
            frames.append(
                fail(QStringLiteral("frame of %1 bytes refused (at most %2)").arg(length).arg(kMaxFrame)));
            m_buffer.remove(0, 4);
            m_skip = length;
            continue;
        }
        if (quint64(m_buffer.size()) < 4 + quint64(length))
            break;
        QJsonParseError parsed{};
        const QJsonDocument document = QJsonDocument::fromJson(m_buffer.mid(4, length), &parsed);
        m_buffer.remove(0, 4 + qsizetype(length));
        if (parsed.error != QJsonParseError::NoError || !document.isObject())
            frames.append(fail(QStringLiteral("frame is not a JSON object: %1").arg(parsed.errorString())));
        else
            frames.append(document.object());
    }
    return frames;
}

QByteArray nativeFrame(const QJsonObject& message)
{
    const QByteArray json = QJsonDocument(message).toJson(QJsonDocument::Compact);
    const quint32 length = quint32(json.size());
    QByteArray frame(4, '\0');
    std::memcpy(frame.data(), &length, 4);
    return frame + json;
}

Result<CookieSet> cookieSetFromExtension(const QJsonObject& message)
{
    const QJsonObject cookie = message.value(u"cookie").toObject();
    if (!message.value(u"id").isString() || !message.value(u"seq").isDouble() ||
        !message.value(u"setAt").isDouble() || !cookie.value(u"name").isString() ||
        !cookie.value(u"value").isString() || !cookie.value(u"domain").isString()) {
        return fail(
            QStringLiteral("not a cookie set: %1")
                .arg(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact).left(200))));
    }
    // An HttpOnly cookie is the server's (a page's script cannot set one): never a command.
    if (cookie.value(u"httpOnly").toBool())
        return fail(
            QStringLiteral("an HttpOnly cookie (%1) is no command").arg(cookie.value(u"name").toString()));
    const qint64 setAt = qint64(message.value(u"setAt").toDouble());
    Cookie set;
    set.name = cookie.value(u"name").toString();
    set.value = cookie.value(u"value").toString();
    set.host = cookie.value(u"domain").toString();
    set.path = cookie.value(u"path").toString(QStringLiteral("/"));
    // Seconds with a fraction; a session cookie has none.
    const double expiry = cookie.value(u"expirationDate").toDouble(0);
    set.expiryMs = std::isfinite(expiry) ? qint64(expiry * 1000) : 0;
    set.creationUs = setAt * 1000;
    return CookieSet{cookieRecord(set), setAt, message.value(u"id").toString(),
                     qint64(message.value(u"seq").toDouble())};
}

QByteArray bridgeRequest(const CookieSet& set)
{
    const QJsonObject request{{u"record"_s, set.record},
                              {u"setAt"_s, double(set.setAt)},
                              {u"id"_s, set.worker},
                              {u"seq"_s, double(set.seq)}};
    return QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n';
}

Result<CookieSet> cookieSetFromBridgeRequest(const QByteArray& line)
{
    const QJsonObject request = QJsonDocument::fromJson(line).object();
    if (!request.value(u"record").isString() || !request.value(u"setAt").isDouble() ||
        !request.value(u"id").isString() || !request.value(u"seq").isDouble())
        return fail(QStringLiteral("no cookie set: %1").arg(QString::fromUtf8(line.left(200))));
    return CookieSet{request.value(u"record").toString(), qint64(request.value(u"setAt").toDouble()),
                     request.value(u"id").toString(), qint64(request.value(u"seq").toDouble())};
}

namespace {

constexpr struct
{
    BridgeAnswer answer;
    const char16_t* word;
} kAnswerWords[] = {
    {BridgeAnswer::CarriedOut, u"carried out"},
    {BridgeAnswer::Stale, u"stale"},
    {BridgeAnswer::Done, u"done"},
    {BridgeAnswer::Refused, u"refused"},
};

} // namespace

QString answerWord(BridgeAnswer answer)
{
    for (const auto& known : kAnswerWords)
        if (known.answer == answer)
            return QString::fromUtf16(known.word);
    return {};
}

namespace {

QJsonObject replyObject(const BridgeReply& reply)
{
    return {{u"answer"_s, answerWord(reply.answer)},
            {u"ok"_s, reply.outcome.ok},
            {u"reason"_s, reply.outcome.reason.isEmpty() ? QJsonValue() : QJsonValue(reply.outcome.reason)},
            {u"text"_s, reply.outcome.text}};
}

} // namespace

QByteArray bridgeAnswer(const BridgeReply& reply)
{
    return QJsonDocument(replyObject(reply)).toJson(QJsonDocument::Compact) + '\n';
}

Result<BridgeReply> answerFromBridge(const QByteArray& line)
{
    const QJsonObject reply = QJsonDocument::fromJson(line).object();
    const QJsonValue answer = reply.value(u"answer");
    for (const auto& known : kAnswerWords)
        if (answer.toString() == QStringView(known.word))
            return BridgeReply{known.answer,
                               {reply.value(u"ok").toBool(), reply.value(u"reason").toString(),
                                reply.value(u"text").toString()}};
    return fail(QStringLiteral("no answer: %1").arg(QString::fromUtf8(line.left(200))));
}

std::optional<QString> extensionHello(const QJsonObject& message)
{
    if (!message.contains(u"hello"))
        return std::nullopt;
    return message.value(u"hello").toString();
}

QByteArray extensionAck(const QJsonValue& seq, const BridgeReply& reply)
{
    QJsonObject ack = replyObject(reply);
    ack.insert(u"ack"_s, seq);
    return nativeFrame(ack);
}

QString browserOfHostArguments(const QStringList& arguments)
{
    if (!arguments.isEmpty() && arguments.first().startsWith(u"chrome-extension://"))
        return u"Chromium"_s;
    return arguments.size() > 1 ? u"Firefox"_s : u"a browser"_s;
}

QByteArray bridgeHello(const BrowserHello& hello)
{
    const QJsonObject about{{u"browser"_s, hello.browser}, {u"extension"_s, hello.extension}};
    return QJsonDocument(QJsonObject{{u"hello"_s, about}}).toJson(QJsonDocument::Compact) + '\n';
}

Result<BrowserHello> helloFromBridgeRequest(const QByteArray& line)
{
    const QJsonValue hello = QJsonDocument::fromJson(line).object().value(u"hello");
    if (!hello.isObject())
        return fail(QStringLiteral("no hello"));
    return BrowserHello{hello.toObject().value(u"browser").toString(),
                        hello.toObject().value(u"extension").toString()};
}

} // namespace orvane
