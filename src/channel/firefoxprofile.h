#pragma once

#include "text/result.h"

#include <QList>
#include <QString>

namespace orvane {

// One profile of profiles.ini.
struct FirefoxProfile
{
    QString name;
    QString folder; // a relative Path (IsRelative=1) taken from the ini file's folder
    bool isDefault = false;
};

// Every profile the profiles.ini of that folder lists (none where it has none).
QList<FirefoxProfile> firefoxProfiles(const QString& profilesFolder);

// Where Firefox keeps its profiles: ~/.mozilla/firefox when it has a profiles.ini (as Firefox itself
// prefers it), else $XDG_CONFIG_HOME/mozilla/firefox (default ~/.config/mozilla/firefox).
QString firefoxProfilesFolder(const QString& home, const QString& xdgConfigHome);

// The profile whose cookie store carries the commands. With a name: the [Profile…] section of that
// Name. Without: the profile Firefox starts with, the Default= path of an [Install…] section of
// profiles.ini or of installs.ini (of several, the one whose cookie store changed last), else the
// [Profile…] marked Default=1. A relative Path (IsRelative=1) is taken from the ini file's folder.
// The profile's folder, or why none was found (naming profiles.ini and the profile asked for).
Result<QString> findFirefoxProfile(const QString& profilesFolder, const QString& name);

} // namespace orvane
