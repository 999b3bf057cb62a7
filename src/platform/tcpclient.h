#pragma once

#include <QObject>
#include <QString>

namespace orvane {

// A TCP client with the members the server conversations use. Connect() returns at once; ConnectEvent
// follows when the connection is up, DataArrival whenever data has come in. Connection failures raise
// no event: the callers try again on their own schedule.
class TcpClient : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void setRemoteHost(const QString& host) = 0;
    virtual QString remoteHost() const = 0;
    virtual void setRemotePort(qint32 port) = 0;
    virtual qint32 remotePort() const = 0;
    virtual void Connect() = 0;
    // Ends the connection in whatever state it is.
    virtual void Close() = 0;
    // Sends the text's ANSI bytes over the connection.
    virtual void SendData(const QString& text) = 0;
    // The data that has arrived and not yet been taken, as text.
    virtual QString GetData() = 0;

signals:
    void ConnectEvent();
    void DataArrival(qint64 bytesTotal);
};

} // namespace orvane
