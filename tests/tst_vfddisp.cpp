#include "channel/commandprocessor.h"
#include "channel/cookiefoldersource.h"
#include "display/displayfault.h"
#include "display/displayserver.h"
#include "display/displaytext.h"
#include "support/desk.h"
#include "support/poledisplayemulator.h"
#include "support/ptypair.h"
#include "support/testsupport.h"
#include "support/virtualscreen.h"
#include "text/ansicodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace orvane;

extern char** environ;

namespace {

// A started display program: its process, and where its standard error goes.
struct Started
{
    pid_t pid = -1;
    int error = -1;
};

Started start(const QByteArray& argument, bool withArgument = true)
{
    Started started;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return started;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    const QByteArray program = QFile::encodeName(test::builtProgram(u"vfddisp"_s));
    QByteArray copy = argument;
    char* argv[] = {const_cast<char*>(program.constData()), withArgument ? copy.data() : nullptr, nullptr};
    if (posix_spawn(&started.pid, program.constData(), &actions, nullptr, argv, environ) != 0)
        started.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    started.error = pipeFds[0];
    return started;
}

// Waits for it: the exit status and what it wrote on standard error.
std::pair<int, QString> finish(const Started& started)
{
    QByteArray error;
    char buffer[512];
    for (ssize_t n; (n = ::read(started.error, buffer, sizeof buffer)) > 0;)
        error.append(buffer, n);
    ::close(started.error);
    int status = 0;
    ::waitpid(started.pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, QString::fromLocal8Bit(error)};
}

} // namespace

// The display program on an emulated pole display at the other end of a pty pair.
class TestVfddisp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsWhatTheCustomerReads_data();
    void showsWhatTheCustomerReads();
    void leavesTheLineAtItsSettings();
    void endsOnTheLastTextStarted();
    void failsWithinItsBound_data();
    void failsWithinItsBound();
    void carriesACookieCommandToTheDisplay();
    void showsTheTextOnTheScreen();
    void handsTheTextToLcdd();

private:
    void configure(const QByteArray& settings);
    // Feeds what reached the display so far to the emulator.
    void readDisplay();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::PtyPair> m_line;
    std::unique_ptr<QSerialPort> m_display;
    std::unique_ptr<test::PoleDisplayEmulator> m_emulator;
    QByteArray m_savedConfig, m_savedRuntime, m_savedState;
    int m_heldOpen = -1;
};

void TestVfddisp::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_savedConfig = qgetenv("XDG_CONFIG_HOME");
    m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    m_savedState = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir->filePath(u"config"_s)));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir->filePath(u"state"_s)));
    m_line = std::make_unique<test::PtyPair>(m_dir->path());
    QVERIFY(m_line->start());
    m_display = std::make_unique<QSerialPort>(m_line->theirs());
    QVERIFY(m_display->open(QIODevice::ReadOnly));
    // A pty drops what its other end has not read yet at its last close, which a real line does not:
    // the end vfddisp opens stays open here.
    m_heldOpen = ::open(QFile::encodeName(m_line->ours()).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    QVERIFY(m_heldOpen >= 0);
}

void TestVfddisp::cleanup()
{
    ::close(m_heldOpen);
    m_display.reset();
    m_line.reset();
    qputenv("XDG_CONFIG_HOME", m_savedConfig);
    qputenv("XDG_RUNTIME_DIR", m_savedRuntime);
    qputenv("XDG_STATE_HOME", m_savedState);
}

void TestVfddisp::configure(const QByteArray& settings)
{
    QVERIFY(test::writeFile(m_dir->filePath(u"config/orvane/vfddisp.conf"_s), settings));
    const display::DisplayType set =
        settings.contains("type=cd5220") ? display::DisplayType::Cd5220 : display::DisplayType::EscPos;
    m_emulator = std::make_unique<test::PoleDisplayEmulator>(set);
}

void TestVfddisp::readDisplay()
{
    m_display->waitForReadyRead(50);
    m_emulator->feed(m_display->readAll());
}

