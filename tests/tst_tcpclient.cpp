#include "platform/tcpclientcontrol.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestTcpClient : public QObject
{
    Q_OBJECT

private slots:
    void connectsSendsAndReceives();
    void closesInAnyState();
    void swallowsConnectionErrors();
    void joinsACharacterSplitAcrossReads();
};

void TestTcpClient::connectsSendsAndReceives()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TcpClientControl client;
    client.setRemoteHost(u"127.0.0.1"_s);
    client.setRemotePort(server.serverPort());
    QCOMPARE(client.remotePort(), qint32(server.serverPort()));
    QSignalSpy connected(&client, &TcpClient::ConnectEvent);
    QSignalSpy arrived(&client, &TcpClient::DataArrival);
    client.Connect();
    QVERIFY(connected.wait());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();

    client.SendData(u"GET /x?a=様\r\n\r\n"_s);
    QTRY_COMPARE(peer->bytesAvailable(), qint64(15));
    QCOMPARE(peer->readAll(), QByteArray("GET /x?a=\x97\x6C\r\n\r\n"));

    peer->write("0300000000/abc");
    QVERIFY(arrived.wait());
    QCOMPARE(client.GetData(), u"0300000000/abc"_s);
    QCOMPARE(client.GetData(), QString());
}

void TestTcpClient::closesInAnyState()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TcpClientControl client;
    client.Close(); // never connected
    client.setRemoteHost(u"127.0.0.1"_s);
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
    client.setRemoteHost(u"127.0.0.1"_s);
    client.setRemotePort(closedPort); // refused
    client.Connect();
    client.SendData(u"nothing goes out"_s);
    client.setRemotePort(0); // no such port
    client.Connect();
    client.setRemoteHost(QString());
    client.setRemotePort(80);
    client.Connect();

    // A server that is there: its connection is the first and only one the client reports.
    QTcpServer live;
    QVERIFY(live.listen(QHostAddress::LocalHost));
    client.setRemoteHost(u"127.0.0.1"_s);
    client.setRemotePort(live.serverPort());
    client.Connect();
    QVERIFY(connected.wait());
    QCOMPARE(connected.size(), 1);
}

void TestTcpClient::joinsACharacterSplitAcrossReads()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    TcpClientControl client;
    client.setRemoteHost(u"127.0.0.1"_s);
    client.setRemotePort(server.serverPort());
    QSignalSpy arrived(&client, &TcpClient::DataArrival);
    client.Connect();
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();

    // "0312/山田様" in CP932, sent a byte at a time: every read ends inside a character.
    const QByteArray reply("0312/\x8E\x52\x93\x63\x97\x6C");
    QString received;
    for (const char byte : reply) {
        peer->write(QByteArray(1, byte));
        peer->flush();
        QVERIFY(arrived.wait());
        received += client.GetData();
    }
    QCOMPARE(received, u"0312/山田様"_s);

    // A new connection is a new reply, judged on its own: this one is UTF-8.
    client.Connect();
    QTRY_VERIFY(server.hasPendingConnections());
    peer = server.nextPendingConnection();
    peer->write("\xE5\xB1");
    peer->flush();
    QVERIFY(arrived.wait());
    received = client.GetData();
    peer->write("\xB1");
    QVERIFY(arrived.wait());
    QCOMPARE(received + client.GetData(), u"山"_s);
}

QTEST_GUILESS_MAIN(TestTcpClient)
#include "tst_tcpclient.moc"
