#include "base/devicestatus.h"

namespace orvane {
namespace {

constexpr struct
{
    Device device;
    const char16_t* key;
    const char16_t* caption;
} kDeviceNames[] = {
    {Device::Printer, u"printer", u"印刷"},     {Device::Display, u"display", u"客表示"},
    {Device::Browser, u"browser", u"ブラウザ"}, {Device::Server, u"server", u"サーバー"},
    {Device::CallerId, u"callerid", u"着信"},
};

constexpr const char16_t* kStateWords[] = {u"ok", u"problem", u"unused", u"unknown"};

} // namespace

QString deviceKey(Device device)
{
    return QString::fromUtf16(kDeviceNames[std::size_t(device)].key);
}

QString deviceCaption(Device device)
{
    return QString::fromUtf16(kDeviceNames[std::size_t(device)].caption);
}

QString stateWord(DeviceState state)
{
    return QString::fromUtf16(kStateWords[std::size_t(state)]);
}

static_assert(std::size(kDeviceNames) == std::size(kDevices));
static_assert(kDeviceNames[std::size_t(Device::CallerId)].device == Device::CallerId);

} // namespace orvane
