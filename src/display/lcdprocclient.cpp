#include "display/lcdprocclient.h"

namespace orvane::display {

LcdProcClient::LcdProcClient(QString host, quint16 port, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_port(port)
{
    m_retry.setInterval(1000);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LcdProcClient::start);
    connect(&m_socket, &QTcpSocket::connected, this, &LcdProcClient::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &LcdProcClient::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        m_ready = false;
        m_retry.start();
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket.state() != QAbstractSocket::ConnectedState) {
            m_ready = false;
            m_retry.start();
        }
    });
}

void LcdProcClient::start()
{
    m_socket.abort();
    m_socket.connectToHost(m_host, m_port);
}

QByteArray LcdProcClient::quoted(const QByteArray& text)
{
    QByteArray out = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"' || c == '{' || c == '}')
            out += '\\';
        out += c;
    }
    return out + '"';
}

void LcdProcClient::onConnected()
{
    m_socket.write("hello\n");
}

void LcdProcClient::onReadyRead()
{
    while (m_socket.canReadLine()) {
        const QByteArray line = m_socket.readLine().trimmed();
        if (line.startsWith("connect ")) {
            m_socket.write("client_set -name orvane\n"
                           "screen_add orvane\n"
                           "screen_set orvane -priority foreground -heartbeat off -name customer\n"
                           "widget_add orvane upper string\n"
                           "widget_add orvane lower string\n");
            m_ready = true;
            sendLines();
        }
        // Everything else is "success", a listen/ignore notice or a "huh?" LCDd logs itself.
    }
}

void LcdProcClient::show(const PoleLines& lines)
{
    m_lines = lines;
    if (m_ready)
        sendLines();
}

void LcdProcClient::sendLines()
{
    m_socket.write("widget_set orvane upper 1 1 " + quoted(m_lines.upper) + "\n" +
                   "widget_set orvane lower 1 2 " + quoted(m_lines.lower) + "\n");
}

} // namespace orvane::display
