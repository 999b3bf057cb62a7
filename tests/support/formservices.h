#pragma once

#include "app/form1.h"
#include "support/testsupport.h"

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
    if (!realPeers) {
        services.makeSerialPort = [](QObject* parent) { return new FakeSerialPort(parent); };
        services.makeTcpClient = [](QObject* parent) { return new FakeTcpClient(parent); };
    }
    return services;
}

} // namespace orvane::test
