// vfddisp TEXT: shows TEXT (CP932 bytes, as the bridge hands it) on the desk's customer display, as
// vfddisp.conf says: a serial pole display (ESC/POS or CD5220 commands), the on-screen customer display
// or LCDd (both through the long-lived orvane-display process, started here when it is not running).
// The GUI libraries are not loaded here: a serial text costs a few milliseconds.
#include "display/displayconfig.h"
#include "display/displayhandover.h"
#include "display/polelines.h"
#include "display/serialdisplay.h"
#include "display/startstamp.h"
#include "platform/localsocket.h"
#include "platform/runtimefolder.h"
#include "text/ansicodec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "display/displayfault.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace orvane;

namespace {

constexpr int kLockMs = 1000;
constexpr int kFaultMs = 2000;

// Says the fault on standard error (the bridge shows its last line) and gives its exit status.
int failWith(const QString& message, display::DisplayFault fault = display::DisplayFault::NotTakingText)
{
    std::fprintf(stderr, "vfddisp: %s\n", message.toLocal8Bit().constData());
    return int(fault);
}

// True once a process (not a child of this one) has ended: gone, or a zombie its parent has not reaped.
bool hasEnded(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return errno == ESRCH;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readLine();
    const qsizetype end = line.lastIndexOf(')'); // after the program's name, which may hold anything
    return end >= 0 && line.mid(end + 2, 1) == "Z";
}

// The first line a program wrote to its log from the given offset on.
QString firstLineFrom(const QString& path, qint64 offset)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return QStringLiteral("nothing said");
    while (!file.atEnd())
        if (const QByteArray line = file.readLine().trimmed(); !line.isEmpty())
            return QString::fromLocal8Bit(line);
    return QStringLiteral("nothing said");
}

// Hands the text to the display process, starting it first where nobody listens.
int handOver(const QString& runtime, const QString& configPath, const display::StartStamp& stamp,
             const QByteArray& text, QDeadlineTimer deadline)
{
    const QString socket = QDir(runtime).filePath(QStringLiteral("vfddisp.sock"));
    Result<int> fd = connectLocalSocket(socket);
    if (!fd) {
        QString program =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvane-display"));
        if (!QFileInfo(program).isExecutable())
            program = QStandardPaths::findExecutable(QStringLiteral("orvane-display"));
        // Its own process, holding none of this one's standard streams (a caller waiting for them to
        // close would wait for the display process); what it has to say goes to a log beside its socket.
        const QString log = QDir(runtime).filePath(QStringLiteral("orvane-display.log"));
        const qint64 logSize = QFileInfo(log).size();
        QProcess daemon;
        daemon.setProgram(program);
        daemon.setArguments({QStringLiteral("--config"), configPath});
        daemon.setStandardInputFile(QProcess::nullDevice());
        daemon.setStandardOutputFile(QProcess::nullDevice());
        daemon.setStandardErrorFile(log, QIODevice::Append);
        qint64 pid = 0;
        if (program.isEmpty() || !daemon.startDetached(&pid))
            return failWith(QStringLiteral("cannot start orvane-display for the customer display"));
        // A display process starting on a busy desk (the first text after login, a window on the X
        // server) may take a few hundred milliseconds: it is waited for within the program's bound,
        // unless it has ended (no X server, LCDd's address not valid): then what it said is said here.
        while (!(fd = connectLocalSocket(socket)) && !deadline.hasExpired()) {
            if (pid > 0 && hasEnded(pid_t(pid)))
                return failWith(QStringLiteral("orvane-display ended at its start: %1 (%2)")
                                    .arg(firstLineFrom(log, logSize), log));
            QThread::msleep(2);
        }
        if (!fd)
            return failWith(QStringLiteral("orvane-display did not open %1: %2").arg(socket, fd.error()));
    }
    const Result<QByteArray> answer = orvane::writeAll(*fd, display::handoverLine(stamp, text)).and_then([&] {
        return readLineWithin(*fd, int(qMax<qint64>(1, deadline.remainingTime())), 4096);
    });
    ::close(*fd);
    if (!answer)
        return failWith(
            QStringLiteral("%1: the display process did not take the text: %2").arg(socket, answer.error()));
    const QString fault = display::faultOfAnswer(*answer);
    return fault.isEmpty() ? 0 : failWith(fault, display::DisplayFault::LcddUnreachable);
}

} // namespace

int main(int argc, char** argv)
{
    const QDeadlineTimer lockDeadline(kLockMs);
    const QDeadlineTimer faultDeadline(kFaultMs);
    const bool help = argc == 2 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0);
    if (argc != 2 || help) {
        std::fprintf(help ? stdout : stderr,
                     "usage: vfddisp TEXT\n"
                     "  Shows TEXT (40 characters: 20 on the upper line, 20 on the lower; empty: clear)\n"
                     "  on the customer display that vfddisp.conf describes.\n");
        return help ? 0 : 2;
    }
    // The bridge hands CP932 bytes; a terminal hands UTF-8: read as the bridge reads every incoming text
    // (UTF-8 where the bytes are valid UTF-8, else CP932), then shown in the display's code page.
    const QByteArray text = orvane::text::encodeAnsi(orvane::text::decodeIncoming(QByteArray(argv[1])));
    QCoreApplication app(argc, argv);
    const display::StartStamp stamp = display::ownStartStamp().value_or(display::StartStamp{0, getpid()});

    QString configPath;
    for (const QString& candidate : display::displayConfigCandidates())
        if (QFileInfo(candidate).isFile()) {
            configPath = candidate;
            break;
        }
    if (configPath.isEmpty())
        return failWith(
            QStringLiteral("no customer display is set up: create %1 (see the README, \"The customer "
                           "display\")")
                .arg(display::displayConfigCandidates().first()),
            display::DisplayFault::NoConfig);
    const Result<display::DisplayConfig> config = display::readDisplayConfig(configPath);
    if (!config)
        return failWith(config.error(), display::DisplayFault::NoConfig);
    const Result<QString> runtime = userRuntimeFolder(CreateFolder::Yes);
    if (!runtime)
        return failWith(runtime.error());

    if (!config->isSerial())
        return handOver(*runtime, configPath, stamp, text, faultDeadline);

    const QString device = display::serialDevice(config->port, WindowsPathMapper::fromEnvironment());
    QString key = QFileInfo(device).canonicalFilePath();
    if (key.isEmpty())
        key = device;
    const QString stampFile =
        QDir(*runtime).filePath(u"vfddisp" + QString(key).replace(u'/', u'_') + u".shown");
    const Result<> shown = display::showOnSerialDisplay(
        *config, device, display::poleCommands(config->type, display::poleLines(text)), stamp, stampFile,
        lockDeadline, faultDeadline);
    if (shown)
        return 0;
    // Gone, taken by another program, or there and not reading.
    if (!QFileInfo::exists(device))
        return failWith(shown.error(), display::DisplayFault::NoDevice);
    return failWith(shown.error(), shown.error().endsWith(u"does not take the text")
                                       ? display::DisplayFault::NotTakingText
                                       : display::DisplayFault::PortHeld);
}
