#include "base/messagelog.h"
#include "channel/commandsources.h"
#include "channel/statussocket.h"
#include "platform/desktopnotifications.h"
#include "platform/dialler.h"
#include "platform/launcher.h"
#include "platform/serialportcontrol.h"
#include "platform/tcpclientcontrol.h"
#include "platform/username.h"
#include "print/fonts.h"
#include "print/qtprintsurface.h"
#include "window/form1.h"
#include "window/messageboxnotifier.h"

#include <QApplication>
#include <QDir>
#include <QJsonDocument>
#include <QLockFile>
#include <QMessageBox>

#include <cstdio>

namespace {

// Ends a start that cannot go on: the reason on standard error and, on a screen, in a message box.
int failStart(const QString& reason)
{
    const QString message = QStringLiteral("Orvane を起動できません。\n") + reason;
    qCritical().noquote() << message; // standard error and the log that lasts
    if (QGuiApplication::platformName() != u"offscreen")
        QMessageBox::critical(nullptr, QStringLiteral("Orvane"), message); // before the event loop runs
    return 1;
}

// orvane --status [--json]: asks the bridge running for the working folder ($ORVANE_HOME, else the
// current folder); never starts one. Exit status 0 all well, 1 a device has a problem, 3 no bridge.
int printStatus(bool json)
{
    const QString home = qEnvironmentVariable("ORVANE_HOME");
    const QString folder = home.isEmpty() ? QDir::currentPath() : home;
    const orvane::Result<QJsonObject> report =
        orvane::statusSocket(folder, orvane::CreateFolder::No).and_then(&orvane::askStatus);
    if (!report) {
        std::fprintf(stderr, "orvane: no bridge runs for %s (%s)\n", qPrintable(folder),
                     qPrintable(report.error()));
        return 3;
    }
    const QByteArray out = json ? QJsonDocument(*report).toJson(QJsonDocument::Compact) + '\n'
                                : orvane::statusText(*report).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return orvane::statusExitCode(*report);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: orvane\n"
            "       orvane --status [--json]\n"
            "  The Orvane reception bridge. Run it in the desk's working folder (sct.txt, counter.txt,\n"
            "  nikkei.txt; orvane-desk starts it in ~/Orvane). sct.txt sets it up.\n"
            "  --status asks the bridge running for the working folder ($ORVANE_HOME, else the current\n"
            "  folder) for each device's state, the unprinted pages and the day's counts; --json gives\n"
            "  them as one JSON object. Exit status 0: all well, 1: a device has a problem, 3: no bridge.\n"
            "  Warnings go to the journal or $XDG_STATE_HOME/orvane/orvane.log;\n"
            "  QT_LOGGING_RULES=\"orvane.*.debug=true\" shows more.\n");
        return 0;
    }
    if (argc > 1 && qstrcmp(argv[1], "--status") == 0)
        return printStatus(argc > 2 && qstrcmp(argv[2], "--json") == 0);
    orvane::installMessageLog(QStringLiteral("orvane"));
    // Without a screen the bridge still runs: on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // The printed forms are laid out for this typeface; IPAGothic matches its metrics.
    orvane::installFontSubstitutions();

    // orvane-desk names the desk's working folder: one that is missing at login is said on the screen,
    // with what to create, never a silent exit.
    if (const QString home = qEnvironmentVariable("ORVANE_HOME"); !home.isEmpty() && !QDir::setCurrent(home))
        return failStart(
            QStringLiteral("作業フォルダ %1 がありません。\nこのフォルダを作り、設定ファイル sct.txt を"
                           "置いてください (README「Setting up a desk」)。")
                .arg(home));

    // One bridge per working folder: a second one would carry out every command again (two receipts
    // with one number, two daily-totals lines for one statement). A lock left by a killed bridge is
    // taken over.
    QLockFile lock(QDir::current().filePath(QStringLiteral("orvane.lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0)) {
        qint64 pid = 0;
        QString host, application;
        lock.getLockInfo(&pid, &host, &application);
        return failStart(QStringLiteral("この作業フォルダでは Orvane が既に動いています (プロセス %1): %2")
                             .arg(pid)
                             .arg(QDir::currentPath()));
    }

    orvane::FormServices services;
    services.mapper = orvane::WindowsPathMapper::fromEnvironment();
    orvane::ProcessLauncher launcher(services.mapper);
    orvane::MessageBoxNotifier notifier;
    orvane::DesktopNotifications desktopNotifications;
    services.desktopNotifications = &desktopNotifications;
    orvane::TelephonyDialler dialler(launcher);
    services.launcher = &launcher;
    services.notifier = &notifier;
    services.dialler = &dialler;
    services.userName = &orvane::currentUserName;
    services.makeSerialPort = [mapper = services.mapper](QObject* owner) {
        return new orvane::SerialPortControl(mapper, owner);
    };
    services.makeTcpClient = [](QObject* owner) { return new orvane::TcpClientControl(owner); };
    services.makeCommandSource = [mapper = services.mapper](const orvane::Settings& settings,
                                                            const QString& user) {
        return orvane::makeCommandSource(settings, user, mapper);
    };
    orvane::CupsPrintQueues printQueues;
    orvane::PrintFollowUp followUp(printQueues, QStringLiteral("prints"));
    services.printFollowUp = &followUp;
    services.makePrintSurface = [&printQueues, &followUp] {
        return std::make_unique<orvane::QtPrintSurface>(orvane::QtPrintSurface::Target::DefaultPrinter,
                                                        QStringLiteral("prints"), &printQueues, &followUp);
    };

    orvane::Form1 form(std::move(services));
    if (const orvane::Result<> loaded = form.Form_Load(); !loaded)
        return failStart(loaded.error());
    form.show();
    return app.exec();
}