void TestVfddisp::showsWhatTheCustomerReads_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    const QString total = display::totalText(u"12345"_s);
    for (const QByteArray type : {"escpos", "cd5220"}) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s: %s", type.constData(), name) << type;
        };
        row("a total") << total << u"ｾﾞｲｺﾐｺﾞｳｹｲｷﾝｶﾞｸ     "_s << u"             ¥12,345"_s;
        row("the welcome on the upper line")
            << display::welcomeText() << u"Welcome             "_s << QString(20, u' ');
        row("a kanji is a question mark, a long text cut at 40")
            << u"山田様 abcdefghijklmnopqrstuvwxyz0123456789"_s << u"??? abcdefghijklmnop"_s
            << u"qrstuvwxyz0123456789"_s;
        row("an empty text clears the display") << QString() << QString(20, u' ') << QString(20, u' ');
        row("UTF-8 typed in a terminal")
            << u"utf8:ﾃｽﾄ ¥1"_s << u"ﾃｽﾄ ¥1"_s.leftJustified(20) << QString(20, u' ');
    }
}

void TestVfddisp::showsWhatTheCustomerReads()
{
    QFETCH(QByteArray, type);
    QFETCH(QString, text);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    configure("type=" + type + "\nport=" + QFile::encodeName(m_line->ours()) + "\n");
    QCOMPARE(finish(start(text::encodeAnsi(u"something before, and more than twenty"_s))).first, 0);
    const QByteArray argument = text.startsWith(u"utf8:") ? text.mid(5).toUtf8() : text::encodeAnsi(text);
    const auto [status, error] = finish(start(argument));
    QVERIFY2(status == 0, qPrintable(error));
    // The line may hand the two texts over in pieces.
    QTRY_COMPARE((readDisplay(), m_emulator->upper()), upper);
    QCOMPARE(m_emulator->lower(), lower);
}

void TestVfddisp::leavesTheLineAtItsSettings()
{
    // After the text the port keeps the display's settings, so that its last byte went out at them.
    configure("type=escpos\nspeed=19200\nstopbits=2\nport=" + QFile::encodeName(m_line->ours()) + "\n");
    termios before{};
    QCOMPARE(::tcgetattr(m_heldOpen, &before), 0);
    QVERIFY(cfgetospeed(&before) != B19200 && !(before.c_cflag & CSTOPB));
    const auto [status, error] = finish(start("Total"));
    QVERIFY2(status == 0, qPrintable(error));
    termios after{};
    QCOMPARE(::tcgetattr(m_heldOpen, &after), 0);
    QCOMPARE(cfgetospeed(&after), speed_t(B19200));
    QVERIFY(after.c_cflag & CSTOPB);
    QTRY_COMPARE((readDisplay(), m_emulator->upper()), u"Total"_s.leftJustified(20));
}

void TestVfddisp::endsOnTheLastTextStarted()
{
    configure("type=escpos\nport=" + QFile::encodeName(m_line->ours()) + "\n");
    // A burst of ten, as a page's quickest clicks make: each one waits for the port within its bound
    // (twenty at once on a loaded two-core machine could outlast it).
    QList<Started> burst;
    for (int i = 0; i < 10; ++i)
        burst.append(start("text " + QByteArray::number(i)));
    for (const Started& started : burst)
        QCOMPARE(finish(started).first, 0);
    QTRY_COMPARE((readDisplay(), m_emulator->upper()), u"text 9"_s.leftJustified(20));
}

void TestVfddisp::failsWithinItsBound_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("reason"); // the status the bridge makes of the exit status and the line
    QTest::newRow("no argument") << u"usage"_s << u"usage: vfddisp TEXT"_s << QString();
    QTest::newRow("no configuration: names the file to create")
        << u"unconfigured"_s << u"config/orvane/vfddisp.conf"_s << u"no-config"_s;
    QTest::newRow("a bad value: names key and value") << u"bad value"_s << u"parity=mark"_s << u"no-config"_s;
    QTest::newRow("a missing device") << u"missing"_s << u"no such device"_s << u"no-device"_s;
    QTest::newRow("a port another program holds")
        << u"held"_s << u"held by another program"_s << u"port-held"_s;
    QTest::newRow("a display that does not read")
        << u"stalled"_s << u"does not take the text"_s << u"not-taking-text"_s;
    QTest::newRow("an on-screen display without an X server: says why at once")
        << u"no screen"_s << u"orvane-display ended at its start: qt.qpa.xcb: could not connect to display"_s
        << u"not-taking-text"_s;
}

