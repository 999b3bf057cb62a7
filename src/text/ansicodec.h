#pragma once

#include <QByteArray>
#include <QString>

// The system's ANSI code page of the Japanese desks served: CP932.
namespace orvane::text {

// Qt's ICU codec "Shift_JIS" holds the CP932 table and keeps 0x5C as the backslash.
inline constexpr const char* kAnsiCodePage = "Shift_JIS";

// Text in CP932 bytes, for files, command lines and serial and socket output. The yen sign U+00A5 is
// written as the backslash byte (which CP932 displays as the yen sign), and the wave dash and minus
// sign become the full-width forms that CP932 holds.
QByteArray encodeAnsi(const QString& text);

// Bytes from outside (settings, command files, replies, serial input): UTF-8 when they are valid
// UTF-8, CP932 otherwise.
QString decodeIncoming(const QByteArray& bytes);

// Bytes decoded as CP932 alone.
QString decodeAnsi(const QByteArray& bytes);

} // namespace orvane::text
