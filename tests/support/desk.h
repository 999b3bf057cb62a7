#pragma once

#include "platform/launcher.h"
#include "support/testsupport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace orvane::test {

// A reception desk in a temporary working folder: a Wine-style prefix with the cookie folder of the
// user alice (wintype 1), a stand-in display program "vfddisp" first on PATH that logs its arguments,
// and the real program launcher on that prefix. PATH is restored when the desk goes.
class Desk
{
public:
    Desk();
    ~Desk();
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    QString filePath(const QString& name) const { return m_folder.filePath(name); }
    QString winePrefix() const { return filePath(QStringLiteral("wine")); }
    QString cookies() const { return m_cookies; }
    ProgramLauncher& launcher() { return *m_launcher; }

    // The display program's starts so far: the raw argument bytes of each.
    QList<QList<QByteArray>> displayCalls() const;
    // Removes the stand-in display program, as on a desk where it is missing.
    void removeDisplayProgram();
    // Writes a command file as the browser does, with its time this many seconds from now.
    void writeCookie(const QByteArray& content, int secondsFromNow,
                     const QString& name = QStringLiteral("alice@clinic[1].txt"));

private:
    WorkingFolder m_folder;
    QString m_cookies;
    QByteArray m_savedPath;
    std::unique_ptr<ProgramLauncher> m_launcher;
};

} // namespace orvane::test
