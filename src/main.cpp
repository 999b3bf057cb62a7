#include "app/form1.h"
#include "app/launcher.h"
#include "app/messageboxnotifier.h"
#include "phone/dialler.h"
#include "print/fonts.h"

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
