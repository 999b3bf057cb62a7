#include "platform/localsocket.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvane {

Result<int> connectLocalSocket(const QString& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return fail(QStringLiteral("%1: パスが長すぎます").arg(path));
    std::memcpy(address.sun_path, native.constData(), std::size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    return fd;
}

Result<> writeAll(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EPIPE)));
        written += n;
    }
    return {};
}

Result<QByteArray> readLineWithin(int fd, int waitMs, qsizetype maxLine)
{
    QByteArray line;
    while (!line.endsWith('\n')) {
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, waitMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return fail(QStringLiteral("no answer within %1 s").arg(waitMs / 1000.0));
        char buffer[65536];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return fail(QStringLiteral("the connection was closed"));
        line.append(buffer, got);
        if (line.size() > maxLine)
            return fail(QStringLiteral("the answer is too long"));
    }
    line.chop(1);
    return line;
}

} // namespace orvane
