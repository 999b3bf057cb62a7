#include "tools/browsersetup/desksetup.h"

#include "tools/browsersetup/deskkey.h"
#include "tools/browsersetup/packing.h"
#include "tools/browsersetup/policies.h"
#include "tools/browsersetup/setupfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace orvane::setup {

using namespace Qt::StringLiterals;

namespace {

SetupRun stopped(const QString& error, int status = 1)
{
    return {{}, error, status};
}

Result<QJsonObject> readDesksPolicies(const QString& path)
{
    // The desk's own policies are merged with ours: a file that cannot be read stops the set-up.
    if (!QFileInfo::exists(path))
        return QJsonObject();
    const Result<QJsonObject> read = readJsonObject(path);
    if (!read)
        return fail(u"%1 is not valid JSON; mend it and run again (nothing was changed)"_s.arg(path));
    return read;
}

} // namespace

Result<ExtensionInfo> readExtension(const QString& folder)
{
    QFile manifest(QDir(folder).filePath(u"manifest.json"_s));
    if (!manifest.open(QIODevice::ReadOnly))
        return fail(u"no extension in %1"_s.arg(folder));
    const QJsonObject object = QJsonDocument::fromJson(manifest.readAll()).object();
    ExtensionInfo info{object.value(u"browser_specific_settings")
                           .toObject()
                           .value(u"gecko")
                           .toObject()
                           .value(u"id")
                           .toString(),
                       object.value(u"version").toString(),
                       {u"manifest.json"_s}};
    if (info.geckoId.isEmpty() || info.version.isEmpty())
        return fail(u"%1 names no Firefox id or version"_s.arg(manifest.fileName()));
    for (const QString& file : QDir(folder).entryList(QDir::Files, QDir::Name))
        if (file != u"manifest.json")
            info.files.append(file);
    return info;
}

