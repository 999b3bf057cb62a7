#include "platform/tcpclientcontrol.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace orvane;

class TestTcpClient : public QObject
{
    Q_OBJECT

private slots:
    void connectsSendsAndReceives();
    void closesInAnyState();
    void swallowsConnectionErrors();
};

void TestTcpClient::connectsSendsAndReceives()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TcpClientControl client;
    client.setRemoteHost(u"127.0.0.1"_qs);
    client.setRemotePort(server.serverPort());
    QCOMPARE(client.remotePort(), qint32(server.serverPort()));
    QSignalSpy connected(&client, &TcpClient::ConnectEvent);
    QSignalSpy arrived(&client, &TcpClient::DataArrival);
    client.Connect();
    QVERIFY(connected.wait());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();

    client.SendData(u"GET /x?a=様\r\n\r\n"_qs);
    QTRY_COMPARE(peer->bytesAvailable(), qint64(15));
    QCOMPARE(peer->readAll(), QByteArray("GET /x?a=\x97\x6C\r\n\r\n"));

    peer->write("0300000000/abc");
    QVERIFY(arrived.wait());
    QCOMPARE(client.GetData(), u"0300000000/abc"_qs);
    QCOMPARE(client.GetData(), QString());
}

void TestTcpClient::closesInAnyState()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TcpClientControl client;
    client.Close(); // never connected
    client.setRemoteHost(u"127.0.0.1"_qs);
    client.setRemotePort(server.serverPort());
    client.Connect();
    client.Close(); // while connecting
    QSignalSpy connected(&client, &TcpClient::ConnectEvent);
    client.Connect();
    QVERIFY(connected.wait());
    client.Close();   // connected
    client.Connect(); // and again after closing
    QVERIFY(connected.wait());
    QCOMPARE(connected.size(), 2);
}

void TestTcpClient::swallowsConnectionErrors()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 closedPort = server.serverPort();
    server.close();

    TcpClientControl client;
    QSignalSpy connected(&client, &TcpClient::ConnectEvent);
    client.setRemoteHost(u"127.0.0.1"_qs);
    client.setRemotePort(closedPort); // refused
    client.Connect();
    client.SendData(u"nothing goes out"_qs);
    client.setRemotePort(0); // no such port
    client.Connect();
    client.setRemoteHost(QString());
    client.setRemotePort(80);
    client.Connect();
    QTest::qWait(200);
    QCOMPARE(connected.size(), 0);
}

QTEST_GUILESS_MAIN(TestTcpClient)
#include "tst_tcpclient.moc"
