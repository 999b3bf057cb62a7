#include "display/polelines.h"

#include <initializer_list>

namespace orvane::display {
namespace {

bool isLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isShownAsItIs(unsigned char byte)
{
    return (byte >= 0x20 && byte <= 0x7E) || (byte >= 0xA1 && byte <= 0xDF);
}

QByteArray line(const QByteArray& columns, int from)
{
    return columns.mid(from, kPoleColumns).leftJustified(kPoleColumns, ' ');
}

QByteArray bytesOf(std::initializer_list<char> bytes)
{
    return QByteArray(bytes.begin(), qsizetype(bytes.size()));
}

} // namespace

PoleLines poleLines(const QByteArray& argument)
{
    if (argument.isEmpty())
        return {QByteArray(kPoleColumns, ' '), QByteArray(kPoleColumns, ' '), true};
    QByteArray columns;
    for (qsizetype i = 0; i < argument.size() && columns.size() < 2 * kPoleColumns; ++i) {
        const auto byte = static_cast<unsigned char>(argument[i]);
        if (isLeadByte(byte) && i + 1 < argument.size())
            ++i; // a double-byte character: one column the display cannot show
        columns += isShownAsItIs(byte) ? char(byte) : '?';
    }
    return {line(columns, 0), line(columns, kPoleColumns), false};
}

QByteArray poleCommands(DisplayType type, const PoleLines& lines)
{
    constexpr char kEsc = 0x1B, kUs = 0x1F, kClr = 0x0C, kCr = 0x0D;
    QByteArray bytes;
    if (type == DisplayType::Screen || type == DisplayType::LcdProc)
        return bytes;
    if (type == DisplayType::EscPos) {
        bytes += bytesOf({kEsc, '@', kEsc, 't', 1, kEsc, 'R', 8, kClr});
        if (lines.clear)
            return bytes;
        bytes += bytesOf({kUs, '$', 1, 1});
        bytes += lines.upper;
        bytes += bytesOf({kUs, '$', 1, 2});
        bytes += lines.lower;
        return bytes;
    }
    bytes += bytesOf({kClr, kEsc, '@', kEsc, 'f', 'J', kEsc, 'c', 'J', kClr});
    if (lines.clear)
        return bytes;
    bytes += bytesOf({kEsc, 'Q', 'A'});
    bytes += lines.upper;
    bytes += kCr;
    bytes += bytesOf({kEsc, 'Q', 'B'});
    bytes += lines.lower;
    bytes += kCr;
    return bytes;
}

} // namespace orvane::display
