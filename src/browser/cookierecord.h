#pragma once

#include <QString>

namespace orvane {

// One cookie as a browser store or extension reports it.
struct Cookie
{
    QString name;
    QString value;
    QString host; // a leading dot (a domain cookie) is dropped in the record
    QString path;
    qint64 expiryMs = 0;   // ms since 1970
    qint64 creationUs = 0; // µs since 1970
};

// The cookie as a record of the old browser's cookie files, the text the command processor reads: nine
// LF-terminated lines: name, value, host followed by the path, flags "0", the expiry's and the
// creation's Windows FILETIME (100 ns since 1601) each as low and high unsigned 32-bit halves in
// decimal, and "*".
QString cookieRecord(const Cookie& cookie);

} // namespace orvane
