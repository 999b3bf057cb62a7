#include "base/messagelog.h"
#include "channel/commandsources.h"
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

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: orvane\n"
            "  The Orvane reception bridge. Run it in the desk's working folder (sct.txt, counter.txt,\n"
            "  nikkei.txt; orvane-desk starts it in ~/Orvane). It takes no arguments; sct.txt sets it up.\n"
            "  Warnings go to standard error; QT_LOGGING_RULES=\"orvane.*.debug=true\" shows more.\n");
        return 0;
    }
    orvane::installMessageLog(QStringLiteral("orvane"));
    // Without a screen the bridge still runs: on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
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
