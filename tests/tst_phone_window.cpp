#include "platform/serialportcontrol.h"
#include "support/formservices.h"
#include "window/form1.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestPhoneWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pollsTheServerEveryTick();
    void dialsANewReplyOnce();
    void sendsTheRequestAndEmptiesTheBuffer();
    void joinsTheBlocksOfAReply();
    void registersAtTheServer();
    void collectsAndAcknowledgesDeviceText();
    void reportsLineErrors();
    void callsTheNumberInTheBox();
    void testCallsThroughTheModem();
    void reportsAModemThatCannotOpen();
    void talksToARealServer();
    void pollsAnNginxServer();
    void talksToDevicesOnPtys();

private:
    std::unique_ptr<Form1> makeForm(bool realPeers = false);
    test::FakeSerialPort* fakePort(SerialPort* port) { return qobject_cast<test::FakeSerialPort*>(port); }
    test::FakeTcpClient* fakeClient(TcpClient* client) { return qobject_cast<test::FakeTcpClient*>(client); }

    std::unique_ptr<test::WorkingFolder> m_dir;
    test::FakeLauncher m_launcher;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
};

void TestPhoneWindow::init()
{
    m_dir.reset(); // the last one gives back the folder it entered before the next one enters its own
    m_dir = std::make_unique<test::WorkingFolder>();
    m_launcher = {};
    m_notifier = {};
    m_dialler = {};
}

void TestPhoneWindow::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<Form1> TestPhoneWindow::makeForm(bool realPeers)
{
    return test::startWindow(
        test::formServices(m_dir->filePath(u"wine"_s), &m_launcher, &m_notifier, &m_dialler, realPeers));
}

void TestPhoneWindow::pollsTheServerEveryTick()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "dialurl=server.example\r\ndialport=8080\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    QVERIFY(form->Timer2->isActive());
    form->Timer2_Timer();
    form->Timer2_Timer();
    QCOMPARE(fakeClient(form->Winsock1)->log, (QStringList{u"close"_s, u"connect server.example:8080"_s,
                                                           u"close"_s, u"connect server.example:8080"_s}));
}

void TestPhoneWindow::dialsANewReplyOnce()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    form->Timer2->stop();
    form->tellno->setText(u"0300000000/abc"_s);
    form->Timer2_Timer();
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
    QCOMPARE(form->lastDialText(), u"0300000000/abc"_s);
    form->tellno->setText(QString());
    form->Timer2_Timer();
    form->tellno->setText(u"0300000000/abc"_s);
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers.size(), 1);
    // The hint text the box starts with holds no "/": nothing to dial.
    form->tellno->setText(u"ココに電話番号入力"_s);
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers.size(), 1);
}

void TestPhoneWindow::sendsTheRequestAndEmptiesTheBuffer()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "userno=12\r\npasswd=secret\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    form->txtInputData->setText(u"NUMBER....0312345678"_s);
    emit form->Winsock1->ConnectEvent();
    QCOMPARE(fakeClient(form->Winsock1)->sent,
             QStringList{
                 u"GET /mivaweb/system/dialcheck.php?userno=12&passwd=secret&telcall=0312345678\r\n\r\n"_s});
    QCOMPARE(form->txtInputData->text(), QString());
}

void TestPhoneWindow::joinsTheBlocksOfAReply()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    form->Timer2->stop();
    form->Timer2_Timer();
    fakeClient(form->Winsock1)->pending = u"03000"_s;
    emit form->Winsock1->DataArrival(5);
    fakeClient(form->Winsock1)->pending = u"00000/abc"_s;
    emit form->Winsock1->DataArrival(9);
    QCOMPARE(form->tellno->text(), u"0300000000/abc"_s);
    form->Timer2_Timer(); // a new connection starts a new reply
    fakeClient(form->Winsock1)->pending = u"none"_s;
    emit form->Winsock1->DataArrival(4);
    QCOMPARE(form->tellno->text(), u"none"_s);
    QCOMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
}

void TestPhoneWindow::registersAtTheServer()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "dialurl=server.example\r\nprgpath=/web\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    emit form->Winsock2->ConnectEvent();
    QCOMPARE(fakeClient(form->Winsock2)->sent,
             QStringList{u"GET /web/ipset.php?id=1&passwd=tulipwax\r\n\r\n"_s});
}

void TestPhoneWindow::collectsAndAcknowledgesDeviceText()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "nodspport=2\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    test::FakeSerialPort* device = fakePort(form->MSComm2);
    device->log.clear();
    device->pending = u"\x02"
                      "01234567"_s;
    device->raise(comm::kEvReceive);
    device->pending = u"89\r\n0300000000"_s;
    device->raise(comm::kEvReceive);
    QCOMPARE(form->txtInputData->text(), u"\x02"
                                         "0123456789\r\n0300000000"_s);
    QCOMPARE(device->log.count(u"output \x06"_s), 2);
    for (const int code :
         {comm::kEvSend, comm::kEvCts, comm::kEvDsr, comm::kEvCd, comm::kEvRing, comm::kEvEof})
        device->raise(code);
    QVERIFY(m_notifier.messages.isEmpty());
    QCOMPARE(device->log.count(u"output \x06"_s), 2);
}

