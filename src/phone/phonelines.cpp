#include "phone/phonelines.h"

#include "base/settingsfile.h"
#include "platform/serialport.h"

namespace orvane {
namespace {

std::optional<QString> setPortNumber(SerialPort& port, const char* key, const std::optional<QString>& setting)
{
    const std::optional<qint16> number = portNumberSetting(setting);
    if (number && port.setCommPort(*number))
        return std::nullopt;
    return invalidSettingError(QLatin1String(key), number ? port.errorString() : textOf(setting));
}

} // namespace

std::optional<QString> setUpModemLine(SerialPort& port, const Settings& settings)
{
    if (std::optional<QString> error = setPortNumber(port, "modemport", settings.modemport))
        return error;
    port.setSettings(QStringLiteral("9600,n,8,1"));
    return std::nullopt;
}

std::optional<QString> setUpCallerNumberLine(SerialPort& port, const Settings& settings)
{
    if (std::optional<QString> error = setPortNumber(port, "nodspport", settings.nodspport))
        return error;
    port.setSettings(QStringLiteral("9600,E,7,1"));
    port.setHandshaking(0);
    port.setRTSEnable(false);
    port.setRThreshold(1);
    port.setSThreshold(1);
    return std::nullopt;
}

} // namespace orvane
