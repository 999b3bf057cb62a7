#include "channel/firefoxprofile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace orvane {
namespace {

QList<FirefoxProfile> readProfiles(QSettings& ini, const QDir& base)
{
    QList<FirefoxProfile> profiles;
    for (const QString& group : ini.childGroups()) {
        if (!group.startsWith(u"Profile"))
            continue;
        ini.beginGroup(group);
        const QString path = ini.value(QStringLiteral("Path")).toString();
        const bool relative = ini.value(QStringLiteral("IsRelative"), 1).toInt() == 1;
        FirefoxProfile profile{ini.value(QStringLiteral("Name")).toString(),
                               relative ? base.filePath(path) : path,
                               ini.value(QStringLiteral("Default")).toInt() == 1};
        ini.endGroup();
        if (!path.isEmpty())
            profiles.append(profile);
    }
    return profiles;
}

// The Default= paths of the [Install…] sections of an ini file.
QStringList installDefaults(QSettings& ini)
{
    QStringList paths;
    for (const QString& group : ini.childGroups()) {
        if (group.startsWith(u"Profile") || group == u"General" || group == u"BackgroundTasksProfiles")
            continue;
        const QString path = ini.value(group + u"/Default").toString();
        if (!path.isEmpty() && !paths.contains(path))
            paths.append(path);
    }
    return paths;
}

// When the profile's cookie store last changed (its write-ahead log or the file itself).
qint64 storeChanged(const QString& folder)
{
    const QDir dir(folder);
    return std::max(
        QFileInfo(dir.filePath(QStringLiteral("cookies.sqlite-wal"))).lastModified().toMSecsSinceEpoch(),
        QFileInfo(dir.filePath(QStringLiteral("cookies.sqlite"))).lastModified().toMSecsSinceEpoch());
}

} // namespace

QList<FirefoxProfile> firefoxProfiles(const QString& profilesFolder)
{
    const QDir base(profilesFolder);
    const QString iniPath = base.filePath(QStringLiteral("profiles.ini"));
    if (!QFileInfo::exists(iniPath))
        return {};
    QSettings ini(iniPath, QSettings::IniFormat);
    return readProfiles(ini, base);
}

QString firefoxProfilesFolder(const QString& home, const QString& xdgConfigHome)
{
    const QString legacy = QDir(home).filePath(QStringLiteral(".mozilla/firefox"));
    if (QFileInfo::exists(legacy + u"/profiles.ini"))
        return legacy;
    const QString config =
        xdgConfigHome.isEmpty() ? QDir(home).filePath(QStringLiteral(".config")) : xdgConfigHome;
    const QString xdg = QDir(config).filePath(QStringLiteral("mozilla/firefox"));
    return QFileInfo::exists(xdg + u"/profiles.ini") ? xdg : legacy;
}

Result<QString> findFirefoxProfile(const QString& profilesFolder, const QString& name)
{
    const QDir base(profilesFolder);
    const QString iniPath = base.filePath(QStringLiteral("profiles.ini"));
    if (!QFileInfo::exists(iniPath))
        return fail(QStringLiteral("%1 がありません (Firefox のプロファイルがありません)").arg(iniPath));
    QSettings ini(iniPath, QSettings::IniFormat);
    const QList<FirefoxProfile> profiles = readProfiles(ini, base);

    if (!name.isEmpty()) {
        for (const FirefoxProfile& profile : profiles)
            if (profile.name == name)
                return profile.folder;
        return fail(QStringLiteral("%1 にプロファイル %2 がありません").arg(iniPath, name));
    }

    QStringList defaults = installDefaults(ini);
    QSettings installs(base.filePath(QStringLiteral("installs.ini")), QSettings::IniFormat);
    for (const QString& path : installDefaults(installs))
        if (!defaults.contains(path))
            defaults.append(path);
    std::optional<QString> chosen;
    for (const QString& path : defaults) {
        const QString folder = QDir::isAbsolutePath(path) ? path : base.filePath(path);
        if (!chosen || storeChanged(folder) > storeChanged(*chosen))
            chosen = folder;
    }
    if (chosen)
        return *chosen;
    for (const FirefoxProfile& profile : profiles)
        if (profile.isDefault)
            return profile.folder;
    if (profiles.size() == 1)
        return profiles.first().folder;
    return fail(QStringLiteral("%1 に既定のプロファイルがありません").arg(iniPath));
}

} // namespace orvane
