#pragma once

#include "text/result.h"

#include <QString>
#include <QStringList>

namespace orvane::setup {

// What orvane-browser-setup was asked to do, and the folders it works in (tests give temporary ones).
struct SetupOptions
{
    enum class Mode { SetUp, Check, Remove, Help };
    Mode mode = Mode::SetUp;
    QStringList sites; // normalised: lower case, without port or leading "*.", each once, sorted
    QString cookie;    // the web system's command cookie; empty: every cookie of the sites
    QString host;      // the native host
    QString extension; // the extension's source folder
    QString keyDir = QStringLiteral("/etc/orvane");
    QString out = QStringLiteral("/var/lib/orvane/browser");
    QString chromiumPolicyDir = QStringLiteral("/etc/chromium/policies/managed");
    QString chromiumHostsDir = QStringLiteral("/etc/chromium/native-messaging-hosts");
    QString firefoxPolicyDir = QStringLiteral("/etc/firefox/policies");
    QString firefoxHostsDir = QStringLiteral("/usr/lib/mozilla/native-messaging-hosts");
    bool packCrx = true;

    QString keyPath() const { return keyDir + QStringLiteral("/extension-key.pem"); }
};

// The command line (without the program's name); programDir is the folder of the program, beside
// which the host and, under ../share/orvane, the extension are looked for. Fails with the message for
// the IT person (exit status 2): an unknown option, an option without its value, a site that is not a
// host name. Every site is checked before anything is done.
Result<SetupOptions> parseSetupOptions(const QStringList& arguments, const QString& programDir);

// A site as the policies carry it: a host name or an IPv4 address, perhaps with a port or a leading
// "*." (a port adds nothing, cookies have none; a cookie of a host below a site goes with it), in
// lower case; fails on anything else.
Result<QString> normalisedSite(const QString& site);

// The --help text.
QString setupUsage();

} // namespace orvane::setup
