#pragma once

#include "tools/browsersetup/setupoptions.h"

#include <QStringList>

namespace orvane::setup {

// The set-up's outcome: the lines to print, the message that stopped it (nothing is half-done then:
// what was written before the stop is whole, and the policies never name a package that is not there)
// and the exit status.
struct SetupRun
{
    QStringList lines;
    QString error;
    int exitStatus = 0;
};

// --site …: the desk key (made once), the prepared extension, the XPI and the CRX with its update
// manifest, then the policies and host manifests that name them, then the packages of an earlier
// version are removed. chromium is the browser that packs the CRX (empty: not installed).
SetupRun setUpDesk(const SetupOptions& options, const QString& chromium);

// --remove: what the set-up wrote, except the desk key; the desk's own Firefox policies stay.
SetupRun removeSetUp(const SetupOptions& options);

// The extension's ids and version, from its manifest.
struct ExtensionInfo
{
    QString geckoId;
    QString version;
    QStringList files; // the folder's files, manifest.json first
};
Result<ExtensionInfo> readExtension(const QString& folder);

} // namespace orvane::setup
