#include "platform/dialler.h"

#include "text/ansicodec.h"

#include <windows.h>

namespace orvane {

LaunchResult TelephonyDialler::dial(const QString& number)
{
    // Assisted Telephony; its result is not looked at, as the dialler reports failures itself.
    using MakeCall = LONG(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
    static HMODULE tapi = LoadLibraryA("TAPI32.DLL");
    if (!tapi)
        return {false, QStringLiteral("TAPI32.DLL がありません")};
    const auto makeCall = reinterpret_cast<MakeCall>(GetProcAddress(tapi, "tapiRequestMakeCall"));
    if (!makeCall)
        return {false, QStringLiteral("tapiRequestMakeCall がありません")};
    const QByteArray destination = text::encodeAnsi(number);
    makeCall(destination.constData(), "", "", "");
    return {};
}

} // namespace orvane
