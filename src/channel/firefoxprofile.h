#pragma once

#include "text/result.h"

#include <QString>

namespace orvane {

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
