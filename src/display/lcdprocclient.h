#pragma once

#include "display/polelines.h"

#include <QByteArray>
#include <QObject>
#include <QTcpSocket>
#include <QTimer>

namespace orvane::display {

// Shows the lines on a display that LCDd drives: one screen of this client (foreground, heartbeat off:
// LCDd's heartbeat would draw over the upper line's last column) with two string widgets. LCDd removes
// a client's screen when the client goes, so the connection is held; while LCDd is not there (not yet,
// or restarting) it is tried again every second, and the last lines are shown again once it is back.
// Losing LCDd and finding it again are logged, once each.
class LcdProcClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LcdProcClient)

public:
    LcdProcClient(QString host, quint16 port, QObject* parent = nullptr);

    void start();
    void show(const PoleLines& lines);
    // Why the lines are not on the display now (LCDd cannot be reached, or not yet); empty while they are.
    QString fault() const { return m_ready ? QString() : m_fault; }

    // A text for LCDd's protocol: in double quotes, a backslash, double quote or brace escaped by a
    // backslash (unescaped, LCDd drops them: "\12,345" arrives as "12,345"); other bytes as they are.
    static QByteArray quoted(const QByteArray& text);

signals:
    // The first attempt came to an end: LCDd took the screen, or it could not be reached.
    void settled();

private:
    void onConnected();
    void onReadyRead();
    void sendLines();
    void lost(const QString& why);

    QString m_host;
    quint16 m_port;
    QTcpSocket m_socket;
    QTimer m_retry;
    bool m_ready = false;
    bool m_settled = false;
    QString m_fault;
    PoleLines m_lines = poleLines({});
};

} // namespace orvane::display
