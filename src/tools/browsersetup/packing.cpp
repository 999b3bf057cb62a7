#include "tools/browsersetup/packing.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace orvane::setup {

using namespace Qt::StringLiterals;
namespace {

constexpr int kProgramMs = 120000;
constexpr int kHelpersMs = 5000;

QString outputOf(QProcess& process)
{
    return QString::fromLocal8Bit(process.readAll()).trimmed().right(500);
}

// Renames a finished package into place, readable by every desk user's browser.
Result<> putInPlace(const QString& finished, const QString& path)
{
    QFile::remove(path);
    if (!QFile::setPermissions(finished, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ReadGroup | QFileDevice::ReadOther) ||
        !QFile::rename(finished, path))
        return fail(QStringLiteral("cannot put %1 in place").arg(path));
    return {};
}

// Ends what is left of a process group, waiting for its members to go first.
void endGroup(pid_t group)
{
    const QDeadlineTimer deadline(kHelpersMs);
    while (::kill(-group, 0) == 0 && !deadline.hasExpired())
        QThread::msleep(50);
    if (::kill(-group, 0) == 0) {
        ::kill(-group, SIGKILL);
        for (int i = 0; i < 100 && ::kill(-group, 0) == 0; ++i)
            QThread::msleep(10);
    }
}

} // namespace

Result<> zipExtension(const QString& extensionFolder, const QStringList& files, const QString& xpiPath)
{
    const QString partial =
        QFileInfo(xpiPath).dir().filePath(u'.' + QFileInfo(xpiPath).fileName() + u".part");
    QFile::remove(partial); // zip adds to an archive that is there
    QProcess zip;
    zip.setWorkingDirectory(extensionFolder);
    zip.setProcessChannelMode(QProcess::MergedChannels);
    zip.start(QStringLiteral("zip"),
              QStringList{QStringLiteral("-q"), QStringLiteral("-X"), partial} + files);
    if (!zip.waitForFinished(kProgramMs) || zip.exitStatus() != QProcess::NormalExit || zip.exitCode() != 0) {
        QFile::remove(partial);
        return fail(
            QStringLiteral("zip did not make %1: %2")
                .arg(xpiPath, zip.error() == QProcess::FailedToStart ? zip.errorString() : outputOf(zip)));
    }
    return putInPlace(partial, xpiPath);
}

Result<> packCrx(const QString& chromium, const QString& extensionFolder, const QString& keyPath,
                 const QString& workFolder, const QString& crxPath)
{
    QDir(workFolder).removeRecursively(); // what a killed run left
    const QString home = workFolder + QStringLiteral("/home");
    if (!QDir().mkpath(home))
        return fail(QStringLiteral("cannot make %1").arg(home));
    const QString packed = extensionFolder + QStringLiteral(".crx");
    QFile::remove(packed);

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("TMPDIR"), workFolder);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    QStringList arguments{QStringLiteral("--headless=new"),
                          u"--user-data-dir="_s + workFolder + u"/data",
                          QStringLiteral("--no-first-run"),
                          QStringLiteral("--disable-crash-reporter"),
                          QStringLiteral("--disable-background-networking"),
                          u"--pack-extension="_s + extensionFolder,
                          u"--pack-extension-key="_s + keyPath};
    if (::geteuid() == 0)
        arguments.prepend(QStringLiteral("--no-sandbox"));
    process.start(chromium, arguments);
    if (!process.waitForStarted())
        return fail(QStringLiteral("cannot start %1: %2").arg(chromium, process.errorString()));
    const pid_t group = pid_t(process.processId());
    if (!process.waitForFinished(kProgramMs))
        ::kill(-group, SIGKILL);
    process.waitForFinished();
    endGroup(group);
    const QString said = outputOf(process);
    QDir(workFolder).removeRecursively();
    if (!QFileInfo::exists(packed))
        return fail(QStringLiteral("chromium did not pack the extension%1")
                        .arg(said.isEmpty() ? QString() : u": "_s + said));
    return putInPlace(packed, crxPath);
}

} // namespace orvane::setup
