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
class LcdProcClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LcdProcClient)

public:
    LcdProcClient(QString host, quint16 port, QObject* parent = nullptr);

    void start();
    void show(const PoleLines& lines);

    // A text for LCDd's protocol: in double quotes, a backslash, double quote or brace escaped by a
    // backslash (unescaped, LCDd drops them: "\12,345" arrives as "12,345"); other bytes as they are.
    static QByteArray quoted(const QByteArray& text);

private:
    void onConnected();
    void onReadyRead();
    void sendLines();

    QString m_host;
    quint16 m_port;
    QTcpSocket m_socket;
    QTimer m_retry;
    bool m_ready = false;
    PoleLines m_lines = poleLines({});
};

} // namespace orvane::display