void TestPhoneWindow::reportsLineErrors()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "nodspport=2\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    form->txtInputData->setText(u"kept"_s);
    fakePort(form->MSComm2)->raise(comm::kErFrame);
    fakePort(form->MSComm2)->raise(comm::kErCtsTimeout);
    QCOMPARE(m_notifier.messages.size(), 2);
    QCOMPARE(m_notifier.messages[0].title, u"通信エラー"_s);
    QCOMPARE(m_notifier.messages[0].text, u"フレームエラー"_s);
    QCOMPARE(m_notifier.messages[0].icon, Notifier::Icon::Warning);
    QCOMPARE(m_notifier.messages[1].text, u"未定義エラー発生"_s);
    QCOMPARE(form->txtInputData->text(), u"kept"_s);
}

void TestPhoneWindow::callsTheNumberInTheBox()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCOMPARE(m_dialler.numbers, QStringList{u"ココに電話番号入力"_s}); // the hint text itself
    QTest::mouseClick(form->tellno, Qt::LeftButton);
    QCOMPARE(form->tellno->text(), QString());
    form->tellno->setText(u"03 1234-5678"_s);
    QTest::mouseClick(form->tellno, Qt::LeftButton);
    QCOMPARE(form->tellno->text(), QString()); // a click always empties the box
    form->tellno->setText(u"03 1234-5678"_s);
    form->Command1_Click();
    QCOMPARE(m_dialler.numbers.last(), u"03 1234-5678"_s);
}

void TestPhoneWindow::testCallsThroughTheModem()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "modemport=4\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    test::FakeSerialPort* modem = fakePort(form->MSComm1);
    QCOMPARE(modem->commPort(), 4);
    QTest::mouseClick(form->Command3, Qt::LeftButton);
    QCOMPARE(modem->log, (QStringList{u"open"_s, u"output ATDT117\r"_s}));
    QVERIFY(form->Timer3->isActive());
    QCOMPARE(m_notifier.messages.size(), 1);
    QCOMPARE(m_notifier.messages[0].text, u"ok"_s);

    form->Command3_Click(); // within the 20 seconds: nothing at all
    QCOMPARE(modem->log.size(), 2);
    QCOMPARE(m_notifier.messages.size(), 1);

    form->Timer3->setInterval(50);
    form->Timer3->start();
    QTRY_VERIFY(!form->Timer3->isActive());
    QVERIFY(!modem->portOpen());
    form->PhoneCall2(u"0312345678"_s); // works again, without a message
    QCOMPARE(modem->log.last(), u"output ATDT0312345678\r"_s);
    QCOMPARE(m_notifier.messages.size(), 1);
}

void TestPhoneWindow::reportsAModemThatCannotOpen()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "modemport=4\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form);
    fakePort(form->MSComm1)->failOpen = true;
    form->Command3_Click();
    QCOMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"COM4"_s));
    QVERIFY(!form->Timer3->isActive());
    QVERIFY(!form->MSComm1->portOpen());
}

void TestPhoneWindow::talksToARealServer()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QVERIFY(test::writeFile(
        u"sct.txt"_s, "dialurl=127.0.0.1\r\ndialport=" + QByteArray::number(server.serverPort()) + "\r\n"));
    QList<QByteArray> requests;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            connect(peer, &QTcpSocket::readyRead, peer, [&, peer] {
                const QByteArray request = peer->readAll();
                requests.append(request);
                if (request.contains("dialcheck.php")) {
                    // The reply in two blocks, then the server closes as an HTTP/0.9 server does.
                    peer->write("03000");
                    peer->flush();
                    QTimer::singleShot(50, peer, [peer] {
                        peer->write("00000/abc");
                        peer->disconnectFromHost();
                    });
                }
            });
        }
    });
    const std::unique_ptr<Form1> form = makeForm(true);
    QVERIFY(form);
    form->Timer2->stop(); // the test ticks itself
    form->txtInputData->setText(u"0123456789 0311112222"_s);
    QTRY_VERIFY(requests.contains(QByteArray("GET /mivaweb/system/ipset.php?id=1&passwd=tulipwax\r\n\r\n")));
    form->Timer2_Timer();
    QTRY_COMPARE(form->tellno->text(), u"0300000000/abc"_s); // both blocks, joined
    QVERIFY(requests.contains(
        QByteArray("GET /mivaweb/system/dialcheck.php?userno=1&passwd=tulipwax&telcall=0311112222\r\n\r\n")));
    form->Timer2_Timer(); // the reply shown names a number: it is called
    QCOMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});

    // Later ticks get the same reply again: it is not dialled again.
    const QByteArray emptyCheck(
        "GET /mivaweb/system/dialcheck.php?userno=1&passwd=tulipwax&telcall=\r\n\r\n");
    for (int tick = 0; tick < 2; ++tick) {
        const qsizetype asked = requests.count(emptyCheck);
        form->Timer2_Timer();
        QTRY_COMPARE(requests.count(emptyCheck), asked + 1);
        QTRY_COMPARE(form->tellno->text(), u"0300000000/abc"_s);
    }
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers.size(), 1);

    // The server goes away: nothing breaks, the next ticks simply find nobody.
    server.close();
    form->Timer2_Timer();
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers.size(), 1);
}

