// The browser host's input: native-messaging frames from any bytes, in two pieces, each frame turned
// into a cookie set and the bridge's request line and back.
#include "browser/nativemessaging.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    orvane::NativeFrameReader reader;
    QList<orvane::NativeFrameReader::Frame> frames = reader.feed(bytes.left(bytes.size() / 2));
    frames += reader.feed(bytes.mid(bytes.size() / 2));
    for (const orvane::NativeFrameReader::Frame& frame : frames) {
        if (!frame)
            continue;
        if (const orvane::Result<orvane::CookieSet> set = orvane::cookieSetFromExtension(*frame))
            (void)orvane::cookieSetFromBridgeRequest(orvane::bridgeRequest(*set));
    }
    (void)orvane::cookieSetFromBridgeRequest(bytes);
    return 0;
}
