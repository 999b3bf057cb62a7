#pragma once

#include "base/settings.h"

#include <QString>
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

    DialCheckConversation() = default;
    DialCheckConversation(Settings settings, qint32 port) : m_settings(std::move(settings)), m_port(port) {}

    // Ends the previous connection, forgets its reply and connects again.
    void restart(TcpClient& client);
    // The request for the connection that is now up, reporting the caller number the device sent.
    QString request(const QString& inputData) const;
    // Joins what has arrived to the reply of this connection; returns the reply so far.
    QString takeArrived(TcpClient& client);
    // The number to call for the reply now shown, if it names a new one.
    std::optional<QString> numberToDial(const QString& shownReply);

    QString lastDialText() const { return m_lastDialText; }

private:
    Settings m_settings;
    qint32 m_port = 0;
    QString m_reply;
    bool m_replyCut = false;
    QString m_lastDialText;
};

} // namespace orvane