void TestPhoneWindow::pollsAnNginxServer()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    const QString root = m_dir->filePath(u"www"_s);
    QVERIFY(test::writeFile(root + u"/mivaweb/system/dialcheck.php"_s, "0300000000/abc"));
    QDir().mkpath(m_dir->filePath(u"nginx"_s));
    const QByteArray dir = QFile::encodeName(m_dir->filePath(u"nginx"_s));
    const QByteArray config =
        "daemon off; master_process off; pid " + dir + "/nginx.pid; error_log " + dir +
        "/error.log;\nevents {}\nhttp { access_log off; client_body_temp_path " + dir + "; proxy_temp_path " +
        dir + "; fastcgi_temp_path " + dir + "; uwsgi_temp_path " + dir + "; scgi_temp_path " + dir +
        "; default_type text/plain;\n server { listen 127.0.0.1:" + QByteArray::number(port) + "; root " +
        QFile::encodeName(root) + "; } }\n";
    QVERIFY(test::writeFile(m_dir->filePath(u"nginx/nginx.conf"_s), config));
    QProcess nginx;
    nginx.start(u"nginx"_s,
                {u"-c"_s, m_dir->filePath(u"nginx/nginx.conf"_s), u"-p"_s, m_dir->filePath(u"nginx"_s)});
    QVERIFY2(nginx.waitForStarted(), "nginx is not installed");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_dir->filePath(u"nginx/nginx.pid"_s)), 5000);

    QVERIFY(
        test::writeFile(u"sct.txt"_s, "dialurl=127.0.0.1\r\ndialport=" + QByteArray::number(port) + "\r\n"));
    const std::unique_ptr<Form1> form = makeForm(true);
    QVERIFY(form);
    form->Timer2->stop();
    form->Timer2_Timer();
    QTRY_COMPARE(form->tellno->text(), u"0300000000/abc"_s);
    form->Timer2_Timer();
    QCOMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
    nginx.terminate();
    nginx.waitForFinished(5000);
}

void TestPhoneWindow::talksToDevicesOnPtys()
{
    QDir().mkpath(m_dir->filePath(u"wine/dosdevices"_s));
    const QString device = m_dir->filePath(u"device"_s);
    const QString modem = m_dir->filePath(u"modem"_s);
    QProcess deviceLine;
    QProcess modemLine;
    deviceLine.start(u"socat"_s,
                     {u"pty,raw,echo=0,link="_s + device + u"-ours"_s, u"pty,raw,echo=0,link="_s + device});
    modemLine.start(u"socat"_s,
                    {u"pty,raw,echo=0,link="_s + modem + u"-ours"_s, u"pty,raw,echo=0,link="_s + modem});
    QTRY_VERIFY(QFile::exists(device) && QFile::exists(modem) && QFile::exists(device + u"-ours"_s) &&
                QFile::exists(modem + u"-ours"_s));
    QFile::link(device + u"-ours"_s, m_dir->filePath(u"wine/dosdevices/com7"_s));
    QFile::link(modem + u"-ours"_s, m_dir->filePath(u"wine/dosdevices/com8"_s));
    QVERIFY(test::writeFile(u"sct.txt"_s, "nodspport=7\r\nmodemport=8\r\ndialurl=\r\n"));

    const std::unique_ptr<Form1> form = makeForm(true);

    QVERIFY(form);
    QVERIFY(form->MSComm2->portOpen());
    QSerialPort devicePeer(device);
    QVERIFY(devicePeer.open(QIODevice::ReadWrite));
    devicePeer.write("\x02NUM......");
    QTRY_COMPARE(form->txtInputData->text().size(), 10);
    devicePeer.write("0300000000\x03");
    QTRY_COMPARE(form->txtInputData->text(), u"\x02NUM......0300000000\x03"_s);
    // One acknowledgement per receive event: the two chunks came apart, so two.
    QTRY_COMPARE(devicePeer.bytesAvailable(), qint64(2));
    QCOMPARE(devicePeer.readAll(), QByteArray("\x06\x06"));

    QSerialPort modemPeer(modem);
    QVERIFY(modemPeer.open(QIODevice::ReadWrite));
    form->Timer3->setInterval(300);
    form->Command3_Click();
    form->Command3_Click(); // ignored while the port is open
    QTRY_COMPARE(modemPeer.bytesAvailable(), qint64(8));
    QCOMPARE(modemPeer.readAll(), QByteArray("ATDT117\r"));
    QTRY_VERIFY(!form->MSComm1->portOpen());
    QVERIFY(!form->Timer3->isActive());
    QCOMPARE(m_notifier.messages.size(), 1);

    deviceLine.terminate();
    modemLine.terminate();
    deviceLine.waitForFinished();
    modemLine.waitForFinished();
}

QTEST_MAIN(TestPhoneWindow)
#include "tst_phone_window.moc"
