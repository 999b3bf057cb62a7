#pragma once

#include "channel/commandsources.h"
#include "platform/serialportcontrol.h"
#include "platform/tcpclientcontrol.h"
#include "print/qtprintsurface.h"
#include "support/testsupport.h"
#include "window/form1.h"

#include <QTest>

namespace orvane::test {

// The services of a window under test: Windows paths through the prefix, the user alice, the given
// launcher, notifier and dialler, and fake serial ports and TCP clients unless real ones are wanted.
inline FormServices formServices(const QString& winePrefix, ProgramLauncher* launcher, Notifier* notifier,
                                 Dialler* dialler, bool realPeers = false)
{
    FormServices services;
    services.mapper = WindowsPathMapper(winePrefix);
    services.userName = [] { return QStringLiteral("alice"); };
    services.launcher = launcher;
    services.notifier = notifier;
    services.dialler = dialler;
    if (realPeers) {
        services.makeSerialPort = [mapper = services.mapper](QObject* parent) {
            return new SerialPortControl(mapper, parent);
        };
        services.makeTcpClient = [](QObject* parent) { return new TcpClientControl(parent); };
    } else {
        services.makeSerialPort = [](QObject* parent) { return new FakeSerialPort(parent); };
        services.makeTcpClient = [](QObject* parent) { return new FakeTcpClient(parent); };
    }
    services.makeCommandSource = [mapper = services.mapper](const Settings& settings, const QString& user) {
        return makeCommandSource(settings, user, mapper);
    };
    // Without a printer, each job becomes a PDF in prints/ of the working folder.
    services.makePrintSurface = [] {
        return std::make_unique<QtPrintSurface>(QtPrintSurface::Target::DefaultPrinter,
                                                QStringLiteral("prints"));
    };
    return services;
}

// The window on the services, started; nullptr, with the test failed and the reason given, when its
// start fails.
inline std::unique_ptr<Form1> startWindow(FormServices services)
{
    auto form = std::make_unique<Form1>(std::move(services));
    if (const Result<> loaded = form->Form_Load(); !loaded) {
        QTest::qFail(qPrintable(u"the window did not start: " + loaded.error()), __FILE__, __LINE__);
        return nullptr;
    }
    return form;
}

} // namespace orvane::test
