#include "browser/bridgesocket.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvane {

Result<QString> bridgeSocket(bool create)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty() ? QStringLiteral("/tmp/orvane-%1").arg(getuid())
                                             : QDir(runtime).filePath(QStringLiteral("orvane"));
    const QByteArray native = QFile::encodeName(folder);
    struct stat info;
    if (lstat(native.constData(), &info) != 0) {
        if (!create)
            return fail(QStringLiteral("%1 がありません (ブリッジが動いていません)").arg(folder));
        if (mkdir(native.constData(), 0700) != 0 || lstat(native.constData(), &info) != 0)
            return fail(QStringLiteral("%1 を作れません").arg(folder));
    }
    // Another user's folder (or a link to one) could hand our commands to someone else.
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 0077) != 0)
        return fail(QStringLiteral("%1 はこのユーザー専用のフォルダ (0700) ではありません").arg(folder));
    return QDir(folder).filePath(QStringLiteral("bridge.sock"));
}

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

} // namespace orvane
