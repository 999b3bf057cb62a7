#include "platform/serialportcontrol.h"
#include "support/desk.h"
#include "support/formservices.h"
#include "support/recordingsurface.h"
#include "window/form1.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace orvane;

// The bridge keeps running through the faults of a working day: every other function goes on and
// nothing that must be kept is lost.
class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void survivesTheCookieFolderBeingRecreated();
    void goesOnWithoutTheDisplayProgram();
    void finishesAStatementWhenThePrinterFails();
    void reportsUnwritableFiles();
    void keepsPollingAMisbehavingServer();
    void takesTheDeviceBackWhenItReturns();
    void endsTheStartWhenTheDeviceIsTaken();

private:
    std::unique_ptr<Form1> startForm(const QByteArray& settings, std::unique_ptr<PrintSurface> printer = {});
    void sendCommand(const QByteArray& command);

    std::unique_ptr<test::Desk> m_desk;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
    int m_sent = 0;
};

void TestFaults::init()
{
    m_desk = std::make_unique<test::Desk>();
    m_notifier = {};
    m_dialler = {};
    m_sent = 0;
}

void TestFaults::cleanup()
{
    m_desk.reset();
}

std::unique_ptr<Form1> TestFaults::startForm(const QByteArray& settings,
                                             std::unique_ptr<PrintSurface> printer)
{
    test::writeFile(u"sct.txt"_s, "wintype=1\r\n" + settings);
    FormServices services =
        test::formServices(m_desk->winePrefix(), &m_desk->launcher(), &m_notifier, &m_dialler, true);
    // A returning device is looked for every 100 ms here, not every few seconds.
    services.makeSerialPort = [mapper = services.mapper](QObject* parent) {
        auto* port = new SerialPortControl(mapper, parent);
        port->setReopenInterval(100);
        return port;
    };
    auto shared = std::make_shared<std::unique_ptr<PrintSurface>>(std::move(printer));
    services.makePrintSurface = [shared]() -> std::unique_ptr<PrintSurface> {
        if (*shared)
            return std::move(*shared);
        return std::make_unique<RecordingSurface>();
    };
    return test::startWindow(services);
}

void TestFaults::sendCommand(const QByteArray& command)
{
    // Each command a second later than the one before, as whole seconds tell commands apart.
    m_desk->writeCookie("site\n" + command + "\nclinic/\n1600\nline4\n", ++m_sent);
}

void TestFaults::survivesTheCookieFolderBeingRecreated()
{
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    QVERIFY(form);
    sendCommand("wel");
    QTRY_COMPARE(m_desk->displayCalls().size(), 1);
    QVERIFY(QDir(m_desk->cookies()).removeRecursively());
    form->Timer1_Timer(); // a tick without the folder
    QDir().mkpath(m_desk->cookies());
    sendCommand("Total100");
    QTRY_COMPARE(m_desk->displayCalls().size(), 2);
}

void TestFaults::goesOnWithoutTheDisplayProgram()
{
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    QVERIFY(form);
    m_desk->removeDisplayProgram();
    sendCommand("Total100");
    form->Timer1_Timer(); // carried out now: the display program is not found
    sendCommand("tell0300000000");
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
    QVERIFY(m_notifier.messages.isEmpty()); // the display program's absence is not the staff's concern
}

void TestFaults::finishesAStatementWhenThePrinterFails()
{
    auto printer = std::make_unique<RecordingSurface>();
    printer->workingOperations = 12;
    RecordingSurface* failing = printer.get();
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n", std::move(printer));
    QVERIFY(form);
    sendCommand("prt9_a_2_x?A?1?100?100_x?B?1?200?200_300_0_300_0_1_x_0_0_y_0_2024-03-05_0");
    QTRY_VERIFY(QFile::exists(u"nikkei.txt"_s));
    QCOMPARE(failing->workingOperations, 0); // the printer did fail in the middle of the job
    QCOMPARE(failing->operations.last().kind, RecordingSurface::Kind::EndDoc); // and the job was ended
    QVERIFY(test::readFile(u"nikkei.txt"_s).startsWith("9_a_2_"));
    QTRY_COMPARE(m_desk->displayCalls().size(), 1); // the total still reaches the display

    sendCommand("rsh山田/100/8/1");
    QTRY_COMPARE(test::readFile(u"counter.txt"_s), QByteArray(" 1\r\n"));
}

void TestFaults::reportsUnwritableFiles()
{
    QVERIFY(QDir().mkdir(u"counter.txt"_s));
    QVERIFY(QDir().mkdir(u"nikkei.txt"_s));
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    QVERIFY(form);
    sendCommand("rsh山田/100/8/1");
    QTRY_COMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"counter.txt"_s));
    sendCommand("prt9_a_0_300_0_300_0_1_x_0_0_y_0_2024-03-05_0");
    QTRY_COMPARE(m_notifier.messages.size(), 2);
    QVERIFY(m_notifier.messages[1].text.contains(u"9_a_0_300_0_300_0_1_x_0_0_y_0_2024-03-05_0/line4"_s));
    form->daystart_Click(); // a folder cannot be emptied as a file: reported, and the program goes on
    QCOMPARE(m_notifier.messages.size(), 3);
    sendCommand("tell0311");
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0311"_s});
}

