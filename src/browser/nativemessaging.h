#pragma once

#include "base/commandoutcome.h"
#include "text/result.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane {

// The browsers' native-messaging frames: a 32-bit length in the machine's byte order, then that many
// bytes of UTF-8 JSON. Bytes may come in any pieces; each complete frame comes out once.
class NativeFrameReader
{
public:
    // A frame larger than this is refused and its bytes passed over.
    static constexpr quint32 kMaxFrame = 1 << 20;

    // A frame's message, or why it was refused.
    using Frame = Result<QJsonObject>;

    // Takes bytes; returns the frames they completed, in order.
    QList<Frame> feed(const QByteArray& bytes);

private:
    QByteArray m_buffer;
    quint64 m_skip = 0; // bytes of an oversized frame still to pass over
};

// A message as a frame.
QByteArray nativeFrame(const QJsonObject& message);

// One cookie set as the extension reports it, and as the host hands it to the bridge.
struct CookieSet
{
    QString record;   // the cookie as the old cookie files' record
    qint64 setAt = 0; // when the page set it, ms since 1970
    QString worker;   // chosen at random each time the extension's worker starts
    qint64 seq = 0;   // the worker's count of its messages
};

// The extension's message {id, seq, setAt, cookie: {name, value, domain, path, expirationDate}} as a
// cookie set, or why it is not one.
Result<CookieSet> cookieSetFromExtension(const QJsonObject& message);

// The bridge's answer to one cookie set.
enum class BridgeAnswer {
    CarriedOut, // "carried out"
    Stale,      // "stale": set more than two seconds before it arrived; a late command must not run
    Done,       // "done": this worker's message was carried out already (a resend)
    Refused,    // "refused": no cookie set
};
// The answer's word on the wire (the extension reads it too).
QString answerWord(BridgeAnswer answer);

// The bridge's answer with what became of the command (a stale set is not carried out; a resend is
// answered as the first time was).
struct BridgeReply
{
    BridgeAnswer answer = BridgeAnswer::Refused;
    CommandOutcome outcome;
    bool operator==(const BridgeReply&) const = default;
};

// The bridge's line protocol: one JSON object a line each way. The host sends {record, setAt, id, seq};
// the bridge answers {answer: WORD, ok, reason, text} (reason null when carried out as asked).
QByteArray bridgeRequest(const CookieSet& set);
Result<CookieSet> cookieSetFromBridgeRequest(const QByteArray& line);
QByteArray bridgeAnswer(const BridgeReply& reply);
Result<BridgeReply> answerFromBridge(const QByteArray& line);

// The host's word that a browser connected: {hello: {browser, extension}}; the bridge does not answer
// it.
struct BrowserHello
{
    QString browser;   // "Chromium", "Firefox"
    QString extension; // the extension's version
};
QByteArray bridgeHello(const BrowserHello& hello);
Result<BrowserHello> helloFromBridgeRequest(const QByteArray& line);

// The host's side towards the extension: its hello {hello: VERSION} (the extension's version; nullopt
// for any other message), and the acknowledgement of a message, {ack: seq, answer: WORD, ok, reason,
// text}, as a frame: the extension tells the pages of the site the outcome.
std::optional<QString> extensionHello(const QJsonObject& message);
QByteArray extensionAck(const QJsonValue& seq, const BridgeReply& reply);
// Which browser started the host, from its arguments: Chromium names the extension's origin
// (chrome-extension://…), Firefox the host's manifest and the extension's id.
QString browserOfHostArguments(const QStringList& arguments);

} // namespace orvane
