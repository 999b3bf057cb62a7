#include "phone/phonelines.h"

#include "base/settingsfile.h"
#include "platform/serialport.h"

namespace orvane {
namespace {

Result<> setPortNumber(SerialPort& port, const char* key, const std::optional<QString>& setting)
{
    const std::optional<qint16> number = portNumberSetting(setting);
    if (number && port.setCommPort(*number))
        return {};
    return fail(invalidSettingError(QLatin1String(key), number ? port.errorString() : textOf(setting)));
}

} // namespace

Result<> setUpModemLine(SerialPort& port, const Settings& settings)
{
    if (Result<> numbered = setPortNumber(port, "modemport", settings.modemport); !numbered)
        return numbered;
    port.setSettings(QStringLiteral("9600,n,8,1"));
    return {};
}

Result<> setUpCallerNumberLine(SerialPort& port, const Settings& settings)
{
    if (Result<> numbered = setPortNumber(port, "nodspport", settings.nodspport); !numbered)
        return numbered;
    port.setSettings(QStringLiteral("9600,E,7,1"));
    port.setHandshaking(0);
    port.setRTSEnable(false);
    port.setRThreshold(1);
    port.setSThreshold(1);
    return {};
}

} // namespace orvane
