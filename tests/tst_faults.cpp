#include "window/form1.h"
#include "platform/serialport.h"
#include "support/recordingsurface.h"
#include "support/formservices.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QSerialPort>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace orvane;

namespace {

// A printer that stops working after a number of operations, in the middle of a job.
class FailingPrinter final : public PrintSurface
{
public:
    explicit FailingPrinter(int workingOperations) : m_left(workingOperations) {}

    void setDocumentName(const QString& name) override { recording.setDocumentName(name); }
    bool setScaleMode(int mode) override { return step() && recording.setScaleMode(mode); }
    bool setOrientation(int orientation) override { return step() && recording.setOrientation(orientation); }
    bool setPaperSize(int paperSize) override { return step() && recording.setPaperSize(paperSize); }
    bool setFontName(const QString& name) override { return step() && recording.setFontName(name); }
    QString fontName() const override { return recording.fontName(); }
    bool setFontSize(double points) override { return step() && recording.setFontSize(points); }
    double fontSize() const override { return recording.fontSize(); }
    bool setCurrentX(float x) override { return step() && recording.setCurrentX(x); }
    bool setCurrentY(float y) override { return step() && recording.setCurrentY(y); }
    float currentX() const override { return recording.currentX(); }
    float currentY() const override { return recording.currentY(); }
    bool setDrawStyle(int style) override { return step() && recording.setDrawStyle(style); }
    bool setDrawWidth(int pixels) override { return step() && recording.setDrawWidth(pixels); }
    bool setFillStyle(int style) override { return step() && recording.setFillStyle(style); }
    bool print(const QString& text) override { return step() && recording.print(text); }
    bool line(float x1, float y1, float x2, float y2) override
    {
        return step() && recording.line(x1, y1, x2, y2);
    }
    bool box(float x1, float y1, float x2, float y2) override
    {
        return step() && recording.box(x1, y1, x2, y2);
    }
    std::optional<double> textWidth(const QString& text) override
    {
        return step() ? recording.textWidth(text) : std::nullopt;
    }
    bool newPage() override { return step() && recording.newPage(); }
    bool endDoc() override
    {
        ++jobsEnded;
        return recording.endDoc();
    }

    RecordingSurface recording;
    int jobsEnded = 0;

private:
    bool step() { return m_left-- > 0; }
    int m_left;
};

} // namespace

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

private:
    std::unique_ptr<Form1> startForm(const QByteArray& settings, std::unique_ptr<PrintSurface> printer = {});
    void sendCommand(const QByteArray& command, int secondsAhead = 0);

    std::unique_ptr<test::WorkingFolder> m_dir;
    QByteArray m_savedPath;
    QString m_cookies;
    QString m_displayLog;
    std::unique_ptr<ProcessLauncher> m_launcher;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
    int m_sent = 0;
};

void TestFaults::init()
{
    m_dir = std::make_unique<test::WorkingFolder>();
    m_cookies = m_dir->filePath(u"wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"_qs);
    QDir().mkpath(m_cookies);
    m_displayLog = m_dir->filePath(u"vfddisp.log"_qs);
    QDir().mkpath(m_dir->filePath(u"bin"_qs));
    test::writeRecordingProgram(m_dir->filePath(u"bin"_qs), u"vfddisp"_qs, m_displayLog);
    m_savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(u"bin"_qs)) + ':' + m_savedPath);
    m_launcher = std::make_unique<ProcessLauncher>(WindowsPathMapper(m_dir->filePath(u"wine"_qs)));
    m_notifier = {};
    m_dialler = {};
    m_sent = 0;
}

void TestFaults::cleanup()
{
    qputenv("PATH", m_savedPath);
    m_dir.reset();
}

std::unique_ptr<Form1> TestFaults::startForm(const QByteArray& settings,
                                             std::unique_ptr<PrintSurface> printer)
{
    test::writeFile(u"sct.txt"_qs, "wintype=1\r\n" + settings);
    FormServices services =
        test::formServices(m_dir->filePath(u"wine"_qs), m_launcher.get(), &m_notifier, &m_dialler, true);
    auto shared = std::make_shared<std::unique_ptr<PrintSurface>>(std::move(printer));
    services.makePrintSurface = [shared]() -> std::unique_ptr<PrintSurface> {
        if (*shared)
            return std::move(*shared);
        return std::make_unique<RecordingSurface>();
    };
    auto form = std::make_unique<Form1>(services);
    if (!form->Form_Load())
        qWarning() << form->loadError();
    return form;
}

void TestFaults::sendCommand(const QByteArray& command, int secondsAhead)
{
    // Each command a second later than the one before, as whole seconds tell commands apart.
    const QString path = QDir(m_cookies).filePath(u"alice@clinic[1].txt"_qs);
    test::writeFile(path, "site\n" + command + "\nclinic/\n1600\nline4\n");
    test::setModified(path, QDateTime::currentDateTime().addSecs(++m_sent + secondsAhead));
}

void TestFaults::survivesTheCookieFolderBeingRecreated()
{
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    sendCommand("wel");
    QTRY_COMPARE(test::readRecordedCalls(m_displayLog).size(), 1);
    QVERIFY(QDir(m_cookies).removeRecursively());
    QTest::qWait(300);
    QDir().mkpath(m_cookies);
    sendCommand("Total100");
    QTRY_COMPARE(test::readRecordedCalls(m_displayLog).size(), 2);
}

