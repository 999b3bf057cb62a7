#include "base/settingsfile.h"
#include "phone/callernumber.h"
#include "phone/dialcheck.h"
#include "phone/dialcheckconversation.h"
#include "phone/modem.h"
#include "platform/tcpclientcontrol.h"
#include "support/testsupport.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

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
    void judgesTheServer_data();
    void judgesTheServer();
};

void TestPhone::buildsTheDialCheckRequest_data()
{
    QTest::addColumn<QString>("inputData");
    QTest::addColumn<QString>("telcall");
    QTest::newRow("ten characters, then the number") << u"\x02"
                                                        "ABCDEFGHI0300000000\r\n"_s
                                                     << u"0300000000\r\n"_s;
    QTest::newRow("blanks around are removed") << u"0123456789  0312345678  "_s << u"0312345678"_s;
    QTest::newRow("characters 11 to 30 only") << u"0123456789" + QString(25, u'9') << QString(20, u'9');
    QTest::newRow("ten characters or fewer give nothing") << u"0123456789"_s << QString();
    QTest::newRow("an empty buffer") << QString() << QString();
    QTest::newRow("no escaping") << u"0123456789a&b=c d"_s << u"a&b=c d"_s;
}

void TestPhone::buildsTheDialCheckRequest()
{
    QFETCH(QString, inputData);
    QFETCH(QString, telcall);
    Settings settings;
    QCOMPARE(dialCheckRequest(settings, inputData),
             u"GET /mivaweb/system/dialcheck.php?userno=1&passwd=tulipwax&telcall="_s + telcall +
                 u"\r\n\r\n"_s);
}

void TestPhone::buildsTheRegistrationRequest()
{
    Settings settings;
    QCOMPARE(registrationRequest(settings), u"GET /mivaweb/system/ipset.php?id=1&passwd=tulipwax\r\n\r\n"_s);
    settings.prgpath = u"/clinic"_s;
    settings.userno = u"7"_s;
    settings.passwd = u"p&w"_s;
    QCOMPARE(registrationRequest(settings), u"GET /clinic/ipset.php?id=7&passwd=p&w\r\n\r\n"_s);
    QCOMPARE(dialCheckRequest(settings, QString()),
             u"GET /clinic/dialcheck.php?userno=7&passwd=p&w&telcall=\r\n\r\n"_s);
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
        {u"nothing"_s, u"-"_s, QString()},
        {u"0300000000/abc"_s, u"0300000000"_s, u"0300000000/abc"_s},
        {u"0300000000/abc"_s, u"-"_s, u"0300000000/abc"_s},    // the same reply again
        {QString(), u"-"_s, u"0300000000/abc"_s},              // an empty reply changes nothing
        {u"0300000000/abc"_s, u"-"_s, u"0300000000/abc"_s},    // so this is not dialled again
        {u"5000/x"_s, u"-"_s, u"5000/x"_s},                    // not beginning with 0
        {u"/x"_s, u"-"_s, u"/x"_s},                            // no number
        {u"0300000000/"_s, u"0300000000"_s, u"0300000000/"_s}, // typed into the box
        {u"03-1234-5678/a/b"_s, u"03-1234-5678"_s, u"03-1234-5678/a/b"_s},
    };
    QString last;
    for (const auto& step : steps) {
        const std::optional<QString> number = numberToDial(step.reply, last);
        QCOMPARE(number.value_or(u"-"_s), step.dialled);
        QCOMPARE(last, step.last);
    }
}

void TestPhone::readsTheServerPort_data()
{
    QTest::addColumn<QString>("dialport"); // "-" for unset
    QTest::addColumn<int>("port");
    QTest::newRow("unset is 0") << u"-"_s << 0;
    QTest::newRow("a number") << u"8080"_s << 8080;
    QTest::newRow("text after it") << u"80 (http)"_s << 80;
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
        QTest::addRow("event %d needs no message", code) << code << u"-"_s;
    QTest::newRow("1001 break") << 1001 << u"中断信号受信"_s;
    QTest::newRow("1002 CTS time-out") << 1002 << u"未定義エラー発生"_s;
    QTest::newRow("1003 DSR time-out") << 1003 << u"未定義エラー発生"_s;
    QTest::newRow("1004 framing") << 1004 << u"フレームエラー"_s;
    QTest::newRow("1006 overrun") << 1006 << u"オーバーランエラー"_s;
    QTest::newRow("1007 CD time-out") << 1007 << u"未定義エラー発生"_s;
    QTest::newRow("1008 receive buffer") << 1008 << u"受信バッファオーバー"_s;
    QTest::newRow("1009 parity") << 1009 << u"受信パリティエラー"_s;
    QTest::newRow("1010 send buffer full") << 1010 << u"送信バッファフル"_s;
    QTest::newRow("1011 DCB") << 1011 << u"DCB取得エラー"_s;
    QTest::newRow("device lost") << 1012 << u"未定義エラー発生"_s;
}

