#include "phone/callernumber.h"

#include "base/logging.h"
#include "platform/serialport.h"

#include <chrono>
#include <thread>

namespace orvane {
namespace {

// The device expects its acknowledgement a moment after it has sent: a few milliseconds, fixed.
constexpr std::chrono::milliseconds kTurnaround{3};

} // namespace

QString receiveAndAcknowledge(SerialPort& port)
{
    const QString received = port.input();
    std::this_thread::sleep_for(kTurnaround);
    port.setRTSEnable(false);
    port.setRTSEnable(true);
    if (!port.setOutput(QString(QChar(0x06))))
        qCWarning(lcPhone) << "acknowledgement not sent:" << port.errorString();
    port.setRTSEnable(false);
    port.setRTSEnable(true);
    return received;
}

std::optional<QString> commEventMessage(int code)
{
    if (code >= comm::kEvSend && code <= comm::kEvEof)
        return std::nullopt;
    switch (code) {
    case comm::kErBreak:
        return QStringLiteral("中断信号受信");
    case comm::kErFrame:
        return QStringLiteral("フレームエラー");
    case comm::kErOverrun:
        return QStringLiteral("オーバーランエラー");
    case comm::kErRxOver:
        return QStringLiteral("受信バッファオーバー");
    case comm::kErRxParity:
        return QStringLiteral("受信パリティエラー");
    case comm::kErTxFull:
        return QStringLiteral("送信バッファフル");
    case comm::kErDcb:
        return QStringLiteral("DCB取得エラー");
    default:
        return QStringLiteral("未定義エラー発生");
    }
}

QString commErrorTitle()
{
    return QStringLiteral("通信エラー");
}

} // namespace orvane
