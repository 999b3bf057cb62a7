#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace orvane::setup {

// A user whose browser profiles are checked: root and every user with a UID of 1000 to 65533.
struct DeskUser
{
    QString name;
    QString home;
};
QList<DeskUser> deskUsers();

// What --check looks at.
struct DeskCheck
{
    QString chromium; // the installed browsers' programs; empty where not installed
    QString firefox;
    QString keyPath;
    QString geckoId;
    QString version; // the package's extension
    QString chromiumPolicyDir, chromiumHostsDir, firefoxPolicyDir, firefoxHostsDir;
    QList<DeskUser> users;
    bool root = true;     // the desk key is root's alone: another user cannot check Chromium
    QStringList problems; // found before the check (the package's extension missing), each not in place
};

// The lines --check prints, the last one its summary, and its exit status: 0 when nothing checked is
// out of place, 1 otherwise. Whatever it meets (a bad key, a file that is not JSON, a missing package),
// each check says its outcome on a line and the others still run.
struct CheckReport
{
    QStringList lines;
    int failures = 0;
    bool partial = false; // a part could not be checked (not root)
    int exitStatus() const { return failures == 0 ? 0 : 1; }
};
CheckReport checkDesk(const DeskCheck& desk);

} // namespace orvane::setup
