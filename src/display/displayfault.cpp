#include "display/displayfault.h"

using namespace Qt::StringLiterals;

namespace orvane::display {

DeviceStatus displayStatus(int exitStatus, const QString& errorLine)
{
    switch (exitStatus) {
    case 0:
        return DeviceStatus::ok(u"表示しています"_s);
    case kDisplayNotStarted:
        return DeviceStatus::problem(
            u"display-program-missing"_s,
            u"客表示のプログラム (vfddisp) を起動できません: %1。IT 担当者に連絡してください。"_s.arg(
                errorLine));
    case int(DisplayFault::NoConfig):
        return DeviceStatus::problem(
            u"no-config"_s,
            u"客表示が設定されていません (%1)。IT 担当者に連絡してください。"_s.arg(errorLine));
    case int(DisplayFault::NoDevice):
        return DeviceStatus::problem(
            u"no-device"_s,
            u"客表示が見つかりません (%1)。ケーブルと電源を確かめてください。"_s.arg(errorLine));
    case int(DisplayFault::PortHeld):
        return DeviceStatus::problem(
            u"port-held"_s,
            u"客表示のポートを使えません (%1)。ほかのプログラムを閉じてください。"_s.arg(errorLine));
    case int(DisplayFault::LcddUnreachable):
        return DeviceStatus::problem(
            u"lcdd-unreachable"_s,
            u"客表示 (LCDd) につながりません (%1)。LCDd が動いているか IT 担当者に確かめてもらってください。"_s
                .arg(errorLine));
    default:
        return DeviceStatus::problem(
            u"not-taking-text"_s,
            u"客表示が文字を受け付けません (%1)。電源とケーブルを確かめてください。"_s.arg(errorLine));
    }
}

} // namespace orvane::display
