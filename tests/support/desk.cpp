#include "support/desk.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace orvane::test {

Desk::Desk()
    : m_cookies(
          filePath(QStringLiteral("wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"))),
      m_savedPath(qgetenv("PATH"))
{
    QDir().mkpath(m_cookies);
    QDir().mkpath(filePath(QStringLiteral("bin")));
    writeRecordingProgram(filePath(QStringLiteral("bin")), QStringLiteral("vfddisp"),
                          filePath(QStringLiteral("vfddisp.log")));
    qputenv("PATH", QFile::encodeName(filePath(QStringLiteral("bin"))) + ':' + m_savedPath);
    m_launcher = std::make_unique<ProcessLauncher>(WindowsPathMapper(winePrefix()));
}

Desk::~Desk()
{
    qputenv("PATH", m_savedPath);
}

QList<QList<QByteArray>> Desk::displayCalls() const
{
    return readRecordedCalls(filePath(QStringLiteral("vfddisp.log")));
}

void Desk::removeDisplayProgram()
{
    QFile::remove(filePath(QStringLiteral("bin/vfddisp")));
}

void Desk::writeCookie(const QByteArray& content, int secondsFromNow, const QString& name)
{
    const QString path = QDir(m_cookies).filePath(name);
    writeFile(path, content);
    setModified(path, QDateTime::currentDateTime().addSecs(secondsFromNow));
}

} // namespace orvane::test
