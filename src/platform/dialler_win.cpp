#include "platform/dialler.h"

#include "text/ansicodec.h"

#include <windows.h>

namespace orvane {

Result<> TelephonyDialler::dial(const QString& number)
{
    // Assisted Telephony; its result is not looked at, as the dialler reports failures itself.
    using MakeCall = LONG(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
    static HMODULE tapi = LoadLibraryA("TAPI32.DLL");
    if (!tapi)
        return fail(QStringLiteral("TAPI32.DLL がありません"));
    const auto makeCall = reinterpret_cast<MakeCall>(GetProcAddress(tapi, "tapiRequestMakeCall"));
    if (!makeCall)
        return fail(QStringLiteral("tapiRequestMakeCall がありません"));
    const QByteArray destination = text::encodeAnsi(number);
    makeCall(destination.constData(), "", "", "");
    return {};
}

} // namespace orvane
