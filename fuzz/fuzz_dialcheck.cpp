// The dial-check conversation: any reply in the number box, any device text in the buffer.
#include "phone/callernumber.h"
#include "phone/dialcheck.h"
#include "text/ansicodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QString lastDialText;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype half = bytes.size() / 2;
    const QString reply = orvane::text::decodeIncoming(bytes.left(half));
    const QString device = orvane::text::decodeIncoming(bytes.mid(half));
    const std::optional<QString> number = orvane::numberToDial(reply, lastDialText);
    if (number && !number->startsWith(u'0'))
        __builtin_trap();
    orvane::Settings settings;
    const QByteArray request = orvane::text::encodeAnsi(orvane::dialCheckRequest(settings, device));
    if (!request.endsWith("\r\n\r\n"))
        __builtin_trap();
    (void)orvane::commEventMessage(int(size));
    return 0;
}
