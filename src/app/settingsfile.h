#pragma once

#include "app/settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvane {

// The items of a comma-delimited text file as the settings file is read: leading blanks are skipped;
// an item that begins with a double quote runs to the closing quote and comes without the quotes; any
// other item runs up to the next comma or the end of the line.
QStringList readDelimitedItems(const QString& content);

struct SettingsLoad
{
    Settings settings;
    QString error; // empty when the file was read completely

    bool ok() const { return error.isEmpty(); }
};

// Applies every item to the settings, each key tested in the key table's order with its match text
// found anywhere in the item. The error names the value that could not be taken.
SettingsLoad applySettingItems(const QStringList& items, Settings settings = {});

// Reads the settings file at path over the built-in defaults.
SettingsLoad loadSettingsFile(const QString& path);

// The number of a port setting (modemport, nodspport): its leading number rounded to a 16-bit integer,
// nullopt when out of range.
std::optional<qint16> portNumberSetting(const std::optional<QString>& field);

} // namespace orvane
