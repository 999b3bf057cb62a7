#pragma once

#include <QDateTime>
#include <QString>

namespace orvane {

// The desk's devices as the staff see them in the status row and orvane --status reports them.
enum class Device { Printer, Display, Browser, Server, CallerId };
inline constexpr Device kDevices[] = {Device::Printer, Device::Display, Device::Browser, Device::Server,
                                      Device::CallerId};

enum class DeviceState { Ok, Problem, Unused, Unknown };

// One device's state: a problem has its reason word (fixed, for scripts) and the staff's text (what is
// wrong and what to do); since is when the state or reason last changed.
struct DeviceStatus
{
    DeviceState state = DeviceState::Unknown;
    QString reason; // empty unless a problem
    QString text;
    QDateTime since;

    static DeviceStatus ok(const QString& text) { return {DeviceState::Ok, {}, text, {}}; }
    static DeviceStatus problem(const QString& reason, const QString& text)
    {
        return {DeviceState::Problem, reason, text, {}};
    }
    static DeviceStatus unknown(const QString& text) { return {DeviceState::Unknown, {}, text, {}}; }
    static DeviceStatus unused() { return {DeviceState::Unused, {}, QStringLiteral("使用していません"), {}}; }
    // The same state, reason and text (since aside).
    bool sameAs(const DeviceStatus& other) const
    {
        return state == other.state && reason == other.reason && text == other.text;
    }
};

// The device's key in orvane --status --json ("printer", "display", "browser", "server", "callerid").
QString deviceKey(Device device);
// The device's caption in the status row (印刷, 客表示, ブラウザ, サーバー, 着信).
QString deviceCaption(Device device);
// The state's word ("ok", "problem", "unused", "unknown").
QString stateWord(DeviceState state);

} // namespace orvane