void TestVfddisp::failsWithinItsBound()
{
    QFETCH(QString, fault);
    QFETCH(QString, said);
    QFETCH(QString, reason);
    QByteArray port = QFile::encodeName(m_line->ours());
    if (fault == u"missing")
        port = QFile::encodeName(m_dir->filePath(u"gone"_s));
    if (fault == u"no screen")
        configure("type=screen\n");
    else if (fault != u"unconfigured")
        configure("type=escpos\nport=" + port + (fault == u"bad value" ? "\nparity=mark\n" : "\n"));
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), screen = qgetenv("DISPLAY");
    const auto restore = qScopeGuard([&] {
        qputenv("QT_QPA_PLATFORM", platform);
        if (!screen.isEmpty())
            qputenv("DISPLAY", screen);
    });
    if (fault == u"no screen") {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qunsetenv("DISPLAY");
    }
    int held = -1;
    if (fault == u"held") {
        held = ::open(port.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QCOMPARE(::flock(held, LOCK_EX), 0);
    }
    // A display that stopped reading: nothing takes the bytes off the line, whose buffer is full (kept
    // open here: the line's last close would drop what it holds).
    int filled = -1;
    if (fault == u"stalled") {
        QCOMPARE(::kill(pid_t(m_line->processId()), SIGSTOP), 0);
        filled = ::open(port.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        while (::write(filled, "x", 1) == 1) {
        }
    }
    QElapsedTimer clock;
    clock.start();
    const auto [status, error] = finish(start("Total", fault != u"usage"));
    const qint64 took = clock.elapsed();
    if (filled >= 0) {
        ::close(filled);
        ::kill(pid_t(m_line->processId()), SIGCONT);
    }
    if (held >= 0)
        ::close(held);
    if (fault == u"usage")
        QCOMPARE(status, 2);
    else
        QCOMPARE(display::displayStatus(status, error.trimmed()).reason, reason);
    QVERIFY2(error.contains(said), qPrintable(error));
    QCOMPARE(error.count(u'\n'), fault == u"usage" ? 3 : 1);
    QVERIFY2(took < 4000,
             qPrintable(QString::number(took))); // its own bound is 2 s from its start; never a hang
}

void TestVfddisp::carriesACookieCommandToTheDisplay()
{
    configure("type=cd5220\nport=" + QFile::encodeName(m_line->ours()) + "\n");
    test::Desk desk;
    desk.removeDisplayProgram();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(QFileInfo(test::builtProgram(u"vfddisp"_s)).path()) + ':' + path);
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
    CookieFolderSource source(cookieFolder(u"1"_s, u"alice"_s), WindowsPathMapper(desk.winePrefix()));
    CookieLines lines;
    const Settings settings;
    // How each display program ended reaches the bridge without its waiting for it.
    CommandHandlers handlers;
    DeviceStatus shown;
    handlers.displayEnded = [&](int exitStatus, const QString& line) {
        shown = display::displayStatus(exitStatus, line);
    };
    connect(&source, &CommandSource::commandArrived, [&](const std::optional<QString>& text) {
        ProcessCommandFile(text, lines, settings, desk.launcher(), handlers);
    });
    QVERIFY_RESULT(source.start());
    desk.writeCookie("uketsuke\nTotal12345\nclinic.example/\n", 1);
    QTRY_COMPARE((readDisplay(), m_emulator->lower()), u"             ¥12,345"_s);
    QCOMPARE(m_emulator->upper(), u"ｾﾞｲｺﾐｺﾞｳｹｲｷﾝｶﾞｸ     "_s);
    QTRY_COMPARE(shown.state, DeviceState::Ok);
    // The display unplugged: the next text says so, naming the port.
    configure("type=cd5220\nport=" + QFile::encodeName(m_dir->filePath(u"gone"_s)) + "\n");
    desk.writeCookie("uketsuke\nTotal1\nclinic.example/\n", 3);
    QTRY_COMPARE(shown.reason, u"no-device"_s);
    QVERIFY2(shown.text.contains(m_dir->filePath(u"gone"_s)), qPrintable(shown.text));
}

