#pragma once

#include "base/devicestatus.h"
#include "base/settings.h"

#include <QString>
#include <functional>
#include <optional>

namespace orvane {

class TcpClient;

// The once-a-second conversation with the web system's server: each poll opens a new connection,
// sends the dial-check request once it is up and joins the reply's blocks; a reply that names a new
// number starting with "0" is to be called.
class DialCheckConversation
{
public:
    // A reply is a number and a few fields: a server that sends more is cut off here.
    static constexpr qsizetype kMaxReply = 4096;
    // A server that has not answered, or answered what is no reply, for this long has a problem.
    static constexpr qint64 kProblemAfterMs = 10000;

    using Clock = std::function<qint64()>; // ms, any steady origin

    DialCheckConversation() = default;
    DialCheckConversation(Settings settings, qint32 port, Clock clock = {});

    // Ends the previous connection (judging how the server did in it), forgets its reply and connects
    // again.
    void restart(TcpClient& client);
    // How the server has done: ok once it answered, a problem after kProblemAfterMs of no answer
    // ("unreachable": refused or hanging) or of answers that are no reply ("bad-answer").
    const DeviceStatus& health() const { return m_health; }
    // True for a text that is no dial-check reply: an HTTP status line or an HTML page (a server that
    // does not run the page), or control characters.
    static bool isNoReply(const QString& reply);
    // The request for the connection that is now up, reporting the caller number the device sent.
    QString request(const QString& inputData) const;
    // Joins what has arrived to the reply of this connection; returns the reply so far, or nothing
    // while it is no reply (it is not shown: the number box keeps what it had).
    std::optional<QString> takeArrived(TcpClient& client);
    // The number to call for the reply now shown, if it names a new one.
    std::optional<QString> numberToDial(const QString& shownReply);

    QString lastDialText() const { return m_lastDialText; }

private:
    Settings m_settings;
    qint32 m_port = 0;
    QString m_reply;
    bool m_replyCut = false;
    QString m_lastDialText;
    Clock m_clock;
    bool m_polled = false;   // a connection was made before the present one
    bool m_answered = false; // the present connection brought a reply
    std::optional<qint64> m_failingSince;
    DeviceStatus m_health;
};

} // namespace orvane
