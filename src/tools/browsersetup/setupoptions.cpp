#include "tools/browsersetup/setupoptions.h"

#include <QDir>
#include <QRegularExpression>

namespace orvane::setup {

Result<QString> normalisedSite(const QString& site)
{
    // Labels of letters, digits and hyphens (not at either end), one to 63 characters, dot-separated.
    static const QRegularExpression pattern(QStringLiteral(
        R"re(^(?:\*\.)?((?:[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?\.)*)([A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?)(?::(\d{1,5}))?$)re"));
    const QRegularExpressionMatch match = pattern.match(site);
    const auto refused = [&] { return fail(QStringLiteral("'%1' is not a host name").arg(site)); };
    if (!match.hasMatch() || match.captured(1).size() + match.captured(2).size() > 253)
        return refused();
    if (const QString port = match.captured(3); !port.isEmpty() && (port.toInt() < 1 || port.toInt() > 65535))
        return refused();
    return (match.captured(1) + match.captured(2)).toLower();
}

Result<SetupOptions> parseSetupOptions(const QStringList& arguments, const QString& programDir)
{
    SetupOptions options;
    options.host = QDir(programDir).filePath(QStringLiteral("orvane-browser-host"));
    options.extension = QDir::cleanPath(programDir + QStringLiteral("/../share/orvane/extension"));
    QStringList sites;
    const struct
    {
        const char16_t* name;
        QString SetupOptions::*field;
    } folders[] = {
        {u"--host", &SetupOptions::host},
        {u"--extension", &SetupOptions::extension},
        {u"--key-dir", &SetupOptions::keyDir},
        {u"--out", &SetupOptions::out},
        {u"--chromium-policy-dir", &SetupOptions::chromiumPolicyDir},
        {u"--chromium-hosts-dir", &SetupOptions::chromiumHostsDir},
        {u"--firefox-policy-dir", &SetupOptions::firefoxPolicyDir},
        {u"--firefox-hosts-dir", &SetupOptions::firefoxHostsDir},
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // An option's value is the next argument, unless that is an option itself ("--site --no-crx").
        const auto value = [&]() -> Result<QString> {
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(u"--") || arguments[i + 1].isEmpty())
                return fail(QStringLiteral("%1 needs a value").arg(argument));
            return arguments[++i];
        };
        if (argument == u"--site") {
            const Result<QString> site = value();
            if (!site)
                return fail(QStringLiteral("--site needs a host name"));
            sites.append(*site);
        } else if (argument == u"--cookie") {
            const Result<QString> name = value();
            // A cookie name is an HTTP token: no blank, control character or separator.
            static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9!#$%&'*+.^_`|~-]+$"));
            if (!name || !token.match(*name).hasMatch())
                return fail(QStringLiteral("--cookie needs the name of the web system's command cookie"));
            options.cookie = *name;
        } else if (argument == u"--check") {
            options.mode = SetupOptions::Mode::Check;
        } else if (argument == u"--remove") {
            options.mode = SetupOptions::Mode::Remove;
        } else if (argument == u"--no-crx") {
            options.packCrx = false;
        } else if (argument == u"--help" || argument == u"-h") {
            options.mode = SetupOptions::Mode::Help;
            return options;
        } else {
            const auto folder = std::find_if(std::begin(folders), std::end(folders),
                                             [&](const auto& known) { return argument == known.name; });
            if (folder == std::end(folders))
                return fail(QStringLiteral("unknown option %1").arg(argument));
            const Result<QString> path = value();
            if (!path)
                return fail(path.error());
            options.*(folder->field) = *path;
        }
    }
    for (const QString& site : std::as_const(sites)) {
        const Result<QString> normalised = normalisedSite(site);
        if (!normalised)
            return fail(normalised.error());
        if (!options.sites.contains(*normalised))
            options.sites.append(*normalised);
    }
    options.sites.sort();
    if (options.mode == SetupOptions::Mode::SetUp && options.sites.isEmpty())
        return fail(QStringLiteral("name the web system's sites with --site HOST"));
    return options;
}

QString setupUsage()
{
    return QStringLiteral(
        "usage: orvane-browser-setup --site HOST [--site HOST...] [--cookie NAME] [options]\n"
        "       orvane-browser-setup --check [options]\n"
        "       orvane-browser-setup --remove [options]\n"
        "Sets a desk up so that Chromium and Firefox ESR hand the cookies of the web system's sites to the\n"
        "Orvane bridge through the Orvane browser extension and its native host. Run as root by the desk's\n"
        "IT person. The browsers install the extension by policy and read the sites from the policy too:\n"
        "run it again with the complete list to change the sites (a host not named is removed); profiles\n"
        "that exist take the new list at their next start at the latest.\n"
        "--check reports whether each browser's policy and host manifest are in place, and for each profile\n"
        "of root and of the users with a UID of 1000 or more whether the extension is installed and\n"
        "active; it exits with 0 when nothing it checked is out of place (run as a desk user, it leaves the\n"
        "Chromium checks, which need the desk key, to root).\n"
        "--remove takes back what the set-up wrote (the package does it when it is removed), except the\n"
        "desk's key, which only a purge of the package removes. Every folder can be given (tests use\n"
        "temporary ones):\n"
        "  --host PATH                 the native host (default: orvane-browser-host beside this program)\n"
        "  --extension DIR             the extension's source (default: <prefix>/share/orvane/extension)\n"
        "  --key-dir DIR               the desk's extension key, kept private (default /etc/orvane)\n"
        "  --out DIR                   the prepared extension, CRX, XPI and update manifest\n"
        "                              (default /var/lib/orvane/browser)\n"
        "  --chromium-policy-dir DIR   (default /etc/chromium/policies/managed)\n"
        "  --chromium-hosts-dir DIR    (default /etc/chromium/native-messaging-hosts)\n"
        "  --firefox-policy-dir DIR    (default /etc/firefox/policies)\n"
        "  --firefox-hosts-dir DIR     (default /usr/lib/mozilla/native-messaging-hosts)\n"
        "  --cookie NAME               only the web system's command cookie of that name goes to the bridge\n"
        "                              (as cookiename= in sct.txt); without it every cookie of the sites "
        "does\n"
        "  --no-crx                    do not pack the Chromium CRX (a desk that uses Firefox only)\n");
}

} // namespace orvane::setup
