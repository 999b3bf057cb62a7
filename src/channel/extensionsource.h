#pragma once

#include "base/nativemessaging.h"

#include <QLocalServer>
#include <QObject>
#include <QSet>
#include <QString>
#include <deque>
#include <functional>

class QLocalSocket;

namespace orvane {

// The browser extension's command source: the native host hands over each cookie set on the bridge's
// local socket, one JSON line each, and gets one answer line back: "carried out", "stale" (set more than
// two seconds before it arrived: the bridge was down or the host was restarting, and a late command
// must not run), "done" (this worker's message was carried out already: a resend) or "refused" (no
// cookie set). Records are carried out at once, in arrival order, one at a time.
class ExtensionSource final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExtensionSource)

public:
    using Handler = std::function<void(const QString& record)>;
    using Clock = std::function<qint64()>; // ms since 1970

    static constexpr qint64 kMaxAgeMs = 2000;

    explicit ExtensionSource(Handler handler, QObject* parent = nullptr);
    ~ExtensionSource() override;

    // Listens on the socket (a stale socket file of a dead bridge is replaced); false with the reason.
    bool listen(const QString& path, QString* error);

    // The answer for one cookie set arriving now, carrying it out when it is due.
    QString take(const CookieSet& set);

    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    void onConnection();
    void onReadyRead(QLocalSocket* socket);

    Handler m_handler;
    Clock m_clock;
    QLocalServer m_server;
    QSet<QString> m_done;               // worker/seq pairs carried out
    std::deque<QString> m_doneOrder;    // oldest first, to keep the set bounded
};

} // namespace orvane
