// orvane-browser-host: the native-messaging host of the browser extension. The browser starts it and
// talks to it over stdin/stdout in native-messaging frames; it hands each cookie set to the bridge on
// the bridge's local socket and acknowledges the set to the extension once the bridge has answered, so
// that the extension can resend what a dying host never acknowledged.
#include "base/bridgesocket.h"
#include "base/nativemessaging.h"

#include <QDateTime>
#include <QFile>
#include <QJsonObject>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using orvane::CookieSet;

// A set that cannot reach the bridge within this time after it was made would be refused as stale:
// the host answers so itself.
constexpr qint64 kGiveUpMs = 2500;

void log(const QString& text)
{
    std::fprintf(stderr, "orvane-browser-host: %s\n", text.toLocal8Bit().constData());
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

int connectToBridge()
{
    const orvane::BridgeSocket socket = orvane::bridgeSocket(false);
    if (!socket.path)
        return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(*socket.path);
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return -1;
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
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
            if (writeAll(bridge, orvane::bridgeRequest(set))) {
                const QByteArray answer = readAnswer(bridge);
                const qsizetype start = answer.indexOf(":\"");
                if (start >= 0)
                    return QString::fromUtf8(answer.mid(start + 2, answer.lastIndexOf('"') - start - 2));
            }
            ::close(bridge); // the bridge went away: connect again
            bridge = -1;
        }
        if (QDateTime::currentMSecsSinceEpoch() - set.setAt > kGiveUpMs) {
            log(QStringLiteral("the bridge is not running; a command was dropped"));
            return QStringLiteral("stale");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace

int main()
{
    // A bridge that went away, or a browser that closed the port, is an error on the write, not a
    // signal that ends the host.
    std::signal(SIGPIPE, SIG_IGN);
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
            if (!frame.message) {
                log(frame.error);
                continue;
            }
            QString error;
            const std::optional<CookieSet> set = orvane::cookieSetFromExtension(*frame.message, &error);
            const QString answer = set ? deliver(*set, bridge) : QStringLiteral("refused");
            if (!set)
                log(error);
            const QJsonObject ack{{u"ack"_qs, frame.message->value(u"seq")}, {u"answer"_qs, answer}};
            if (!writeAll(STDOUT_FILENO, orvane::nativeFrame(ack)))
                return 0;
        }
    }
    if (bridge >= 0)
        ::close(bridge);
    return 0;
}
