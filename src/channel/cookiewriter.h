#pragma once

#include "platform/windowspath.h"
#include "text/result.h"

#include <QString>

namespace orvane {

// Writes one command as the browser writes a cookie file: into the user's cookie folder for the
// wintype, as the value of the file's first cookie (named cookieName), with the site on the third line and
// lineFour on the fifth (the line the daily totals record). The file appears whole (written aside, then
// renamed), and its time is a second later than every cookie file before it, so that the bridge takes it as a
// new command. Returns the file's path, or why it could not be written.
Result<QString> writeCommandCookie(const WindowsPathMapper& mapper, const QString& wintype,
                                   const QString& userName, const QString& site, const QString& command,
                                   const QString& lineFour, const QString& cookieName);

} // namespace orvane
