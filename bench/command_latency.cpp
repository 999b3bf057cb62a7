// The delay from a command file appearing in the cookie folder to the display program's start, over 100
// commands, with Timer1 ticking every 100 ms as in the bridge. Each command file is written aside and
// moved in (as orvane-send writes them), its time a second after the one before, so that each is newer
// than the last; "started" is when the launcher has started the stand-in display program (fork and
// exec done). Usage: command_latency [--tick-only]  (--tick-only: no notification, the tick alone)
#include "base/settings.h"
#include "channel/commandprocessor.h"
#include "channel/cookiefoldersource.h"
#include "support/testsupport.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

constexpr int kCommands = 100;

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

class TimingLauncher final : public orvane::ProgramLauncher
{
public:
    explicit TimingLauncher(orvane::WindowsPathMapper mapper) : m_launcher(std::move(mapper)) {}
    orvane::Result<> startCommandLine(const QString& line, orvane::WindowStyle style) override
    {
        orvane::Result<> started = m_launcher.startCommandLine(line, style);
        delays.append(nowMs() - writtenAt);
        return started;
    }
    orvane::Result<> startProgram(const QString&, const QStringList&) override { return {}; }
    double writtenAt = 0;
    QList<double> delays;

private:
    orvane::ProcessLauncher m_launcher;
};

double percentile(QList<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min<qsizetype>(values.size() - 1, qsizetype(p * double(values.size())))];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool tickOnly = app.arguments().contains(QStringLiteral("--tick-only"));
    QTemporaryDir dir;
    const orvane::WindowsPathMapper mapper(dir.filePath(QStringLiteral("wine")));
    QDir().mkpath(dir.filePath(QStringLiteral("wine/drive_c")));
    const orvane::CookieFolder folder = orvane::cookieFolder(QStringLiteral("1"), QStringLiteral("alice"));
    const QString cookies = *mapper.toNative(folder.windowsPath);
    QDir().mkpath(cookies);
    const QString bin = dir.filePath(QStringLiteral("bin"));
    orvane::test::writeRecordingProgram(bin, QStringLiteral("vfddisp"), dir.filePath(QStringLiteral("log")));
    qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));

    orvane::CookieFolderSource source(folder, mapper);
    TimingLauncher launcher(mapper);
    orvane::CookieLines lines;
    const orvane::Settings settings;
    const orvane::CommandHandlers handlers;
    QObject::connect(&source, &orvane::CommandSource::commandArrived,
                     [&](const std::optional<QString>& text) {
                         orvane::ProcessCommandFile(text, lines, settings, launcher, handlers);
                     });
    if (!source.start())
        return 1;
    if (tickOnly) // the notifications are read, and nothing done with them: only the tick acts
        for (QSocketNotifier* notifier : source.findChildren<QSocketNotifier*>())
            notifier->setEnabled(false);
    QTimer timer1;
    timer1.setInterval(100);
    QObject::connect(&timer1, &QTimer::timeout, &source, &orvane::CookieFolderSource::tick);
    timer1.start();

    const qint64 base = QDateTime::currentSecsSinceEpoch();
    int sent = 0;
    QTimer writer;
    writer.setSingleShot(true);
    QObject::connect(&writer, &QTimer::timeout, [&] {
        if (launcher.delays.size() < sent) { // the last one not carried out yet
            writer.start(10);
            return;
        }
        if (sent == kCommands) {
            app.quit();
            return;
        }
        const QString name = QStringLiteral("alice@clinic[%1].txt").arg(sent);
        const QString aside = dir.filePath(name);
        orvane::test::writeFile(aside, "x\nTotal" + QByteArray::number(sent) + "\nclinic/\n");
        orvane::test::setModified(aside, QDateTime::fromSecsSinceEpoch(base + 1 + sent));
        launcher.writtenAt = nowMs();
        QFile::rename(aside, QDir(cookies).filePath(name));
        ++sent;
        // The next one anywhere between two ticks.
        writer.start(50 + int(QRandomGenerator::global()->bounded(100)));
    });
    writer.start(200);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    app.exec();
    if (launcher.delays.size() < kCommands) {
        std::printf("only %lld of %d commands carried out\n", qlonglong(launcher.delays.size()), kCommands);
        return 1;
    }
    std::printf(
        "cookie folder%s, %d commands, file moved in -> display program started: p50 %.1f ms, p99 %.1f "
        "ms, max %.1f ms\n",
        tickOnly ? " (tick only)" : "", kCommands, percentile(launcher.delays, 0.5),
        percentile(launcher.delays, 0.99), percentile(launcher.delays, 1.0));
    return 0;
}
