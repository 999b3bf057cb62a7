// orvane-browser-host: the native-messaging host of the browser extension. The browser starts it and
// talks to it over stdin/stdout in native-messaging frames; it hands each cookie set to the bridge on
// the bridge's local socket and acknowledges the set to the extension once the bridge has answered, so
// that the extension can resend what a dying host never acknowledged.
#include "browser/bridgesocket.h"
#include "browser/nativemessaging.h"
#include "platform/localsocket.h"

#include <QDateTime>
#include <QJsonObject>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

using orvane::CookieSet;
using namespace Qt::StringLiterals;

// A set that cannot reach the bridge within this time after it was made would be refused as stale:
// the host answers so itself.
constexpr qint64 kGiveUpMs = 2500;

void log(const QString& text)
{
    std::fprintf(stderr, "orvane-browser-host: %s\n", text.toLocal8Bit().constData());
}

// What the extension said of itself; told to the bridge on every connection, so that the bridge knows
// which browser came even when it started after the browser.
QByteArray helloLine;

int connectToBridge()
{
    const orvane::Result<QString> socket = orvane::bridgeSocket(orvane::CreateFolder::No);
    if (!socket)
        return -1;
    int fd = orvane::connectLocalSocket(*socket).value_or(-1);
    if (fd >= 0 && !helloLine.isEmpty() && !orvane::writeAll(fd, helloLine)) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

// One answer line from the bridge; empty when the connection broke.
QByteArray readAnswer(int fd)
{
    QByteArray line;
    char c = 0;
    while (line.size() < 4096) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {};
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

QString deliver(const CookieSet& set, int& bridge)
{
    for (;;) {
        if (bridge < 0)
            bridge = connectToBridge();
        if (bridge >= 0) {
            if (orvane::writeAll(bridge, orvane::bridgeRequest(set))) {
                if (const orvane::Result<QString> answer = orvane::answerFromBridge(readAnswer(bridge)))
                    return *answer;
            }
            ::close(bridge); // the bridge went away: connect again
            bridge = -1;
        }
        if (QDateTime::currentMSecsSinceEpoch() - set.setAt > kGiveUpMs) {
            log(QStringLiteral("the bridge is not running; a command was dropped"));
            return orvane::answers::kStale;
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
    // Chromium names the extension's origin, Firefox the host's manifest and the extension's id.
    const QString browser = argc > 1 && std::strncmp(argv[1], "chrome-extension://", 19) == 0 ? u"Chromium"_s
                            : argc > 2                                                        ? u"Firefox"_s
                                       : u"a browser"_s;
    orvane::NativeFrameReader reader;
    int bridge = -1;
    char buffer[65536];
    for (;;) {
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
            if (frame->contains(u"hello")) {
                helloLine = orvane::bridgeHello({browser, frame->value(u"hello").toString()});
                if (bridge >= 0) {
                    ::close(bridge); // a new connection says hello first
                    bridge = -1;
                }
                bridge = connectToBridge(); // a bridge not running yet hears it when the host connects
                continue;
            }
            const orvane::Result<CookieSet> set = orvane::cookieSetFromExtension(*frame);
            const QString answer = set ? deliver(*set, bridge) : orvane::answers::kRefused;
            if (!set)
                log(set.error());
            const QJsonObject ack{{u"ack"_s, frame->value(u"seq")}, {u"answer"_s, answer}};
            if (!orvane::writeAll(STDOUT_FILENO, orvane::nativeFrame(ack)))
                return 0;
        }
    }
    if (bridge >= 0)
        ::close(bridge);
    return 0;
}
