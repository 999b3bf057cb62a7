#pragma once

#include "text/result.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace orvane::setup {

// What the browsers read by policy, built as JSON (and the update manifest as XML).

inline const QString kHostName = QStringLiteral("orvane.bridge");

// Firefox's policies.json: the desk's own policies with ours merged in (objects merged key by key,
// every other value of ours replacing theirs: the site list is replaced whole). The extension is
// force-installed from the XPI at xpiPath, unsigned add-ons are allowed, and the sites and the command
// cookie's name (empty: every cookie of the sites) go to its managed storage, replacing what was there.
QJsonObject firefoxPoliciesWith(const QJsonObject& desks, const QString& geckoId, const QString& xpiPath,
                                const QStringList& sites, const QString& cookie);
// The desk's policies with ours taken out; an object that held only ours goes with them, every other
// entry of the desk's stays, empty ones included. nullopt when nothing is left (the file goes).
std::optional<QJsonObject> firefoxPoliciesWithout(const QJsonObject& policies, const QString& geckoId);

// Chromium's policy file of our own: force-installs the extension from its update manifest and gives
// it the sites and the command cookie's name.
QJsonObject chromiumPolicy(const QString& chromiumId, const QString& updatesPath, const QStringList& sites,
                           const QString& cookie);

// The native host's manifest for Chromium (allowed_origins) or Firefox (allowed_extensions).
enum class Browser { Chromium, Firefox };
QJsonObject hostManifest(Browser browser, const QString& hostPath, const QString& extensionId);

// Chromium's update manifest: the CRX at crxPath is the extension's version.
QByteArray updatesXml(const QString& chromiumId, const QString& crxPath, const QString& version);
// The CRX an update manifest names; nullopt when it names none.
std::optional<QString> crxOfUpdates(const QByteArray& xml);

// A JSON object as a file's content, and back: the object, or why there is none ("missing", "not valid
// JSON: …").
QByteArray jsonFile(const QJsonObject& object);
Result<QJsonObject> readJsonObject(const QString& path);

} // namespace orvane::setup
