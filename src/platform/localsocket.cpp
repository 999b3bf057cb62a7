#include "platform/localsocket.h"

#include <QFile>

#include <cerrno>
#include <cstring>
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

} // namespace orvane
