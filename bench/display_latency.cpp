// From the start of vfddisp to the last byte of its text on the line, over 100 starts, for each serial
// command set (a socat pty pair: no wire time; what 9600 baud adds is printed beside it), and for the
// on-screen display from the start to the window showing the text (the long-lived process already
// running). Usage: display_latency [--no-screen]
#include "display/polelines.h"
#include "support/ptypair.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kStarts = 100;

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

pid_t spawn(const QByteArray& program, const QByteArray& argument)
{
    pid_t pid = -1;
    QByteArray copy = argument;
    char* argv[] = {const_cast<char*>(program.constData()), copy.data(), nullptr};
    posix_spawn(&pid, program.constData(), nullptr, nullptr, argv, environ);
    return pid;
}

void report(const char* what, QList<double> delays, const char* extra = "")
{
    std::sort(delays.begin(), delays.end());
    if (delays.size() < kStarts) {
        std::printf("%s: only %lld of %d\n", what, qlonglong(delays.size()), kStarts);
        return;
    }
    std::printf("%s: p50 %.1f ms, p99 %.1f ms, max %.1f ms%s\n", what, delays[kStarts / 2],
                delays[kStarts * 99 / 100], delays.last(), extra);
}

QString shown(const QString& socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(1000))
        return {};
    socket.write("?\n");
    while (!socket.canReadLine() && socket.waitForReadyRead(1000)) {
    }
    return QString::fromUtf8(socket.readLine());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray program = QFile::encodeName(orvane::test::builtProgram(QStringLiteral("vfddisp")));
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const QString config = dir.filePath(QStringLiteral("config/orvane/vfddisp.conf"));

    orvane::test::PtyPair line(dir.path());
    if (!line.start())
        return 1;
    QSerialPort display(line.theirs());
    if (!display.open(QIODevice::ReadOnly))
        return 1;
    // A pty drops what its other end has not read at its last close: vfddisp's end stays open here.
    const int heldOpen = ::open(QFile::encodeName(line.ours()).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    for (const auto& [type, set] : {std::pair{"escpos", orvane::display::DisplayType::EscPos},
                                    std::pair{"cd5220", orvane::display::DisplayType::Cd5220}}) {
        orvane::test::writeFile(config, QByteArray("type=") + type +
                                            "\nport=" + QFile::encodeName(line.ours()) + "\n");
        QList<double> delays;
        qsizetype bytes = 0;
        for (int i = 0; i < kStarts; ++i) {
            const QByteArray text = "Total " + QByteArray::number(i);
            bytes = orvane::display::poleCommands(set, orvane::display::poleLines(text)).size();
            const double start = nowMs();
            const pid_t pid = spawn(program, text);
            qsizetype got = 0;
            while (got < bytes && display.waitForReadyRead(2000))
                got += display.readAll().size();
            delays.append(nowMs() - start);
            waitpid(pid, nullptr, 0);
        }
        const QByteArray wire = QStringLiteral(" (+%1 ms on a 9600 baud line for its %2 bytes)")
                                    .arg(double(bytes) * 10 * 1000 / 9600, 0, 'f', 1)
                                    .arg(bytes)
                                    .toUtf8();
        const QByteArray what = QByteArray("vfddisp, ") + type + ", start -> last byte on the line";
        report(what.constData(), delays, wire.constData());
    }
    ::close(heldOpen);
    line.stop();

    if (app.arguments().contains(QStringLiteral("--no-screen")) || qEnvironmentVariableIsEmpty("DISPLAY"))
        return 0;
    orvane::test::writeFile(config, "type=screen\ngeometry=600x120+0+0\n");
    const QString socket = dir.filePath(QStringLiteral("orvane/vfddisp.sock"));
    waitpid(spawn(program, "warm up"), nullptr, 0);
    QList<double> delays;
    for (int i = 0; i < kStarts; ++i) {
        const QByteArray text = "Total " + QByteArray::number(i);
        const double start = nowMs();
        const pid_t pid = spawn(program, text);
        while (!shown(socket).startsWith(QString::fromLatin1(text + ' ')) && nowMs() - start < 2000) {
        }
        delays.append(nowMs() - start);
        waitpid(pid, nullptr, 0);
    }
    report("vfddisp, screen, start -> the window shows the text", delays);
    QProcess::execute(orvane::test::builtProgram(QStringLiteral("orvane-display")),
                      {QStringLiteral("--quit")});
    return 0;
}
