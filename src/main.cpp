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
#include <QFont>
#include <QMessageBox>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Without a screen the bridge still runs: on the offscreen platform.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    // The printed forms are laid out for this typeface; IPAGothic matches its metrics.
    orvane::installFontSubstitutions();

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
    services.makePrintSurface = [] {
        return std::make_unique<orvane::QtPrintSurface>(orvane::QtPrintSurface::Target::DefaultPrinter,
                                                        QStringLiteral("prints"));
    };

    orvane::Form1 form(std::move(services));
    if (!form.Form_Load()) {
        const QString message = QStringLiteral("Orvane を起動できません。\n") + form.loadError();
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        if (QGuiApplication::platformName() != u"offscreen")
            QMessageBox::critical(nullptr, QStringLiteral("Orvane"), message); // before the event loop runs
        return 1;
    }
    form.show();
    return app.exec();
}
