// orvane-send: writes one command for the bridge as the browser would, into the cookie folder of the
// current user and the wintype of sct.txt in the working folder.
#include "base/settingsfile.h"
#include "channel/cookiewriter.h"
#include "platform/username.h"
#include "platform/windowspath.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h") {
        std::fprintf(arguments.isEmpty() ? stderr : stdout,
                     "usage: orvane-send COMMAND [FIFTH-LINE]\n"
                     "  Writes COMMAND (for example Total12345, wel, rsh山田様/12000/960/3) as a cookie\n"
                     "  for the bridge running in this folder. FIFTH-LINE goes to the daily totals.\n");
        return arguments.isEmpty() ? 2 : 0;
    }
    const orvane::Result<orvane::LoadedSettings> load = orvane::loadSettingsFile(QStringLiteral("sct.txt"));
    if (!load) {
        std::fprintf(stderr, "orvane-send: %s\n", load.error().toLocal8Bit().constData());
        return 1;
    }
    const QString host = orvane::textOf(load->settings.cookiehost);
    const QString site = host.isEmpty() ? QStringLiteral("orvane.local") : host;
    const QString lineFour =
        arguments.size() > 1 ? arguments[1] : QDateTime::currentDateTime().toString(QStringLiteral("HHmmss"));
    const orvane::Result<QString> path = orvane::writeCommandCookie(
        orvane::WindowsPathMapper::fromEnvironment(), orvane::textOf(load->settings.wintype),
        orvane::currentUserName(), site, arguments.first(), lineFour);
    if (!path) {
        std::fprintf(stderr, "orvane-send: %s\n", path.error().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", path->toLocal8Bit().constData());
    return 0;
}
