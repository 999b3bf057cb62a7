#include "platform/runtimefolder.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

Result<QString> userRuntimeFolder(CreateFolder create)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QString folder = runtime.isEmpty() ? QStringLiteral("/tmp/orvane-%1").arg(getuid())
                                             : QDir(runtime).filePath(QStringLiteral("orvane"));
    const QByteArray native = QFile::encodeName(folder);
    struct stat info;
    if (lstat(native.constData(), &info) != 0) {
        if (create == CreateFolder::No)
            return fail(QStringLiteral("%1 がありません (ブリッジが動いていません)").arg(folder));
        if (mkdir(native.constData(), 0700) != 0 || lstat(native.constData(), &info) != 0)
            return fail(QStringLiteral("%1 を作れません").arg(folder));
    }
    // Another user's folder (or a link to one) could hand our commands to someone else.
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & 0077) != 0)
        return fail(QStringLiteral("%1 はこのユーザー専用のフォルダ (0700) ではありません").arg(folder));
    return folder;
}

} // namespace orvane
