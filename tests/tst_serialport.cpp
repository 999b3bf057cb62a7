#include "platform/serialportcontrol.h"
#include "support/ptypair.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// Raw mode on a test's own descriptor, so that what arrives is read as it was sent.
static void makeRaw(int fd)
{
    termios attributes{};
    if (tcgetattr(fd, &attributes) == 0) {
        cfmakeraw(&attributes);
        tcsetattr(fd, TCSANOW, &attributes);
    }
}

using test::PtyPair;

class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void parsesLineSettings_data();
    void parsesLineSettings();
    void rejectsPortNumbers();
    void sendsAndReceives();
    void appendsChunksInOrder();
    void warnsAboutRefusedSettings();
    void reopensAfterTheDeviceReturns();
    void opensADeviceThatArrivesLater();
    void reportsAPortThatCannotOpen();
    void writesOutAtOnce();
    void ignoresBreaks();

private:
    bool openPeer();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<SerialPortControl> m_control;
    QSerialPort m_peer;
};

void TestSerialPort::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir().mkpath(m_dir->filePath(u"wine/dosdevices"_s));
    m_pty = std::make_unique<PtyPair>(m_dir->path());
    QVERIFY(m_pty->start());
    QFile::link(m_pty->ours(), m_dir->filePath(u"wine/dosdevices/com5"_s));
    m_control = std::make_unique<SerialPortControl>(WindowsPathMapper(m_dir->filePath(u"wine"_s)));
    QVERIFY(m_control->setCommPort(5));
    m_control->setRThreshold(1);
    m_control->setSThreshold(1);
}

void TestSerialPort::cleanup()
{
    m_peer.close();
    m_control.reset();
    m_pty.reset();
}

bool TestSerialPort::openPeer()
{
    m_peer.setPortName(m_pty->theirs());
    return m_peer.open(QIODevice::ReadWrite);
}

void TestSerialPort::parsesLineSettings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<bool>("valid");
    QTest::newRow("modem settings") << u"9600,n,8,1"_s << true;
    QTest::newRow("device settings") << u"9600,E,7,1"_s << true;
    QTest::newRow("one and a half stop bits") << u"2400,o,5,1.5"_s << true;
    QTest::newRow("missing part") << u"9600,n,8"_s << false;
    QTest::newRow("unknown parity") << u"9600,x,8,1"_s << false;
    QTest::newRow("nine data bits") << u"9600,n,9,1"_s << false;
}

void TestSerialPort::parsesLineSettings()
{
    QFETCH(QString, settings);
    QFETCH(bool, valid);
    QCOMPARE(m_control->setSettings(settings), valid);
    QCOMPARE(m_control->settings(), valid ? settings : u"9600,n,8,1"_s);
}

void TestSerialPort::rejectsPortNumbers()
{
    QVERIFY(!m_control->setCommPort(0));
    QVERIFY(!m_control->setCommPort(-3));
    QVERIFY(!m_control->errorString().isEmpty());
    QCOMPARE(m_control->commPort(), 5);
}

void TestSerialPort::sendsAndReceives()
{
    QVERIFY(m_control->setPortOpen(true));
    QVERIFY(m_control->portOpen());
    QVERIFY(openPeer());
    QSignalSpy events(m_control.get(), &SerialPort::OnComm);

    QVERIFY(m_control->setOutput(u"ATDT0300000000\r"_s));
    QTRY_COMPARE(m_peer.bytesAvailable(), qint64(15));
    QCOMPARE(m_peer.readAll(), QByteArray("ATDT0300000000\r"));
    QTRY_VERIFY(!events.isEmpty());
    QCOMPARE(m_control->commEvent(), comm::kEvSend);

    events.clear();
    m_peer.write(QByteArray("\x06"
                            "ABC",
                            4));
    QTRY_VERIFY(!events.isEmpty());
    QCOMPARE(m_control->commEvent(), comm::kEvReceive);
    QCOMPARE(m_control->input(), QString(QChar(6)) + u"ABC"_s);
    QCOMPARE(m_control->input(), QString());

    QVERIFY(m_control->setPortOpen(false));
    QVERIFY(!m_control->portOpen());
    QVERIFY(!m_control->setOutput(u"x"_s));
}

