#pragma once

#include <QByteArray>

namespace orvane::display {

constexpr int kPoleColumns = 20;

// What a two-line, 20-column customer display shows for the display program's argument (CP932 bytes):
// the first 20 characters on the upper line, the next 20 on the lower, each line filled with blanks.
// ASCII and half-width katakana are one column each and keep their single bytes; 0x5C stays 0x5C (the
// yen sign in the displays' Japanese character set); every other character (a kanji, a full-width
// form, a control character) is one "?". An empty argument clears the display.
struct PoleLines
{
    QByteArray upper; // 20 bytes
    QByteArray lower; // 20 bytes
    bool clear = false;

    friend bool operator==(const PoleLines&, const PoleLines&) = default;
};

PoleLines poleLines(const QByteArray& argument);

// The kinds of customer display vfddisp drives: the two command sets of serial pole displays, the
// on-screen display and the displays LCDd drives (both through the long-lived display process).
enum class DisplayType { EscPos, Cd5220, Screen, LcdProc };

// The bytes a serial display's command set sends for the lines (nothing for the other types).
// ESC/POS customer displays: ESC @ (which resets the code table and the international set), ESC t 1
// (katakana), ESC R 8 (Japan: 0x5C is the yen sign), CLR, then each line after US $ column row.
// CD5220: CLR first (it ends a string mode, in which ESC @ is ignored), ESC @, ESC f J and ESC c J
// (Japanese set, JIS katakana), CLR, then ESC Q A line CR and ESC Q B line CR.
QByteArray poleCommands(DisplayType type, const PoleLines& lines);

} // namespace orvane::display
