// orvane-send: hands one command to the bridge as the browser would: into the cookie folder of the
// current user and the wintype of sct.txt in the working folder, or, with cookiestore=extension, on the
// bridge's socket as the extension's host does.
#include "base/settingsfile.h"
#include "browser/bridgesocket.h"
#include "browser/cookierecord.h"
#include "browser/nativemessaging.h"
#include "channel/cookiewriter.h"
#include "platform/localsocket.h"
#include "platform/username.h"
#include "platform/windowspath.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

// The command as the extension's host hands a cookie set to the bridge; the bridge's outcome.
int handToBridge(const QString& name, const QString& site, const QString& command)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const orvane::Cookie cookie{name, command, site, QStringLiteral("/"), now + 3600 * 1000, now * 1000};
    const orvane::CookieSet set{orvane::cookieRecord(cookie), now,
                                QStringLiteral("orvane-send-%1").arg(::getpid()), 1};
    const orvane::Result<orvane::BridgeReply> reply =
        orvane::bridgeSocket(orvane::CreateFolder::No)
            .and_then(&orvane::connectLocalSocket)
            .and_then([&](int fd) {
                const auto closeIt = qScopeGuard([fd] { ::close(fd); });
                return orvane::writeAll(fd, orvane::bridgeRequest(set))
                    .and_then([&] { return orvane::readLineWithin(fd, 5000, 4096); })
                    .and_then([](const QByteArray& line) { return orvane::answerFromBridge(line); });
            });
    if (!reply) {
        std::fprintf(stderr,
                     "orvane-send: cannot reach the bridge (%s); with cookiestore=extension the command goes "
                     "to the running bridge, which is not there\n",
                     reply.error().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s: %s\n", orvane::answerWord(reply->answer).toLocal8Bit().constData(),
                reply->outcome.text.toLocal8Bit().constData());
    return reply->outcome.ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h") {
        std::fprintf(
            arguments.isEmpty() ? stderr : stdout,
            "usage: orvane-send COMMAND [FIFTH-LINE]\n"
            "  Hands COMMAND (for example Total12345, wel, rsh山田様/12000/960/3) to the bridge\n"
            "  of this folder as the browser would: a cookie file (FIFTH-LINE goes to the daily\n"
            "  totals) or, with cookiestore=extension, on the bridge's socket, printing its outcome\n"
            "  (exit status 1 when it was not carried out or no bridge runs).\n");
        return arguments.isEmpty() ? 2 : 0;
    }
    const orvane::Result<orvane::LoadedSettings> load = orvane::loadSettingsFile(QStringLiteral("sct.txt"));
    if (!load) {
        std::fprintf(stderr, "orvane-send: %s\n", load.error().toLocal8Bit().constData());
        return 1;
    }
    const QString host = orvane::textOf(load->settings.cookiehost);
    const QString site = host.isEmpty() ? QStringLiteral("orvane.local") : host;
    const QString name = orvane::textOf(load->settings.cookiename).isEmpty()
                             ? QStringLiteral("orvane")
                             : orvane::textOf(load->settings.cookiename);
    if (load->settings.cookiestore == orvane::CookieStore::Extension)
        return handToBridge(name, site, arguments.first());
    const QString lineFour =
        arguments.size() > 1 ? arguments[1] : QDateTime::currentDateTime().toString(QStringLiteral("HHmmss"));
    const orvane::Result<QString> path = orvane::writeCommandCookie(
        orvane::WindowsPathMapper::fromEnvironment(), orvane::textOf(load->settings.wintype),
        orvane::currentUserName(), site, arguments.first(), lineFour, name);
    if (!path) {
        std::fprintf(stderr, "orvane-send: %s\n", path.error().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", path->toLocal8Bit().constData());
    return 0;
}