SetupRun setUpDesk(const SetupOptions& options, const QString& chromium)
{
    // Everything that can stop the set-up is looked at before anything is written.
    const Result<ExtensionInfo> extension = readExtension(options.extension);
    if (!extension)
        return stopped(extension.error());
    const QString host = QFileInfo(options.host).canonicalFilePath();
    if (host.isEmpty() || !QFileInfo(host).isExecutable())
        return stopped(u"no native host at %1"_s.arg(options.host));
    const QString policiesPath = options.firefoxPolicyDir + u"/policies.json"_s;
    const Result<QJsonObject> desks = readDesksPolicies(policiesPath);
    if (!desks)
        return stopped(desks.error());
    if (options.packCrx && chromium.isEmpty())
        return stopped(u"chromium not found (use --no-crx)"_s);

    SetupLock lock;
    if (Result<> locked = lock.lock(QFileInfo(options.out).absolutePath()); !locked)
        return stopped(locked.error());
    SetupRun run;
    QStringList written;

    // The desk's key: made once, readable by root alone. It fixes the extension's id in Chromium.
    const QString keyPath = options.keyPath();
    if (!QFileInfo::exists(keyPath)) {
        if (!QDir().mkpath(options.keyDir))
            return stopped(u"cannot make %1"_s.arg(options.keyDir));
        if (Result<> made = createDeskKey(keyPath); !made)
            return stopped(made.error());
        written.append(keyPath);
    }
    QFile::setPermissions(keyPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const PublicKey key = readPublicKey(keyPath);
    if (key.problem)
        return stopped(u"the desk key %1 cannot be read: %2"_s.arg(keyPath, key.problem->text));
    const QString chromiumId = chromiumIdOf(key.der);

    // The extension as installed: the package's, with the desk's public key. The sites are not in it:
    // they are in the policies, so that changing them needs no new extension.
    if (!QDir().mkpath(options.out))
        return stopped(u"cannot make %1"_s.arg(options.out));
    const QString out = QFileInfo(options.out).canonicalFilePath();
    const MadeFiles made(out);
    QStringList ours;
    const QString prepared = out + u"/extension"_s;
    for (const QString& file : extension->files) {
        QFile source(QDir(options.extension).filePath(file));
        if (!source.open(QIODevice::ReadOnly))
            return stopped(u"cannot read %1: %2"_s.arg(source.fileName(), source.errorString()));
        QByteArray bytes = source.readAll();
        if (file == u"manifest.json") {
            QJsonObject manifest = QJsonDocument::fromJson(bytes).object();
            manifest.insert(u"key"_s, QString::fromLatin1(key.der.toBase64()));
            bytes = QJsonDocument(manifest).toJson(QJsonDocument::Indented);
        }
        if (Result<> replaced = replaceFile(prepared + u'/' + file, bytes); !replaced)
            return stopped(replaced.error());
        ours.append(u"extension/"_s + file);
    }
    written.append(prepared);

    // Firefox: an XPI named by its version (a new version is a new address, which Firefox installs).
    const QString xpiName = u"orvane-bridge-%1.xpi"_s.arg(extension->version);
    if (Result<> zipped = zipExtension(prepared, extension->files, out + u'/' + xpiName); !zipped)
        return stopped(zipped.error());
    ours.append(xpiName);
    written.append(out + u'/' + xpiName);

    // Chromium: the CRX and its update manifest, in place before a policy names them.
    const QString updates = out + u"/updates.xml"_s;
    if (options.packCrx) {
        const QString crxName = u"orvane-bridge-%1.crx"_s.arg(extension->version);
        if (Result<> packed =
                packCrx(chromium, prepared, keyPath, out + u"/.packing"_s, out + u'/' + crxName);
            !packed)
            return stopped(packed.error());
        ours.append(crxName);
        written.append(out + u'/' + crxName);
        if (Result<> replaced =
                replaceFile(updates, updatesXml(chromiumId, out + u'/' + crxName, extension->version));
            !replaced)
            return stopped(replaced.error());
        ours.append(u"updates.xml"_s);
        written.append(updates);
    }
    // The list first: a run stopped from here on still knows what it made.
    if (Result<> listed = made.write(made.read() + ours); !listed)
        return stopped(listed.error());

    // The policies: the desk's other Firefox policies stay; ours replace what an earlier run wrote (the
    // site list whole).
    const QList<std::pair<QString, QByteArray>> policies = [&] {
        QList<std::pair<QString, QByteArray>> files{
            {policiesPath, jsonFile(firefoxPoliciesWith(*desks, extension->geckoId, out + u'/' + xpiName,
                                                        options.sites, options.cookie))}};
        if (options.packCrx)
            files.append({options.chromiumPolicyDir + u"/orvane.json"_s,
                          jsonFile(chromiumPolicy(chromiumId, updates, options.sites, options.cookie))});
        files.append({options.chromiumHostsDir + u"/orvane.bridge.json"_s,
                      jsonFile(hostManifest(Browser::Chromium, host, chromiumId))});
        files.append({options.firefoxHostsDir + u"/orvane.bridge.json"_s,
                      jsonFile(hostManifest(Browser::Firefox, host, extension->geckoId))});
        return files;
    }();
    for (const auto& [path, bytes] : policies) {
        if (Result<> replaced = replaceFile(path, bytes); !replaced)
            return stopped(replaced.error());
        written.append(path);
    }

    // What an earlier version left is no longer named by any policy. Without a CRX of this run, the
    // Chromium policy of an earlier one still names its package.
    if (!options.packCrx)
        for (const QString& file : made.read())
            if (file.endsWith(u".crx") || file == u"updates.xml")
                ours.append(file);
    for (const QString& gone : made.removeAllBut(ours))
        run.lines.append(u"Removed: "_s + gone);
    if (Result<> listed = made.write(ours); !listed)
        return stopped(listed.error());

    run.lines.append(u"Written or changed:"_s);
    for (const QString& file : std::as_const(written))
        run.lines.append(u"  "_s + (QFileInfo(file).canonicalFilePath().isEmpty()
                                        ? QFileInfo(file).absoluteFilePath()
                                        : QFileInfo(file).canonicalFilePath()));
    run.lines.append(u"Chromium extension id: "_s + chromiumId);
    run.lines.append(u"Firefox extension id:  "_s + extension->geckoId);
    run.lines.append(u"Sites: "_s + options.sites.join(u' '));
    run.lines.append(
        options.cookie.isEmpty()
            ? u"Command cookie: none named, so every cookie of the sites goes to the bridge; name the "
              u"web system's command cookie with --cookie NAME (and cookiename=NAME in sct.txt)"_s
            : u"Command cookie: "_s + options.cookie + u" (the sites' other cookies stay in the browser)"_s);
    run.lines.append(u"Prepared in "_s + out);
    run.lines.append(
        u"Next: open each desk user's browser once (its first start installs the extension), then run"_s);
    run.lines.append(u"  orvane-browser-setup --check"_s);
    return run;
}

SetupRun removeSetUp(const SetupOptions& options)
{
    const Result<ExtensionInfo> extension = readExtension(options.extension);
    SetupLock lock;
    if (QFileInfo::exists(options.out)) {
        if (Result<> locked = lock.lock(QFileInfo(options.out).absolutePath()); !locked)
            return stopped(locked.error());
    }
    SetupRun run;
    QStringList changed;
    for (const QString& file : QStringList{options.chromiumPolicyDir + u"/orvane.json"_s,
                                           options.chromiumHostsDir + u"/orvane.bridge.json"_s,
                                           options.firefoxHostsDir + u"/orvane.bridge.json"_s})
        if (QFile::remove(file))
            changed.append(file);
    // Firefox's policies: ours out, the desk's own stay; a file left with none goes.
    const QString policiesPath = options.firefoxPolicyDir + u"/policies.json"_s;
    if (const Result<QJsonObject> policies = readDesksPolicies(policiesPath);
        extension && policies && !policies->isEmpty()) {
        const std::optional<QJsonObject> left = firefoxPoliciesWithout(*policies, extension->geckoId);
        if (left == *policies) {
            // nothing of ours in it
        } else if (!left) {
            if (QFile::remove(policiesPath))
                changed.append(policiesPath);
        } else if (Result<> replaced = replaceFile(policiesPath, jsonFile(*left)); replaced) {
            changed.append(policiesPath);
        } else {
            run.lines.append(replaced.error());
            run.exitStatus = 1;
        }
    } else if (!policies) {
        run.lines.append(policies.error());
        run.exitStatus = 1;
    } else if (!extension) {
        run.lines.append(extension.error() + u"; the Firefox policies were left as they are"_s);
        run.exitStatus = 1;
    }
    if (QFileInfo::exists(options.out))
        changed += MadeFiles(QFileInfo(options.out).absoluteFilePath()).removeAll();
    run.lines.append(u"Removed or changed:"_s);
    for (const QString& file : std::as_const(changed))
        run.lines.append(u"  "_s + file);
    return run;
}

} // namespace orvane::setup
