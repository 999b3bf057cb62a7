// The settings file as read at start-up, from any bytes.
#include "base/settingsfile.h"
#include "text/ansicodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const orvane::Result<orvane::Settings> settings =
        orvane::applySettingItems(orvane::readDelimitedItems(orvane::text::decodeIncoming(bytes)));
    if (settings)
        (void)orvane::portNumberSetting(settings->nodspport);
    return 0;
}