void TestPhone::namesEveryLineError()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(commEventMessage(code).value_or(u"-"_s), message);
    QCOMPARE(commErrorTitle(), u"通信エラー"_s);
}

void TestPhone::acknowledgesAReception()
{
    test::FakeSerialPort port;
    port.setPortOpen(true);
    port.log.clear();
    port.pending = u"0123456789"_s;
    QCOMPARE(receiveAndAcknowledge(port), u"0123456789"_s);
    QCOMPARE(port.log, (QStringList{u"RTS off"_s, u"RTS on"_s, u"output \x06"_s, u"RTS off"_s, u"RTS on"_s}));
    QCOMPARE(port.input(), QString());
}

void TestPhone::dialsTheModem()
{
    test::FakeSerialPort port;
    QCOMPARE(dialModem(port, u"03-1234 5678"_s), ModemDial::Dialled);
    QCOMPARE(port.log, (QStringList{u"open"_s, u"output ATDT03-1234 5678\r"_s}));
    QCOMPARE(dialModem(port, u"117"_s), ModemDial::AlreadyOpen);
    QCOMPARE(port.log.size(), 2);

    test::FakeSerialPort absent;
    absent.failOpen = true;
    QCOMPARE(dialModem(absent, u"117"_s), ModemDial::OpenFailed);
    QVERIFY(!absent.portOpen());

    test::FakeSerialPort broken;
    broken.failWrite = true;
    QCOMPARE(dialModem(broken, u"117"_s), ModemDial::WriteFailed);
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
    settings.dialurl = u"127.0.0.1"_s;
    DialCheckConversation conversation(settings, server.serverPort());
    TcpClientControl client;
    QString reply;
    int arrivals = 0;
    connect(&client, &TcpClient::DataArrival, this, [&] {
        ++arrivals;
        reply = conversation.takeArrived(client).value_or(u"(no reply)"_s);
    });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"reply longer than 4096"_s));
    conversation.restart(client);
    QTRY_VERIFY_WITH_TIMEOUT(arrivals > 0 && client.GetData().isEmpty() && reply.size() == 4096, 10000);
    QCOMPARE(reply, QString(4096, u'7'));
}

void TestPhone::judgesTheServer_data()
{
    QTest::addColumn<QByteArray>("answer"); // "-": refused (nobody listens), "hang": accepts, never answers
    QTest::addColumn<QString>("reason");    // after ten seconds of it; empty: ok
    QTest::newRow("a number to dial") << QByteArray("0312345678/x") << QString();
    QTest::newRow("nothing to dial") << QByteArray("none") << QString();
    QTest::newRow("refused") << QByteArray("-") << u"unreachable"_s;
    QTest::newRow("hanging") << QByteArray("hang") << u"unreachable"_s;
    QTest::newRow("an HTTP error") << QByteArray("HTTP/1.1 400 Bad Request\r\n\r\n") << u"bad-answer"_s;
    QTest::newRow("an HTML page") << QByteArray("<!DOCTYPE html><title>404</title>") << u"bad-answer"_s;
    QTest::newRow("binary") << QByteArray("\x01\x02zz") << u"bad-answer"_s;
}

void TestPhone::judgesTheServer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, reason);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    if (answer == "-")
        server.close();
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        if (answer != "hang") {
            peer->write(answer);
            peer->disconnectFromHost();
        }
    });
    Settings settings;
    settings.dialurl = u"127.0.0.1"_s;
    qint64 now = 0;
    DialCheckConversation conversation(settings, port, [&] { return now; });
    TcpClientControl client;
    std::optional<QString> shown = u"-"_s;
    int arrivals = 0;
    connect(&client, &TcpClient::DataArrival, this, [&] {
        ++arrivals;
        shown = conversation.takeArrived(client);
    });
    // Eleven polls a second apart: a fault is a problem once it has lasted ten seconds, not before.
    for (int poll = 0; poll <= 11; ++poll) {
        const int before = arrivals;
        conversation.restart(client);
        QCOMPARE(conversation.health().reason, poll < 11 || reason.isEmpty() ? QString() : reason);
        if (answer == "-" || answer == "hang")
            QTest::qWait(50);
        else
            QTRY_VERIFY(arrivals > before);
        now += 1000;
    }
    // What is no reply never reaches the number box.
    if (reason == u"bad-answer")
        QCOMPARE(shown, std::nullopt);
    else if (reason.isEmpty())
        QCOMPARE(shown, std::optional<QString>(QString::fromLatin1(answer)));
    QVERIFY(conversation.health().text.contains(u"127.0.0.1"_s));
}

QTEST_GUILESS_MAIN(TestPhone)
#include "tst_phone.moc"
