// orvane-browser-host: the native-messaging host of the browser extension. The browser starts it and
// talks to it over stdin/stdout in native-messaging frames; it hands each cookie set to the bridge on
// the bridge's local socket and acknowledges the set to the extension once the bridge has answered, so
// that the extension can resend what a dying host never acknowledged.
#include "browser/bridgesocket.h"
#include "browser/nativemessaging.h"
#include "platform/localsocket.h"

#include <QDateTime>
#include <QJsonObject>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using orvane::CookieSet;
using namespace Qt::StringLiterals;

// A set that cannot reach the bridge within this time after it was made would be refused as stale:
// the host answers so itself.
constexpr qint64 kGiveUpMs = 2500;
// How often a host without a bridge tries again to reach one.
constexpr int kReconnectMs = 2000;

void log(const QString& text)
{
    std::fprintf(stderr, "orvane-browser-host: %s\n", text.toLocal8Bit().constData());
}

// What the extension said of itself; told to the bridge on every connection, so that the bridge knows
// which browser came even when it started after the browser.
QByteArray helloLine;

// Why the bridge could not be reached the last time, for the host's warning when a command is dropped.
QString bridgeProblem;

int connectToBridge()
{
    const orvane::Result<int> fd =
        orvane::bridgeSocket(orvane::CreateFolder::No).and_then(&orvane::connectLocalSocket);
    if (!fd) {
        bridgeProblem = fd.error();
        return -1;
    }
    if (!helloLine.isEmpty()) {
        if (const orvane::Result<> said = orvane::writeAll(*fd, helloLine); !said) {
            bridgeProblem = said.error();
            ::close(*fd);
            return -1;
        }
    }
    return *fd;
}

// Waits for the browser's next bytes; true when they are there (or its port closed). Meanwhile a
// connection the bridge closed is let go, and one is made again (with the hello) while there is none.
bool waitForBrowser(int& bridge)
{
    pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {bridge, POLLIN, 0}};
    const int ready =
        ::poll(watched, bridge >= 0 ? 2 : 1, bridge >= 0 || helloLine.isEmpty() ? -1 : kReconnectMs);
    if (ready < 0)
        return errno != EINTR;
    if (bridge >= 0 && watched[1].revents != 0) {
        ::close(bridge); // nothing comes unasked: the bridge went away
        bridge = -1;
    }
    if (bridge < 0 && !helloLine.isEmpty() && watched[0].revents == 0)
        bridge = connectToBridge();
    return watched[0].revents != 0;
}

orvane::BridgeReply deliver(const CookieSet& set, int& bridge)
{
    for (;;) {
        if (bridge < 0)
            bridge = connectToBridge();
        if (bridge >= 0) {
            const orvane::Result<orvane::BridgeReply> answer =
                orvane::writeAll(bridge, orvane::bridgeRequest(set)).and_then([&] {
                    // Whatever the bridge takes to carry the command out is waited for.
                    return orvane::readLineWithin(bridge, -1, 4096).and_then(&orvane::answerFromBridge);
                });
            if (answer)
                return *answer;
            bridgeProblem = answer.error();
            ::close(bridge); // the bridge went away: connect again
            bridge = -1;
        }
        if (QDateTime::currentMSecsSinceEpoch() - set.setAt > kGiveUpMs) {
            log(QStringLiteral("the bridge is not running (%1); a command was dropped").arg(bridgeProblem));
            return {orvane::BridgeAnswer::Stale,
                    orvane::CommandOutcome::notCarriedOut(orvane::reasons::kNoBridge,
                                                          QStringLiteral("Orvane が動いていません"))};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: orvane-browser-host\n"
            "  The native-messaging host of the Orvane browser extension: the browser starts it (its\n"
            "  manifest orvane.bridge.json names it) and it hands each cookie set to the bridge on\n"
            "  the user's local socket. orvane-browser-setup installs it for Chromium and Firefox.\n");
        return 0;
    }
    // A bridge that went away, or a browser that closed the port, is an error on the write, not a
    // signal that ends the host.
    std::signal(SIGPIPE, SIG_IGN);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QString browser = orvane::browserOfHostArguments(arguments);
    orvane::NativeFrameReader reader;
    int bridge = -1;
    char buffer[65536];
    for (;;) {
        // The bridge knows which browsers are there by their hosts' connections: one that went (a
        // bridge restarted) is made again within kReconnectMs, not only with the next command.
        if (!waitForBrowser(bridge))
            continue;
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // the browser closed the port
        for (const orvane::NativeFrameReader::Frame& frame : reader.feed(QByteArray(buffer, got))) {
            if (!frame) {
                log(frame.error());
                continue;
            }
            if (const std::optional<QString> version = orvane::extensionHello(*frame)) {
                helloLine = orvane::bridgeHello({browser, *version});
                if (bridge >= 0) {
                    ::close(bridge); // a new connection says hello first
                    bridge = -1;
                }
                bridge = connectToBridge(); // a bridge not running yet hears it when the host connects
                continue;
            }
            const orvane::Result<CookieSet> set = orvane::cookieSetFromExtension(*frame);
            if (!set)
                log(set.error());
            const orvane::BridgeReply reply =
                set ? deliver(*set, bridge)
                    : orvane::BridgeReply{
                          orvane::BridgeAnswer::Refused,
                          orvane::CommandOutcome::notCarriedOut(orvane::reasons::kNotACommand, set.error())};
            if (!orvane::writeAll(STDOUT_FILENO, orvane::extensionAck(frame->value(u"seq"), reply)))
                return 0; // the browser closed the port
        }
    }
    if (bridge >= 0)
        ::close(bridge);
    return 0;
}
