#include "base/settingsfile.h"
#include "phone/callernumber.h"
#include "phone/dialcheckconversation.h"
#include "platform/tcpclientcontrol.h"
#include "phone/dialcheck.h"
#include "phone/modem.h"
#include "support/testsupport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace orvane;

class TestPhone : public QObject
{
    Q_OBJECT

private slots:
    void capsAReplyThatNeverEnds();
    void buildsTheDialCheckRequest_data();
    void buildsTheDialCheckRequest();
    void buildsTheRegistrationRequest();
    void decidesWhatToDial();
    void readsTheServerPort_data();
    void readsTheServerPort();
    void namesEveryLineError_data();
    void namesEveryLineError();
    void acknowledgesAReception();
    void dialsTheModem();
};

void TestPhone::buildsTheDialCheckRequest_data()
{
    QTest::addColumn<QString>("inputData");
    QTest::addColumn<QString>("telcall");
    QTest::newRow("ten characters, then the number") << u"\x02"
                                                        "ABCDEFGHI0300000000\r\n"_qs
                                                     << u"0300000000\r\n"_qs;
    QTest::newRow("blanks around are removed") << u"0123456789  0312345678  "_qs << u"0312345678"_qs;
    QTest::newRow("characters 11 to 30 only") << u"0123456789" + QString(25, u'9') << QString(20, u'9');
    QTest::newRow("ten characters or fewer give nothing") << u"0123456789"_qs << QString();
    QTest::newRow("an empty buffer") << QString() << QString();
    QTest::newRow("no escaping") << u"0123456789a&b=c d"_qs << u"a&b=c d"_qs;
}

void TestPhone::buildsTheDialCheckRequest()
{
    QFETCH(QString, inputData);
    QFETCH(QString, telcall);
    Settings settings;
    QCOMPARE(dialCheckRequest(settings, inputData),
             u"GET /mivaweb/system/dialcheck.php?userno=1&passwd=tulipwax&telcall="_qs + telcall +
                 u"\r\n\r\n"_qs);
}

void TestPhone::buildsTheRegistrationRequest()
{
    Settings settings;
    QCOMPARE(registrationRequest(settings), u"GET /mivaweb/system/ipset.php?id=1&passwd=tulipwax\r\n\r\n"_qs);
    settings.prgpath = u"/clinic"_qs;
    settings.userno = u"7"_qs;
    settings.passwd = u"p&w"_qs;
    QCOMPARE(registrationRequest(settings), u"GET /clinic/ipset.php?id=7&passwd=p&w\r\n\r\n"_qs);
    QCOMPARE(dialCheckRequest(settings, QString()),
             u"GET /clinic/dialcheck.php?userno=7&passwd=p&w&telcall=\r\n\r\n"_qs);
}

void TestPhone::decidesWhatToDial()
{
    // One reply after another, as the poll sees them at its ticks.
    const struct
    {
        QString reply;
        QString dialled; // "-" for no call
        QString last;
    } steps[] = {
        {u"nothing"_qs, u"-"_qs, QString()},
        {u"0300000000/abc"_qs, u"0300000000"_qs, u"0300000000/abc"_qs},
        {u"0300000000/abc"_qs, u"-"_qs, u"0300000000/abc"_qs},    // the same reply again
        {QString(), u"-"_qs, u"0300000000/abc"_qs},               // an empty reply changes nothing
        {u"0300000000/abc"_qs, u"-"_qs, u"0300000000/abc"_qs},    // so this is not dialled again
        {u"5000/x"_qs, u"-"_qs, u"5000/x"_qs},                    // not beginning with 0
        {u"/x"_qs, u"-"_qs, u"/x"_qs},                            // no number
        {u"0300000000/"_qs, u"0300000000"_qs, u"0300000000/"_qs}, // typed into the box
        {u"03-1234-5678/a/b"_qs, u"03-1234-5678"_qs, u"03-1234-5678/a/b"_qs},
    };
    QString last;
    for (const auto& step : steps) {
        const std::optional<QString> number = numberToDial(step.reply, last);
        QCOMPARE(number.value_or(u"-"_qs), step.dialled);
        QCOMPARE(last, step.last);
    }
}