void TestFaults::goesOnWithoutTheDisplayProgram()
{
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    QFile::remove(m_dir->filePath(u"bin/vfddisp"_qs));
    sendCommand("Total100");
    QTest::qWait(300);
    sendCommand("tell0300000000");
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0300000000"_qs});
    QVERIFY(m_notifier.messages.isEmpty()); // the display program's absence is not the staff's concern
}

void TestFaults::finishesAStatementWhenThePrinterFails()
{
    auto printer = std::make_unique<FailingPrinter>(40);
    FailingPrinter* failing = printer.get();
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n", std::move(printer));
    sendCommand("prt9_a_2_x?A?1?100?100_x?B?1?200?200_300_0_300_0_1_x_0_0_y_0_2024-03-05_0");
    QTRY_VERIFY(QFile::exists(u"nikkei.txt"_qs));
    QCOMPARE(failing->jobsEnded, 1);
    QVERIFY(test::readFile(u"nikkei.txt"_qs).startsWith("9_a_2_"));
    QTRY_COMPARE(test::readRecordedCalls(m_displayLog).size(), 1); // the total still reaches the display

    sendCommand("rsh山田/100/8/1");
    QTRY_COMPARE(test::readFile(u"counter.txt"_qs), QByteArray(" 1\r\n"));
}

void TestFaults::reportsUnwritableFiles()
{
    QVERIFY(QDir().mkdir(u"counter.txt"_qs));
    QVERIFY(QDir().mkdir(u"nikkei.txt"_qs));
    const std::unique_ptr<Form1> form = startForm("dialurl=\r\n");
    sendCommand("rsh山田/100/8/1");
    QTRY_COMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"counter.txt"_qs));
    sendCommand("prt9_a_0_300_0_300_0_1_x_0_0_y_0_2024-03-05_0");
    QTRY_COMPARE(m_notifier.messages.size(), 2);
    QVERIFY(m_notifier.messages[1].text.contains(u"9_a_0_300_0_300_0_1_x_0_0_y_0_2024-03-05_0/line4"_qs));
    form->daystart_Click(); // a folder cannot be emptied as a file: reported, and the program goes on
    QCOMPARE(m_notifier.messages.size(), 3);
    sendCommand("tell0311");
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0311"_qs});
}

void TestFaults::keepsPollingAMisbehavingServer()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // refused at first
    const std::unique_ptr<Form1> form =
        startForm("dialurl=127.0.0.1\r\ndialport=" + QByteArray::number(port) + "\r\n");
    QTest::qWait(1200);

    enum class Behaviour { Hang, CloseEarly, Answer };
    Behaviour behaviour = Behaviour::Hang;
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, port));
    int requests = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            if (behaviour == Behaviour::CloseEarly) {
                peer->abort();
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
    QTRY_VERIFY_WITH_TIMEOUT(requests >= 2, 4000); // each tick gives up the hanging connection
    behaviour = Behaviour::CloseEarly;
    QTest::qWait(1200);
    behaviour = Behaviour::Answer;
    QTRY_COMPARE_WITH_TIMEOUT(m_dialler.numbers, QStringList{u"0300000000"_qs}, 4000);
    QVERIFY(m_notifier.messages.isEmpty());
}

void TestFaults::takesTheDeviceBackWhenItReturns()
{
    QDir().mkpath(m_dir->filePath(u"wine/dosdevices"_qs));
    const QString line = m_dir->filePath(u"line"_qs);
    const QStringList socatArguments{u"pty,raw,echo=0,link="_qs + line + u"-ours"_qs,
                                     u"pty,raw,echo=0,link="_qs + line};
    QProcess socat;
    socat.start(u"socat"_qs, socatArguments);
    QTRY_VERIFY(QFile::exists(line) && QFile::exists(line + u"-ours"_qs));
    QFile::link(line + u"-ours"_qs, m_dir->filePath(u"wine/dosdevices/com3"_qs));
    const std::unique_ptr<Form1> form = startForm("nodspport=3\r\ndialurl=\r\n");
    QVERIFY(form->MSComm2->portOpen());

    socat.terminate();
    socat.waitForFinished();
    QTRY_COMPARE(m_notifier.messages.size(), 1); // reported once, not once per failed read
    QCOMPARE(m_notifier.messages[0].title, u"通信エラー"_qs);
    QTest::qWait(300);
    QCOMPARE(m_notifier.messages.size(), 1);

    sendCommand("tell0322"); // the rest of the desk works meanwhile
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0322"_qs});

    socat.start(u"socat"_qs, socatArguments);
    QTRY_VERIFY(QFile::exists(line));
    QSerialPort peer(line);
    bool opened = false;
    for (int i = 0; i < 50 && !(opened = peer.open(QIODevice::ReadWrite)); ++i)
        QTest::qWait(100);
    QVERIFY2(opened, qPrintable(peer.errorString()));
    // The control reopens the port within a few seconds; text sent after that arrives.
    QTest::qWait(3500);
    peer.write("0123456789");
    QTRY_COMPARE_WITH_TIMEOUT(form->txtInputData->text(), u"0123456789"_qs, 5000);
    socat.terminate();
    socat.waitForFinished();
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
