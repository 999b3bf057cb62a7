#pragma once

#include "browser/nativemessaging.h"
#include "channel/commandsource.h"
#include "platform/localsocket.h"

#include <QHash>
#include <QMap>
#include <QString>
#include <deque>
#include <functional>

namespace orvane {

// The browser extension's command source: the native host hands over each cookie set on the bridge's
// local socket, one JSON line each, and gets one answer line back (browser/nativemessaging.h lists
// them). Records are handed on at once, in arrival order, one at a time; nothing waits for a tick.
class ExtensionSource final : public CommandSource
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionSource)

public:
    using Clock = std::function<qint64()>; // ms since 1970

    static constexpr qint64 kMaxAgeMs = 2000;

    // Listens on path; an empty path is the user's bridge socket (browser/bridgesocket.h).
    explicit ExtensionSource(QString path = {}, QObject* parent = nullptr);
    ~ExtensionSource() override;

    // Listens on the socket (a stale socket file of a dead bridge is replaced), or says why it cannot.
    Result<> start() override;
    void stop() override;

    // The answer for one cookie set arriving now, handing it on when it is due, with what became of it.
    BridgeReply take(const CookieSet& set);

    void commandDone(const CommandOutcome& outcome) override { m_outcome = outcome; }

    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    // One line of the host: its answer line, or nothing (a hello is not answered).
    QByteArray answerLine(const QByteArray& line);

    void browserGone(LocalLineServer::Connection connection);
    QStringList connectedBrowsers() const;

    QString m_path;
    Clock m_clock;
    // The browsers' hosts that said hello, by their connection (a host holds its connection while its
    // browser runs).
    QMap<LocalLineServer::Connection, BrowserHello> m_browsers;
    LocalLineServer m_server;
    // The worker/seq pairs answered, with their answer: a resend is answered the same way (a late
    // command stays late even when the clock has stepped back since).
    QHash<QString, BridgeReply> m_answered;
    std::deque<QString> m_answeredOrder; // oldest first, to keep the table bounded
    CommandOutcome m_outcome;            // told by whoever carried out the command handed on
};

} // namespace orvane