void TestPhone::readsTheServerPort_data()
{
    QTest::addColumn<QString>("dialport"); // "-" for unset
    QTest::addColumn<int>("port");
    QTest::newRow("unset is 0") << u"-"_qs << 0;
    QTest::newRow("a number") << u"8080"_qs << 8080;
    QTest::newRow("text after it") << u"80 (http)"_qs << 80;
}

void TestPhone::readsTheServerPort()
{
    QFETCH(QString, dialport);
    QFETCH(int, port);
    Settings settings;
    if (dialport != u"-")
        settings.dialport = dialport;
    QCOMPARE(dialPortSetting(settings), std::optional<qint32>(port));
}

void TestPhone::namesEveryLineError_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message"); // "-" for none
    for (int code = 1; code <= 7; ++code)
        QTest::addRow("event %d needs no message", code) << code << u"-"_qs;
    QTest::newRow("1001 break") << 1001 << u"中断信号受信"_qs;
    QTest::newRow("1002 CTS time-out") << 1002 << u"未定義エラー発生"_qs;
    QTest::newRow("1003 DSR time-out") << 1003 << u"未定義エラー発生"_qs;
    QTest::newRow("1004 framing") << 1004 << u"フレームエラー"_qs;
    QTest::newRow("1006 overrun") << 1006 << u"オーバーランエラー"_qs;
    QTest::newRow("1007 CD time-out") << 1007 << u"未定義エラー発生"_qs;
    QTest::newRow("1008 receive buffer") << 1008 << u"受信バッファオーバー"_qs;
    QTest::newRow("1009 parity") << 1009 << u"受信パリティエラー"_qs;
    QTest::newRow("1010 send buffer full") << 1010 << u"送信バッファフル"_qs;
    QTest::newRow("1011 DCB") << 1011 << u"DCB取得エラー"_qs;
    QTest::newRow("device lost") << 1012 << u"未定義エラー発生"_qs;
}

void TestPhone::namesEveryLineError()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(commEventMessage(code).value_or(u"-"_qs), message);
    QCOMPARE(commErrorTitle(), u"通信エラー"_qs);
}

void TestPhone::acknowledgesAReception()
{
    test::FakeSerialPort port;
    port.setPortOpen(true);
    port.log.clear();
    port.pending = u"0123456789"_qs;
    QCOMPARE(receiveAndAcknowledge(port), u"0123456789"_qs);
    QCOMPARE(port.log,
             (QStringList{u"RTS off"_qs, u"RTS on"_qs, u"output \x06"_qs, u"RTS off"_qs, u"RTS on"_qs}));
    QCOMPARE(port.input(), QString());
}

void TestPhone::dialsTheModem()
{
    test::FakeSerialPort port;
    QCOMPARE(dialModem(port, u"03-1234 5678"_qs), ModemDial::Dialled);
    QCOMPARE(port.log, (QStringList{u"open"_qs, u"output ATDT03-1234 5678\r"_qs}));
    QCOMPARE(dialModem(port, u"117"_qs), ModemDial::AlreadyOpen);
    QCOMPARE(port.log.size(), 2);

    test::FakeSerialPort absent;
    absent.failOpen = true;
    QCOMPARE(dialModem(absent, u"117"_qs), ModemDial::OpenFailed);
    QVERIFY(!absent.portOpen());

    test::FakeSerialPort broken;
    broken.failWrite = true;
    QCOMPARE(dialModem(broken, u"117"_qs), ModemDial::WriteFailed);
    QVERIFY(!broken.portOpen());
}

void TestPhone::capsAReplyThatNeverEnds()
{
    // A server that answers with 8 MiB: the reply kept is the first 4 KiB.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        for (int i = 0; i < 128; ++i)
            peer->write(QByteArray(64 * 1024, '7'));
        peer->disconnectFromHost();
    });
    Settings settings;
    settings.dialurl = u"127.0.0.1"_qs;
    DialCheckConversation conversation(settings, server.serverPort());
    TcpClientControl client;
    QString reply;
    int arrivals = 0;
    connect(&client, &TcpClient::DataArrival, this, [&] {
        ++arrivals;
        reply = conversation.takeArrived(client);
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"reply longer than 4096"_qs));
    conversation.restart(client);
    QTRY_VERIFY_WITH_TIMEOUT(arrivals > 0 && client.GetData().isEmpty() && reply.size() == 4096, 10000);
    QCOMPARE(reply, QString(4096, u'7'));
}

QTEST_GUILESS_MAIN(TestPhone)
#include "tst_phone.moc"