void TestSerialPort::appendsChunksInOrder()
{
    QVERIFY(m_control->setPortOpen(true));
    QVERIFY(openPeer());
    QString received;
    int receiveEvents = 0;
    connect(m_control.get(), &SerialPort::OnComm, this, [&] {
        if (m_control->commEvent() == comm::kEvReceive) {
            ++receiveEvents;
            received += m_control->input();
        }
    });
    m_peer.write("0123456789");
    QTRY_COMPARE(received.size(), 10);
    m_peer.write("0300000000");
    QTRY_COMPARE(received, u"01234567890300000000"_s);
    QVERIFY(receiveEvents >= 2);
}

void TestSerialPort::warnsAboutRefusedSettings()
{
    // A pty refuses 7 data bits with even parity: the port still opens, with a warning.
    QVERIFY(m_control->setSettings(u"9600,E,7,1"_s));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"refused the data bits"_s));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"refused the parity"_s));
    QVERIFY(m_control->setPortOpen(true));
    QVERIFY(openPeer());
    m_control->setRTSEnable(true); // a pty has no RTS line: ignored
    m_control->setRTSEnable(false);
    QVERIFY(m_control->setOutput(QString(QChar(6))));
    QTRY_COMPARE(m_peer.bytesAvailable(), qint64(1));
    QCOMPARE(m_peer.readAll(), QByteArray("\x06"));
}

void TestSerialPort::reopensAfterTheDeviceReturns()
{
    m_control->setReopenInterval(100);
    QVERIFY(m_control->setPortOpen(true));
    QSignalSpy events(m_control.get(), &SerialPort::OnComm);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"lost"_s));
    m_pty->stop();
    QTRY_VERIFY(m_control->waitingForDevice());
    QCOMPARE(m_control->commEvent(), comm::kErDeviceLost);
    QVERIFY(m_control->portOpen());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"is back"_s));
    QVERIFY(m_pty->start());
    QTRY_VERIFY(!m_control->waitingForDevice());
    QCOMPARE(events.size(), 1); // the loss was raised once, however often the dead line was read
    QVERIFY(openPeer());
    events.clear();
    QString received;
    connect(m_control.get(), &SerialPort::OnComm, this, [&] { received += m_control->input(); });
    m_peer.write("again");
    QTRY_COMPARE(received, u"again"_s);
}

void TestSerialPort::opensADeviceThatArrivesLater()
{
    m_control->setReopenInterval(100);
    m_pty->stop();
    QTRY_VERIFY(!QFile::exists(m_pty->ours()));
    QVERIFY(!m_control->setPortOpen(true));
    QVERIFY(!m_control->portOpen());
    m_control->openWhenAvailable();
    QVERIFY(m_control->portOpen());
    QVERIFY(m_control->waitingForDevice());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"is back"_s));
    QVERIFY(m_pty->start());
    QTRY_VERIFY(!m_control->waitingForDevice());
}

void TestSerialPort::reportsAPortThatCannotOpen()
{
    QVERIFY(m_control->setCommPort(9)); // COM9 maps to /dev/ttyS8, absent or not ours
    QVERIFY(!m_control->setPortOpen(true));
    QVERIFY(!m_control->portOpen());
    QVERIFY(!m_control->errorString().isEmpty());
}

void TestSerialPort::writesOutAtOnce()
{
    QVERIFY(m_control->setPortOpen(true));
    const int peer = ::open(QFile::encodeName(m_pty->theirs()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(peer >= 0);
    const auto closePeer = qScopeGuard([peer] { ::close(peer); });
    makeRaw(peer);
    // No turn of the event loop in between: the byte must already be on the line.
    QVERIFY(m_control->setOutput(QString(QChar(6))));
    pollfd readable{peer, POLLIN, 0};
    QCOMPARE(::poll(&readable, 1, 2000), 1);
    char byte = 0;
    QCOMPARE(::read(peer, &byte, 1), ssize_t(1));
    QCOMPARE(byte, '\x06');
}

void TestSerialPort::ignoresBreaks()
{
    QVERIFY(m_control->setPortOpen(true));
    // The line's settings, read through a second descriptor of the same device.
    const int device = ::open(QFile::encodeName(m_pty->ours()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (device < 0)
        QSKIP("the device is held exclusively; its settings cannot be read from here");
    const auto closeDevice = qScopeGuard([device] { ::close(device); });
    termios attributes{};
    QCOMPARE(tcgetattr(device, &attributes), 0);
    QVERIFY(attributes.c_iflag & IGNBRK);
    QVERIFY(!(attributes.c_iflag & BRKINT));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