void TestFaults::keepsPollingAMisbehavingServer()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close(); // refused at first
    const std::unique_ptr<Form1> form =
        startForm("dialurl=127.0.0.1\r\ndialport=" + QByteArray::number(port) + "\r\n");
    QVERIFY(form);
    form->Timer2->stop(); // the test ticks itself
    form->Timer2_Timer();
    form->Timer2_Timer();

    enum class Behaviour { Hang, CloseEarly, Answer };
    Behaviour behaviour = Behaviour::Hang;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    int requests = 0;
    int dropped = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            if (behaviour == Behaviour::CloseEarly) {
                peer->abort();
                ++dropped;
                continue;
            }
            connect(peer, &QTcpSocket::readyRead, peer, [&, peer] {
                if (!peer->readAll().contains("dialcheck.php"))
                    return;
                ++requests;
                if (behaviour == Behaviour::Answer) {
                    peer->write("0300000000/abc");
                    peer->disconnectFromHost();
                }
            });
        }
    });
    form->Timer2_Timer();
    QTRY_COMPARE(requests, 1);
    form->Timer2_Timer(); // gives up the hanging connection and asks again
    QTRY_COMPARE(requests, 2);
    behaviour = Behaviour::CloseEarly;
    form->Timer2_Timer();
    QTRY_COMPARE(dropped, 1);
    behaviour = Behaviour::Answer;
    form->Timer2_Timer();
    QTRY_COMPARE(form->tellno->text(), u"0300000000/abc"_s);
    form->Timer2_Timer(); // the reply now shown names the number
    QCOMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
    QVERIFY(m_notifier.messages.isEmpty());
}

void TestFaults::takesTheDeviceBackWhenItReturns()
{
    QDir().mkpath(m_desk->filePath(u"wine/dosdevices"_s));
    const QString line = m_desk->filePath(u"line"_s);
    const QStringList socatArguments{u"pty,raw,echo=0,link="_s + line + u"-ours"_s,
                                     u"pty,raw,echo=0,link="_s + line};
    QProcess socat;
    socat.start(u"socat"_s, socatArguments);
    QTRY_VERIFY(QFile::exists(line) && QFile::exists(line + u"-ours"_s));
    QFile::link(line + u"-ours"_s, m_desk->filePath(u"wine/dosdevices/com3"_s));
    const std::unique_ptr<Form1> form = startForm("nodspport=3\r\ndialurl=\r\n");
    QVERIFY(form);
    QVERIFY(form->MSComm2->portOpen());

    socat.terminate();
    socat.waitForFinished();
    QTRY_COMPARE(m_notifier.messages.size(), 1); // reported once, not once per failed read
    QCOMPARE(m_notifier.messages[0].title, u"通信エラー"_s);

    sendCommand("tell0322"); // the rest of the desk works meanwhile
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0322"_s});
    QCOMPARE(m_notifier.messages.size(), 1); // and no further report came while it did

    socat.start(u"socat"_s, socatArguments);
    QTRY_VERIFY(QFile::exists(line));
    QSerialPort peer(line);
    QTRY_VERIFY2(peer.isOpen() || peer.open(QIODevice::ReadWrite), qPrintable(peer.errorString()));
    auto* control = qobject_cast<SerialPortControl*>(form->MSComm2);
    QVERIFY(control);
    QTRY_VERIFY(!control->waitingForDevice()); // reopened; text sent after that arrives
    peer.write("0123456789");
    QTRY_COMPARE_WITH_TIMEOUT(form->txtInputData->text(), u"0123456789"_s, 5000);
    socat.terminate();
    socat.waitForFinished();
}

void TestFaults::endsTheStartWhenTheDeviceIsTaken()
{
    QDir().mkpath(m_desk->filePath(u"wine/dosdevices"_s));
    const QString line = m_desk->filePath(u"line"_s);
    QProcess socat;
    socat.start(u"socat"_s,
                {u"pty,raw,echo=0,link="_s + line + u"-ours"_s, u"pty,raw,echo=0,link="_s + line});
    QTRY_VERIFY(QFile::exists(line) && QFile::exists(line + u"-ours"_s));
    QFile::link(line + u"-ours"_s, m_desk->filePath(u"wine/dosdevices/com3"_s));
    const auto stop = qScopeGuard([&] {
        socat.terminate();
        socat.waitForFinished();
    });

    QSerialPort other(m_desk->filePath(u"wine/dosdevices/com3"_s)); // another program has the port
    QVERIFY(other.open(QIODevice::ReadWrite));
    test::writeFile(u"sct.txt"_s, "wintype=1\r\nnodspport=3\r\ndialurl=\r\n");
    Form1 busy(test::formServices(m_desk->winePrefix(), &m_desk->launcher(), &m_notifier, &m_dialler, true));
    const Result<> loaded = busy.Form_Load();
    QVERIFY(!loaded);
    QVERIFY2(loaded.error().contains(u"COM3"_s), qPrintable(loaded.error()));
    QVERIFY(m_notifier.messages.isEmpty());

    other.close(); // free again: the bridge starts
    Form1 form(test::formServices(m_desk->winePrefix(), &m_desk->launcher(), &m_notifier, &m_dialler, true));
    QVERIFY_RESULT(form.Form_Load());
    QVERIFY(form.MSComm2->portOpen());
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
