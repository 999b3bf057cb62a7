#include "tools/browsersetup/setupfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvane::setup {
namespace {

const QString kListName = QStringLiteral(".orvane-browser-setup");

} // namespace

Result<> replaceFile(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(QStringLiteral("cannot make the folder of %1").arg(path));
    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    file.write(bytes);
    if (isNew)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                            QFileDevice::ReadOther);
    if (!file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    return {};
}

SetupLock::~SetupLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with the descriptor
}

Result<> SetupLock::lock(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot make %1").arg(folder));
    m_fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
        return fail(
            QStringLiteral("cannot lock %1: %2").arg(folder, QString::fromLocal8Bit(strerror(errno))));
    return {};
}

MadeFiles::MadeFiles(QString folder) : m_folder(std::move(folder)) {}

QStringList MadeFiles::read() const
{
    QFile list(QDir(m_folder).filePath(kListName));
    if (!list.open(QIODevice::ReadOnly))
        return {};
    QStringList files;
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QString file = QFile::decodeName(line);
        // Only plain names below the folder: a list edited by hand must not point elsewhere.
        if (!file.isEmpty() && !QDir::isAbsolutePath(file) &&
            !file.split(u'/').contains(QStringLiteral("..")))
            files.append(file);
    }
    return files;
}

Result<> MadeFiles::write(const QStringList& files) const
{
    QByteArray text;
    for (const QString& file : files)
        text += QFile::encodeName(file) + '\n';
    return replaceFile(QDir(m_folder).filePath(kListName), text);
}

QStringList MadeFiles::removeAllBut(const QStringList& keep) const
{
    QStringList removed;
    const QDir folder(m_folder);
    for (const QString& file : read()) {
        if (keep.contains(file))
            continue;
        if (QFile::remove(folder.filePath(file)))
            removed.append(folder.filePath(file));
    }
    return removed;
}

QStringList MadeFiles::removeAll() const
{
    const QDir folder(m_folder);
    const QStringList files = read();
    QStringList removed = removeAllBut({});
    if (QFile::remove(folder.filePath(kListName)))
        removed.append(folder.filePath(kListName));
    // The folders the files were in, deepest first, then the output folder: each only when empty.
    QStringList folders;
    for (const QString& file : files)
        for (QString dir = QFileInfo(folder.filePath(file)).path(); dir.startsWith(m_folder + u'/');
             dir = QFileInfo(dir).path())
            if (!folders.contains(dir))
                folders.append(dir);
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& dir : std::as_const(folders))
        QDir().rmdir(dir);
    if (QDir().rmdir(m_folder))
        removed.append(m_folder);
    return removed;
}

} // namespace orvane::setup
