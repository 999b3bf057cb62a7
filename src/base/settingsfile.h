#pragma once

#include "base/settings.h"
#include "text/result.h"

#include <QString>
#include <QStringList>

namespace orvane {

// The items of a comma-delimited text file as the settings file is read: leading blanks are skipped;
// an item that begins with a double quote runs to the closing quote and comes without the quotes; any
// other item runs up to the next comma or the end of the line.
QStringList readDelimitedItems(const QString& content);

struct LoadedSettings
{
    Settings settings;
    qint32 dialPort = 0; // the server's port, from dialport
};

// Applies every item to the settings, each key tested in the key table's order with its match text
// found anywhere in the item. The error names the value that could not be taken (a footer layout, a
// cookiestore the bridge does not know).
Result<Settings> applySettingItems(const QStringList& items, Settings settings = {});

// Reads the settings file at path over the built-in defaults. A server port out of range (while a
// server is set) is an error too.
Result<LoadedSettings> loadSettingsFile(const QString& path);

// The start-up error for a setting of sct.txt whose value cannot be used.
QString invalidSettingError(QLatin1String key, const QString& detail);

// The server's port: the leading number of the dialport setting (0 when unset); nullopt out of range.
std::optional<qint32> dialPortSetting(const Settings& settings);

// The number of a port setting (modemport, nodspport): its leading number rounded to a 16-bit integer,
// nullopt when out of range.
std::optional<qint16> portNumberSetting(const std::optional<QString>& field);

} // namespace orvane
