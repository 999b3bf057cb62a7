#include "platform/tcpclientcontrol.h"

#include "base/logging.h"
#include "text/ansicodec.h"

namespace orvane {

TcpClientControl::TcpClientControl(QObject* parent) : TcpClient(parent)
{
    // What is read at once stays small, however much a peer sends.
    m_socket.setReadBufferSize(kReadBufferSize);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpClient::ConnectEvent);
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { emit DataArrival(m_socket.bytesAvailable()); });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        qCDebug(lcNet) << "connection to" << m_host << m_port << ":" << m_socket.errorString();
    });
}

void TcpClientControl::Connect()
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    m_decoder.reset();
    if (m_port < 1 || m_port > 65535 || m_host.isEmpty()) {
        qCDebug(lcNet) << "no connection to" << m_host << m_port << ": no such address";
        return;
    }
    m_socket.connectToHost(m_host, quint16(m_port));
}

void TcpClientControl::Close()
{
    m_socket.abort();
}

void TcpClientControl::SendData(const QString& text)
{
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        qCDebug(lcNet) << "not connected to" << m_host << m_port << "; nothing sent";
        return;
    }
    m_socket.write(text::encodeAnsi(text));
}

QString TcpClientControl::GetData()
{
    return m_decoder.decode(m_socket.readAll());
}

} // namespace orvane
