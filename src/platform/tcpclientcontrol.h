#pragma once

#include "platform/tcpclient.h"
#include "text/incomingdecoder.h"

#include <QTcpSocket>

namespace orvane {

// TcpClient over QTcpSocket.
class TcpClientControl final : public TcpClient
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpClientControl)

public:
    static constexpr qint64 kReadBufferSize = 64 * 1024;

    explicit TcpClientControl(QObject* parent = nullptr);

    void setRemoteHost(const QString& host) override { m_host = host; }
    QString remoteHost() const override { return m_host; }
    void setRemotePort(qint32 port) override { m_port = port; }
    qint32 remotePort() const override { return m_port; }
    void Connect() override;
    void Close() override;
    void SendData(const QString& text) override;
    QString GetData() override;

private:
    QTcpSocket m_socket;
    QString m_host;
    qint32 m_port = 0;
    text::IncomingDecoder m_decoder; // the reply of the current connection
};

} // namespace orvane
