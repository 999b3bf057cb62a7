#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace orvane {

// The browsers' native-messaging frames: a 32-bit length in the machine's byte order, then that many
// bytes of UTF-8 JSON. Bytes may come in any pieces; each complete frame comes out once.
class NativeFrameReader
{
public:
    // A frame larger than this is refused and its bytes passed over.
    static constexpr quint32 kMaxFrame = 1 << 20;

    struct Frame
    {
        std::optional<QJsonObject> message; // nullopt: refused
        QString error;                      // why it was refused
    };

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
    QString record;  // the cookie as the old cookie files' record
    qint64 setAt = 0; // when the page set it, ms since 1970
    QString worker;   // chosen at random each time the extension's worker starts
    qint64 seq = 0;   // the worker's count of its messages
};

// The extension's message {id, seq, setAt, cookie: {name, value, domain, path, expirationDate}} as a
// cookie set; nullopt (with the reason) when it is not one.
std::optional<CookieSet> cookieSetFromExtension(const QJsonObject& message, QString* error);

// The bridge's line protocol: one JSON object a line each way.
QByteArray bridgeRequest(const CookieSet& set);
std::optional<CookieSet> cookieSetFromBridgeRequest(const QByteArray& line);

} // namespace orvane