namespace {

// What the long-lived display process shows, asked on its socket.
QString shownByDisplayProcess(const QString& runtime)
{
    QLocalSocket socket;
    socket.connectToServer(runtime + u"/orvane/vfddisp.sock"_s);
    if (!socket.waitForConnected(1000))
        return u"(no display process)"_s;
    socket.write("?\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(1000)) {
    }
    QString line = QString::fromUtf8(socket.readLine());
    line.chop(1); // its LF
    return line;
}

QStringList run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

// Ends the display process the test's texts started, asking it over its socket.
void endDisplayProcess()
{
    run(test::builtProgram(u"orvane-display"_s), {u"--quit"_s});
}

// LCDd in the foreground with a terminal of its own (its text driver prints its frames only to a
// terminal); the test reads the terminal and ends LCDd by its process id.
class Lcdd
{
public:
    explicit Lcdd(QByteArray conf) : m_conf(std::move(conf)) {}
    ~Lcdd() { stop(); }
    Lcdd(const Lcdd&) = delete;
    Lcdd& operator=(const Lcdd&) = delete;

    bool start()
    {
        m_terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_terminal < 0 || ::grantpt(m_terminal) != 0 || ::unlockpt(m_terminal) != 0)
            return false;
        ::fcntl(m_terminal, F_SETFL, O_NONBLOCK);
        const QByteArray terminal = ::ptsname(m_terminal);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
            posix_spawn_file_actions_addopen(&actions, fd, terminal.constData(), O_RDWR, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        const QByteArray program = "/usr/sbin/LCDd";
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>("-f"),
                        const_cast<char*>("-c"), m_conf.data(), nullptr};
        const bool started =
            posix_spawn(&m_pid, program.constData(), &actions, &attributes, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        return started;
    }
    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        if (m_terminal >= 0)
            ::close(m_terminal);
        m_terminal = -1;
        m_frames.clear();
    }
    // The two lines of the last frame drawn, as the customer reads them.
    QString lastFrame()
    {
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_terminal, buffer, sizeof buffer)) > 0;)
            m_frames.append(buffer, n);
        QStringList shown;
        for (const QByteArray& line : m_frames.split('\n'))
            if (line.startsWith('|'))
                shown.append(display::DisplayServer::readable(line.mid(1, 20)));
        return shown.mid(qMax<qsizetype>(0, shown.size() - 2)).join(u'|');
    }

private:
    QByteArray m_conf;
    pid_t m_pid = -1;
    int m_terminal = -1;
    QByteArray m_frames;
};

// LCDd's drivers: where Debian's lcdproc puts them for this machine's architecture.
QString lcdDriverPath()
{
    const QDir lib(u"/usr/lib"_s);
    for (const QString& entry : lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFile::exists(lib.filePath(entry + u"/lcdproc/text.so"_s)))
            return lib.filePath(entry + u"/lcdproc/"_s);
    return {};
}

} // namespace

