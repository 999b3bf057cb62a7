#include "text/incomingdecoder.h"

#include "text/ansicodec.h"

namespace orvane::text {
namespace {

enum class Utf8Scan { Valid, Incomplete, Invalid };

// Checks the UTF-8 character that starts at bytes[i]; its length in *length when it is valid.
Utf8Scan scanCharacter(const QByteArray& bytes, qsizetype i, qsizetype* length)
{
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        *length = 1;
        return Utf8Scan::Valid;
    }
    qsizetype n = 0;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return Utf8Scan::Invalid;
    }
    for (qsizetype k = 1; k < n; ++k) {
        if (i + k >= bytes.size())
            return Utf8Scan::Incomplete;
        const unsigned char c = byte(i + k);
        const unsigned char lo = k == 1 ? low : 0x80;
        const unsigned char hi = k == 1 ? high : 0xBF;
        if (c < lo || c > hi)
            return Utf8Scan::Invalid;
    }
    *length = n;
    return Utf8Scan::Valid;
}

} // namespace

IncomingDecoder::IncomingDecoder() : m_ansiDecoder(kAnsiCodePage) {}

void IncomingDecoder::reset()
{
    m_pending.clear();
    m_ansi = false;
    m_ansiDecoder.resetState();
}

QString IncomingDecoder::decode(const QByteArray& bytes)
{
    if (m_ansi)
        return m_ansiDecoder.decode(bytes);
    m_pending += bytes;
    qsizetype i = 0;
    while (i < m_pending.size()) {
        qsizetype length = 0;
        const Utf8Scan scan = scanCharacter(m_pending, i, &length);
        if (scan == Utf8Scan::Valid) {
            i += length;
            continue;
        }
        if (scan == Utf8Scan::Incomplete)
            break;
        // Not UTF-8: the rest of this message is in the code page.
        m_ansi = true;
        QString text = QString::fromUtf8(m_pending.left(i)) + QString(m_ansiDecoder.decode(m_pending.mid(i)));
        m_pending.clear();
        return text;
    }
    QString text = QString::fromUtf8(m_pending.left(i));
    m_pending.remove(0, i);
    return text;
}

} // namespace orvane::text
