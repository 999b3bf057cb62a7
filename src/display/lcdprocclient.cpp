#include "display/lcdprocclient.h"

#include "base/logging.h"

namespace orvane::display {

LcdProcClient::LcdProcClient(QString host, quint16 port, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_port(port)
{
    m_retry.setInterval(1000);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &LcdProcClient::start);
    connect(&m_socket, &QTcpSocket::connected, this, &LcdProcClient::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &LcdProcClient::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this,
            [this] { lost(QStringLiteral("LCDd closed the connection")); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            lost(m_socket.errorString());
    });
}

void LcdProcClient::lost(const QString& why)
{
    const QString fault =
        QStringLiteral("LCDd at %1:%2 cannot be reached: %3").arg(m_host).arg(m_port).arg(why);
    if (m_ready || !m_settled)
        qCWarning(lcStatus, "%s", qPrintable(fault));
    m_ready = false;
    m_fault = fault;
    m_retry.start();
    if (!std::exchange(m_settled, true))
        emit settled();
}

void LcdProcClient::start()
{
    if (m_fault.isEmpty())
        m_fault = QStringLiteral("LCDd at %1:%2 has not answered yet").arg(m_host).arg(m_port);
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
            if (!m_fault.isEmpty() && m_settled)
                qCInfo(lcStatus, "LCDd at %s:%u shows the customer display again", qPrintable(m_host),
                       unsigned(m_port));
            m_ready = true;
            m_fault.clear();
            sendLines();
            if (!std::exchange(m_settled, true))
                emit settled();
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