void TestVfddisp::showsTheTextOnTheScreen()
{
    const test::VirtualScreen screen(u"800x600x24"_s);
    QVERIFY2(!screen.display().isEmpty(), "Xvfb is not installed or did not start");
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    const QByteArray savedPlatform = qgetenv("QT_QPA_PLATFORM");
    qputenv("DISPLAY", screen.display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb"); // the window on the X server, not offscreen as the suites run
    const auto restore = qScopeGuard([&] {
        endDisplayProcess();
        qputenv("DISPLAY", savedDisplay);
        qputenv("QT_QPA_PLATFORM", savedPlatform);
    });
    configure("type=screen\ngeometry=600x120+100+400\n");
    const QStringList windows = {u"search"_s, u"--name"_s, u"Orvane customer display"_s};

    QCOMPARE(finish(start(text::encodeAnsi(display::totalText(u"12345"_s)))).first, 0);
    QCOMPARE(shownByDisplayProcess(m_dir->path()), u"ｾﾞｲｺﾐｺﾞｳｹｲｷﾝｶﾞｸ     |             ¥12,345"_s);
    // A second start hands its text to the same window.
    QCOMPARE(finish(start(text::encodeAnsi(display::welcomeText()))).first, 0);
    QCOMPARE(shownByDisplayProcess(m_dir->path()), u"Welcome             |                    "_s);
    QTRY_COMPARE(run(u"xdotool"_s, windows).size(), 1);

    // A killed window comes back with the next text.
    const QStringList pid = run(u"xdotool"_s, windows + QStringList{u"getwindowpid"_s});
    QCOMPARE(pid.size(), 1);
    QCOMPARE(::kill(pid_t(pid.first().toInt()), SIGKILL), 0);
    QTRY_COMPARE(run(u"xdotool"_s, windows).size(), 0);
    QCOMPARE(finish(start("back")).first, 0);
    QCOMPARE(shownByDisplayProcess(m_dir->path()), u"back                |                    "_s);
    QTRY_COMPARE(run(u"xdotool"_s, windows).size(), 1);
}

void TestVfddisp::handsTheTextToLcdd()
{
    if (QStandardPaths::findExecutable(u"LCDd"_s, {u"/usr/sbin"_s}).isEmpty())
        QSKIP("LCDd (Debian's lcdproc) is not installed");
    const QString drivers = lcdDriverPath();
    QVERIFY2(!drivers.isEmpty(), "LCDd's text driver (lcdproc/text.so) is not under /usr/lib/<architecture>");
    QTcpServer probe; // a free port for LCDd
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QByteArray port = QByteArray::number(probe.serverPort());
    probe.close();
    const QString conf = m_dir->filePath(u"LCDd.conf"_s);
    QVERIFY(test::writeFile(
        conf, "[server]\nDriverPath=" + QFile::encodeName(drivers) + "\nDriver=text\nBind=127.0.0.1\nPort=" +
                  port + "\nReportToSyslog=no\nServerScreen=no\nWaitTime=5\n[text]\nSize=20x2\n"));
    Lcdd lcdd(QFile::encodeName(conf));
    const auto stop = qScopeGuard([&] { endDisplayProcess(); });
    configure("type=lcdproc\nserver=127.0.0.1:" + port + "\n");
    const QByteArray text = text::encodeAnsi(u"ｶﾅ {\"} \\12,345"_s);
    const QString expected = u"ｶﾅ {\"} ¥12,345"_s.leftJustified(20) + u'|' + QString(20, u' ');
    // No LCDd yet: the text is kept, and the display program says LCDd cannot be reached.
    const auto [status, said] = finish(start(text));
    QCOMPARE(status, int(display::DisplayFault::LcddUnreachable));
    QVERIFY2(said.contains(u"LCDd at 127.0.0.1:"_s + QString::fromLatin1(port)), qPrintable(said));
    QCOMPARE(display::displayStatus(status, said).reason, u"lcdd-unreachable"_s);

    QVERIFY(lcdd.start());
    QTRY_COMPARE_WITH_TIMEOUT(lcdd.lastFrame(), expected, 10000);
    QCOMPARE(finish(start(text)).first, 0);

    // LCDd stops and starts again: the texts of that time say so, the client comes back and shows the
    // last text again, and the display process's log has both.
    lcdd.stop();
    QTRY_COMPARE(finish(start(text)).first, int(display::DisplayFault::LcddUnreachable));
    QVERIFY(lcdd.start());
    QTRY_COMPARE_WITH_TIMEOUT(lcdd.lastFrame(), expected, 10000);
    QTRY_COMPARE(finish(start(text)).first, 0);
    const QByteArray log = test::readFile(m_dir->filePath(u"state/orvane/orvane-display.log"_s));
    // Once each time LCDd went (at the start, and when it stopped) and each time it came back.
    QCOMPARE(log.count("cannot be reached"), 2);
    QCOMPARE(log.count("shows the customer display again"), 2);
}

QTEST_GUILESS_MAIN(TestVfddisp)
#include "tst_vfddisp.moc"
