#pragma once

#include "text/result.h"

#include <QString>
#include <QStringList>

namespace orvane::setup {

// The two steps that need outside programs, each waited for, its failure said with what it printed.

// The XPI: zip of the extension folder's files (names as they stand, no extra attributes), written
// under a temporary name beside xpiPath and renamed when whole.
Result<> zipExtension(const QString& extensionFolder, const QStringList& files, const QString& xpiPath);

// The CRX: Chromium packs the extension folder with the desk key. It runs with a profile, home and
// temporary folder inside workFolder (nothing lands in /tmp or in the home of the user running this)
// in a process group of its own, whose last helper is waited for (and ended after a bound) before the
// folder goes. The CRX is renamed to crxPath.
Result<> packCrx(const QString& chromium, const QString& extensionFolder, const QString& keyPath,
                 const QString& workFolder, const QString& crxPath);

} // namespace orvane::setup
