#include "platform/windowspath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace orvane {

WindowsPathMapper::WindowsPathMapper(QString prefix) : m_prefix(std::move(prefix)) {}

WindowsPathMapper WindowsPathMapper::fromEnvironment()
{
    QString prefix = qEnvironmentVariable("WINEPREFIX");
    if (prefix.isEmpty())
        prefix = QDir::homePath() + u"/.wine";
    return WindowsPathMapper(prefix);
}

bool WindowsPathMapper::isDrivePath(const QString& path)
{
    return path.size() >= 3 && path[0].isLetter() && path[0].unicode() < 128 && path[1] == u':' &&
           (path[2] == u'\\' || path[2] == u'/');
}

std::optional<QString> WindowsPathMapper::driveRoot(QChar letter) const
{
    const QString drive = QString(letter.toLower()) + u':';
    const QFileInfo entry(m_prefix + u"/dosdevices/" + drive);
    if (entry.exists())
        return entry.absoluteFilePath();
    if (drive == u"c:")
        return m_prefix + u"/drive_c";
    if (drive == u"z:")
        return QStringLiteral("/");
    return std::nullopt;
}

std::optional<QString> WindowsPathMapper::toNative(const QString& windowsPath) const
{
    if (!isDrivePath(windowsPath))
        return std::nullopt;
    std::optional<QString> root = driveRoot(windowsPath[0]);
    if (!root)
        return std::nullopt;
    QString path = *root;
    const bool trailingSeparator = windowsPath.endsWith(u'\\') || windowsPath.endsWith(u'/');
    QString rest = windowsPath.mid(3);
    rest.replace(u'\\', u'/');
    bool exists = true;
    for (const QString& component : rest.split(u'/', Qt::SkipEmptyParts)) {
        QString name = component;
        if (exists && !QFileInfo::exists(path + u'/' + name)) {
            // Windows names are case-insensitive: take the entry that differs only in case.
            const QStringList entries =
                QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
            exists = false;
            for (const QString& entry : entries) {
                if (entry.compare(name, Qt::CaseInsensitive) == 0) {
                    name = entry;
                    exists = true;
                    break;
                }
            }
        }
        if (!path.endsWith(u'/'))
            path += u'/';
        path += name;
    }
    if (trailingSeparator && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

QString WindowsPathMapper::serialDevice(int portNumber) const
{
    // A link whose device is unplugged still names the port: opening it fails until the device is back.
    const QFileInfo entry(m_prefix + u"/dosdevices/com" + QString::number(portNumber));
    if (entry.exists() || entry.isSymLink())
        return entry.absoluteFilePath();
    return u"/dev/ttyS" + QString::number(portNumber - 1);
}

} // namespace orvane
