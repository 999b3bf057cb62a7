#include "display/displayfault.h"

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace orvane::display {
namespace {

// What each of vfddisp's faults is called and what the staff are told, with vfddisp's own line.
constexpr struct
{
    int exitStatus;
    const char16_t* reason;
    const char16_t* text;
} kFaults[] = {
    {kDisplayNotStarted, u"display-program-missing",
     u"客表示のプログラム (vfddisp) を起動できません: %1。IT 担当者に連絡してください。"},
    {int(DisplayFault::NoConfig), u"no-config",
     u"客表示が設定されていません (%1)。IT 担当者に連絡してください。"},
    {int(DisplayFault::NoDevice), u"no-device",
     u"客表示が見つかりません (%1)。ケーブルと電源を確かめてください。"},
    {int(DisplayFault::PortHeld), u"port-held",
     u"客表示のポートを使えません (%1)。ほかのプログラムを閉じてください。"},
    {int(DisplayFault::LcddUnreachable), u"lcdd-unreachable",
     u"客表示 (LCDd) につながりません (%1)。LCDd が動いているか IT 担当者に確かめてもらってください。"},
    // Any other status: the display is there and does not take the text.
    {int(DisplayFault::NotTakingText), u"not-taking-text",
     u"客表示が文字を受け付けません (%1)。電源とケーブルを確かめてください。"},
};

} // namespace

DeviceStatus displayStatus(int exitStatus, const QString& errorLine)
{
    if (exitStatus == 0)
        return DeviceStatus::ok(u"表示しています"_s);
    const auto* fault =
        std::find_if(std::begin(kFaults), std::end(kFaults) - 1,
                     [exitStatus](const auto& known) { return known.exitStatus == exitStatus; });
    return DeviceStatus::problem(QString::fromUtf16(fault->reason),
                                 QString::fromUtf16(fault->text).arg(errorLine));
}

} // namespace orvane::display
