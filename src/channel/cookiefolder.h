#pragma once

#include <QString>

namespace orvane {

// Where the browser of the desk's Windows version keeps the user's cookie files, and which of its
// files are cookie files; chosen by the wintype setting.
struct CookieFolder
{
    QString windowsPath; // always ends with "\"
    QString pattern;     // "*.txt" or "*.cookie"
};

CookieFolder cookieFolder(const QString& wintype, const QString& userName);

} // namespace orvane
