#include "tools/browsersetup/policies.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <QXmlStreamReader>

namespace orvane::setup {

using namespace Qt::StringLiterals;

namespace {

QJsonObject merged(QJsonObject theirs, const QJsonObject& ours)
{
    for (auto it = ours.begin(); it != ours.end(); ++it) {
        const QJsonValue existing = theirs.value(it.key());
        if (existing.isObject() && it.value().isObject())
            theirs.insert(it.key(), merged(existing.toObject(), it.value().toObject()));
        else
            theirs.insert(it.key(), it.value());
    }
    return theirs;
}

// Removes object[path...] and then each object on the way that it left empty.
void removePath(QJsonObject& object, const QStringList& path)
{
    if (path.size() == 1) {
        object.remove(path.first());
        return;
    }
    if (!object.value(path.first()).isObject())
        return;
    QJsonObject child = object.value(path.first()).toObject();
    const bool hadIt = !child.isEmpty();
    removePath(child, path.mid(1));
    if (hadIt && child.isEmpty())
        object.remove(path.first());
    else
        object.insert(path.first(), child);
}

QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

} // namespace

// What the extension reads from its managed storage.
static QJsonObject managedStorage(const QStringList& sites, const QString& cookie)
{
    return {{u"sites"_s, QJsonArray::fromStringList(sites)}, {u"cookie"_s, cookie}};
}

QJsonObject firefoxPoliciesWith(const QJsonObject& desks, const QString& geckoId, const QString& xpiPath,
                                const QStringList& sites, const QString& cookie)
{
    const QJsonObject ours{
        {u"policies"_s,
         QJsonObject{
             {u"ExtensionSettings"_s,
              QJsonObject{{geckoId, QJsonObject{{u"installation_mode"_s, u"force_installed"_s},
                                                {u"install_url"_s, fileUrl(xpiPath)}}}}},
             {u"Preferences"_s, QJsonObject{{u"xpinstall.signatures.required"_s,
                                             QJsonObject{{u"Value"_s, false}, {u"Status"_s, u"locked"_s}}}}},
             {u"3rdparty"_s,
              QJsonObject{{u"Extensions"_s, QJsonObject{{geckoId, managedStorage(sites, cookie)}}}}},
         }}};
    // Our managed storage is replaced whole (a cookie name an earlier run gave goes with a run without).
    QJsonObject policies = merged(desks, ours);
    QJsonObject inner = policies.value(u"policies"_s).toObject();
    QJsonObject thirdParty = inner.value(u"3rdparty"_s).toObject();
    QJsonObject extensions = thirdParty.value(u"Extensions"_s).toObject();
    extensions.insert(geckoId, managedStorage(sites, cookie));
    thirdParty.insert(u"Extensions"_s, extensions);
    inner.insert(u"3rdparty"_s, thirdParty);
    policies.insert(u"policies"_s, inner);
    return policies;
}

std::optional<QJsonObject> firefoxPoliciesWithout(const QJsonObject& policies, const QString& geckoId)
{
    QJsonObject left = policies;
    removePath(left, {u"policies"_s, u"ExtensionSettings"_s, geckoId});
    removePath(left, {u"policies"_s, u"3rdparty"_s, u"Extensions"_s, geckoId});
    removePath(left, {u"policies"_s, u"Preferences"_s, u"xpinstall.signatures.required"_s});
    if (left.isEmpty())
        return std::nullopt;
    return left;
}

QJsonObject chromiumPolicy(const QString& chromiumId, const QString& updatesPath, const QStringList& sites,
                           const QString& cookie)
{
    return {{u"ExtensionInstallForcelist"_s, QJsonArray{QString(chromiumId + u';' + fileUrl(updatesPath))}},
            {u"3rdparty"_s,
             QJsonObject{{u"extensions"_s, QJsonObject{{chromiumId, managedStorage(sites, cookie)}}}}}};
}

QJsonObject hostManifest(Browser browser, const QString& hostPath, const QString& extensionId)
{
    QJsonObject manifest{{u"name"_s, kHostName},
                         {u"description"_s, u"Orvane bridge"_s},
                         {u"path"_s, hostPath},
                         {u"type"_s, u"stdio"_s}};
    if (browser == Browser::Chromium)
        manifest.insert(u"allowed_origins"_s,
                        QJsonArray{QString(u"chrome-extension://"_s + extensionId + u'/')});
    else
        manifest.insert(u"allowed_extensions"_s, QJsonArray{extensionId});
    return manifest;
}

QByteArray updatesXml(const QString& chromiumId, const QString& crxPath, const QString& version)
{
    const auto attribute = [](const QString& text) {
        return text.toHtmlEscaped().replace(u'\'', u"&apos;"_s).toUtf8();
    };
    return "<?xml version='1.0' encoding='UTF-8'?>\n"
           "<gupdate xmlns='http://www.google.com/update2/response' protocol='2.0'>\n"
           "  <app appid='" +
           attribute(chromiumId) +
           "'>\n"
           "    <updatecheck codebase='" +
           attribute(fileUrl(crxPath)) + "' version='" + attribute(version) +
           "' />\n"
           "  </app>\n"
           "</gupdate>\n";
}

std::optional<QString> crxOfUpdates(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == u"updatecheck") {
            const QUrl codebase(reader.attributes().value(QLatin1String("codebase")).toString());
            return codebase.isLocalFile() ? std::optional<QString>(codebase.toLocalFile()) : std::nullopt;
        }
    }
    return std::nullopt;
}

Result<QJsonObject> readJsonObject(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return fail(u"missing"_s);
    if (!file.open(QIODevice::ReadOnly))
        return fail(u"cannot be read: "_s + file.errorString());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return fail(u"not valid JSON: "_s + error.errorString());
    if (!document.isObject())
        return fail(u"not a JSON object"_s);
    return document.object();
}

QByteArray jsonFile(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

} // namespace orvane::setup
