#include "tools/browsersetup/deskcheck.h"

#include "channel/firefoxprofile.h"
#include "tools/browsersetup/deskkey.h"
#include "tools/browsersetup/policies.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>
#include <QVersionNumber>

#include <pwd.h>

namespace orvane::setup {

using namespace Qt::StringLiterals;

namespace {

// A value at a path of keys; undefined where any step is missing.
QJsonValue at(const QJsonObject& object, const QStringList& path)
{
    QJsonValue value = object;
    for (const QString& key : path)
        value = value.toObject().value(key);
    return value;
}

QStringList stringsOf(const QJsonValue& value)
{
    QStringList strings;
    for (const QJsonValue& item : value.toArray())
        if (item.isString())
            strings.append(item.toString());
    return strings;
}

// What the policy says of the command cookie, at the path of the extension's managed storage.
QString commandCookie(const QJsonObject& policy, const QStringList& storage)
{
    const QString name = at(policy, storage + QStringList{u"cookie"_s}).toString();
    return name.isEmpty()
               ? u"every cookie of the sites is a command: name the web system's command cookie with "
                 u"--cookie NAME and cookiename=NAME in sct.txt"_s
               : u"command cookie "_s + name;
}

bool hostRuns(const QString& path)
{
    if (!QFileInfo(path).isExecutable())
        return false;
    QProcess host;
    host.setStandardInputFile(QProcess::nullDevice());
    host.start(path, {u"--help"_s});
    if (!host.waitForFinished(5000)) {
        host.kill();
        host.waitForFinished();
        return false;
    }
    return host.exitStatus() == QProcess::NormalExit && host.exitCode() == 0;
}

class Report
{
public:
    void heading(const QString& text) { m_report.lines.append(text); }
    void ok(const QString& text) { say(u"in place"_s, text); }
    void bad(const QString& text)
    {
        say(u"NOT IN PLACE"_s, text);
        ++m_report.failures;
    }
    void say(const QString& what, const QString& text)
    {
        m_report.lines.append(u"  "_s + what + u": " + text);
    }
    void notChecked(const QString& text)
    {
        say(u"not checked"_s, text);
        m_report.partial = true;
    }
    CheckReport finish()
    {
        if (m_report.failures > 0)
            m_report.lines.append(
                u"Not in place: %1; run orvane-browser-setup again, or open the browser once, and check again."_s
                    .arg(m_report.failures));
        else if (m_report.partial)
            m_report.lines.append(
                u"Nothing out of place, but not everything was checked: run it as root for the rest."_s);
        else
            m_report.lines.append(u"All in place."_s);
        return m_report;
    }

private:
    CheckReport m_report;
};

// The host manifest names orvane.bridge, a host that runs, and the extension.
void checkHost(Report& report, const QString& file, const QString& key, const QString& expected)
{
    const Result<QJsonObject> manifest = readJsonObject(file);
    const QString path = manifest ? manifest->value(u"path").toString() : QString();
    if (!manifest)
        report.bad(u"host manifest %1: %2"_s.arg(file, manifest.error()));
    else if (manifest->value(u"name").toString() != kHostName)
        report.bad(u"host manifest %1: its name is not %2"_s.arg(file, kHostName));
    else if (!hostRuns(path))
        report.bad(u"host manifest %1: the host %2 does not run"_s.arg(file, path));
    else if (!stringsOf(manifest->value(key)).contains(expected))
        report.bad(u"host manifest %1: not for the extension %2"_s.arg(file, expected));
    else
        report.ok(u"host manifest %1 (host %2)"_s.arg(file, path));
}

void activeProfile(Report& report, const QString& where, const QString& version, const QString& packaged)
{
    QString note;
    if (QVersionNumber::fromString(version) < QVersionNumber::fromString(packaged))
        note = u"; the package has %1, which the browser installs by itself once the set-up has run"_s.arg(
            packaged);
    report.ok(u"%1 (extension %2, active%3)"_s.arg(where, version, note));
}

// Chromium keeps the extension's entry in Secure Preferences or Preferences, its files in Extensions.
void checkChromiumProfile(Report& report, const DeskUser& user, const QString& profile, const QString& id,
                          const QString& packaged)
{
    const QString where = u"%1, profile %2"_s.arg(user.name, profile);
    QJsonObject settings;
    for (const QString& file : {u"Secure Preferences"_s, u"Preferences"_s}) {
        const Result<QJsonObject> preferences = readJsonObject(QDir(profile).filePath(file));
        if (preferences && at(*preferences, {u"extensions"_s, u"settings"_s, id}).isObject()) {
            settings = at(*preferences, {u"extensions"_s, u"settings"_s, id}).toObject();
            break;
        }
    }
    const QDir files(QDir(profile).filePath(u"Extensions/"_s + id));
    const QStringList versions = files.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const bool installed = std::any_of(versions.cbegin(), versions.cend(), [&](const QString& dir) {
        return QFileInfo::exists(files.filePath(dir + u"/manifest.json"));
    });
    if (settings.isEmpty() || !installed) {
        report.bad(where + u": the extension is not installed"_s);
        return;
    }
    const QJsonValue reasons = settings.value(u"disable_reasons");
    const bool disabled = (reasons.isArray() && !reasons.toArray().isEmpty()) ||
                          (reasons.isDouble() && reasons.toInt() != 0) ||
                          (settings.contains(u"state") && settings.value(u"state").toInt() == 0);
    if (disabled) {
        report.bad(where + u": the extension is disabled"_s);
        return;
    }
    // The version is the folder's name in the entry's path: <id>/<version>_0.
    QString version = settings.value(u"path").toString().section(u'/', -1);
    version = version.left(version.lastIndexOf(u'_') > 0 ? version.lastIndexOf(u'_') : version.size());
    activeProfile(report, where, version, packaged);
}

// Firefox keeps its add-ons in extensions.json.
void checkFirefoxProfile(Report& report, const DeskUser& user, const QString& profile, const QString& id,
                         const QString& packaged)
{
    const QString where = u"%1, profile %2"_s.arg(user.name, profile);
    const Result<QJsonObject> extensions = readJsonObject(QDir(profile).filePath(u"extensions.json"_s));
    QJsonObject addon;
    for (const QJsonValue& entry : extensions ? extensions->value(u"addons").toArray() : QJsonArray())
        if (entry.toObject().value(u"id").toString() == id)
            addon = entry.toObject();
    if (addon.isEmpty())
        report.bad(where + u": the extension is not installed"_s);
    else if (!addon.value(u"active").toBool())
        report.bad(where + u": the extension is disabled"_s);
    else
        activeProfile(report, where, addon.value(u"version").toString(), packaged);
}

QStringList chromiumProfiles(const QString& home)
{
    QStringList profiles;
    const QDir data(home + u"/.config/chromium"_s);
    for (const QString& dir : data.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        if (QFileInfo::exists(data.filePath(dir + u"/Preferences")))
            profiles.append(data.filePath(dir));
    return profiles;
}

// Every profile that profiles.ini lists and that Firefox has started once (it has prefs.js): Firefox
// makes new ones under ~/.config/mozilla (XDG), older ones stay in ~/.mozilla; a profile may be
// anywhere (IsRelative=0).
QStringList firefoxProfilesOf(const QString& home)
{
    QStringList profiles;
    for (const QString& folder :
         QStringList{home + u"/.config/mozilla/firefox"_s, home + u"/.mozilla/firefox"_s})
        for (const FirefoxProfile& profile : firefoxProfiles(folder)) {
            const QString path = QDir::cleanPath(profile.folder);
            if (QFileInfo::exists(path + u"/prefs.js") && !profiles.contains(path))
                profiles.append(path);
        }
    return profiles;
}

void checkChromium(Report& report, const DeskCheck& desk)
{
    report.heading(u"Chromium (%1)"_s.arg(desk.chromium));
    const PublicKey key = readPublicKey(desk.keyPath);
    if (key.problem) {
        if (key.problem->kind == KeyProblem::Kind::NotReadable && !desk.root) {
            report.notChecked(
                u"the policy, the host manifest and the profiles need the desk key %1, which root alone can read: run sudo orvane-browser-setup --check"_s
                    .arg(desk.keyPath));
        } else if (key.problem->kind == KeyProblem::Kind::Missing) {
            report.bad(u"the desk key %1 is missing; run orvane-browser-setup --site … to make it"_s.arg(
                desk.keyPath));
        } else {
            report.bad(
                u"the desk key %1 cannot be read (%2); without it the extension's id is not known"_s.arg(
                    desk.keyPath, key.problem->text));
        }
        return;
    }
    const QString id = chromiumIdOf(key.der);
    const QString policyPath = desk.chromiumPolicyDir + u"/orvane.json"_s;
    if (const Result<QJsonObject> policy = readJsonObject(policyPath); !policy) {
        report.bad(u"policy %1: %2"_s.arg(policyPath, policy.error()));
    } else {
        const QStringList forced = stringsOf(policy->value(u"ExtensionInstallForcelist"));
        const auto entry = std::find_if(forced.cbegin(), forced.cend(),
                                        [&](const QString& item) { return item.startsWith(id + u';'); });
        const QString updates =
            entry == forced.cend() ? QString() : QUrl(entry->mid(id.size() + 1)).toLocalFile();
        QFile updatesFile(updates);
        const std::optional<QString> crx =
            updatesFile.open(QIODevice::ReadOnly) ? crxOfUpdates(updatesFile.readAll()) : std::nullopt;
        const QStringList sites = stringsOf(at(*policy, {u"3rdparty"_s, u"extensions"_s, id, u"sites"_s}));
        if (entry == forced.cend())
            report.bad(u"policy %1: does not install the extension %2 of the desk key"_s.arg(policyPath, id));
        else if (!crx || !QFileInfo::exists(*crx))
            report.bad(
                u"policy %1: its update manifest or package is missing (%2)"_s.arg(policyPath, updates));
        else if (sites.isEmpty())
            report.bad(u"policy %1: names no site"_s.arg(policyPath));
        else
            report.ok(u"policy %1 (extension %2, sites %3; %4)"_s.arg(
                policyPath, id, sites.join(u' '),
                commandCookie(*policy, {u"3rdparty"_s, u"extensions"_s, id})));
    }
    checkHost(report, desk.chromiumHostsDir + u"/orvane.bridge.json"_s, u"allowed_origins"_s,
              u"chrome-extension://"_s + id + u'/');
    for (const DeskUser& user : desk.users) {
        const QStringList profiles = chromiumProfiles(user.home);
        if (profiles.isEmpty())
            report.say(u"not opened yet"_s, u"%1 (%2)"_s.arg(user.name, user.home));
        for (const QString& profile : profiles)
            checkChromiumProfile(report, user, profile, id, desk.version);
    }
}

void checkFirefox(Report& report, const DeskCheck& desk)
{
    report.heading(u"Firefox (%1)"_s.arg(desk.firefox));
    const QString policiesPath = desk.firefoxPolicyDir + u"/policies.json"_s;
    if (const Result<QJsonObject> policies = readJsonObject(policiesPath); !policies) {
        report.bad(u"policy %1: %2"_s.arg(policiesPath, policies.error()));
    } else {
        const QJsonObject settings =
            at(*policies, {u"policies"_s, u"ExtensionSettings"_s, desk.geckoId}).toObject();
        const QString xpi = QUrl(settings.value(u"install_url").toString()).toLocalFile();
        const QStringList sites = stringsOf(
            at(*policies, {u"policies"_s, u"3rdparty"_s, u"Extensions"_s, desk.geckoId, u"sites"_s}));
        if (settings.value(u"installation_mode").toString() != u"force_installed")
            report.bad(u"policy %1: does not install the extension %2"_s.arg(policiesPath, desk.geckoId));
        else if (xpi.isEmpty() || !QFileInfo::exists(xpi))
            report.bad(u"policy %1: its package %2 is missing"_s.arg(policiesPath, xpi));
        else if (sites.isEmpty())
            report.bad(u"policy %1: names no site"_s.arg(policiesPath));
        else
            report.ok(
                u"policy %1 (extension %2, sites %3)"_s.arg(policiesPath, desk.geckoId, sites.join(u' ')));
    }
    checkHost(report, desk.firefoxHostsDir + u"/orvane.bridge.json"_s, u"allowed_extensions"_s, desk.geckoId);
    for (const DeskUser& user : desk.users) {
        const QStringList profiles = firefoxProfilesOf(user.home);
        if (profiles.isEmpty())
            report.say(u"not opened yet"_s, u"%1 (%2)"_s.arg(user.name, user.home));
        for (const QString& profile : profiles)
            checkFirefoxProfile(report, user, profile, desk.geckoId, desk.version);
    }
}

} // namespace

QList<DeskUser> deskUsers()
{
    QList<DeskUser> users;
    setpwent();
    while (const passwd* entry = getpwent())
        if (entry->pw_uid == 0 || (entry->pw_uid >= 1000 && entry->pw_uid < 65534))
            users.append({QString::fromLocal8Bit(entry->pw_name), QFile::decodeName(entry->pw_dir)});
    endpwent();
    return users;
}

CheckReport checkDesk(const DeskCheck& desk)
{
    Report report;
    for (const QString& problem : desk.problems)
        report.bad(problem);
    if (!desk.chromium.isEmpty())
        checkChromium(report, desk);
    if (!desk.firefox.isEmpty())
        checkFirefox(report, desk);
    if (desk.chromium.isEmpty() && desk.firefox.isEmpty())
        report.heading(u"Neither Chromium nor Firefox is installed."_s);
    return report.finish();
}

} // namespace orvane::setup
