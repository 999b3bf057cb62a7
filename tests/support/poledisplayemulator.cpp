#include "support/poledisplayemulator.h"

namespace orvane::test {

void PoleDisplayEmulator::clearScreen()
{
    m_lines[0] = m_lines[1] = QString(display::kPoleColumns, u' ');
    m_row = m_column = 0;
}

QChar PoleDisplayEmulator::shown(unsigned char byte) const
{
    if (byte == 0x5C)
        return m_japan ? QChar(0xA5) : QChar(u'\\');
    if (byte >= 0xA1 && byte <= 0xDF)
        return m_katakana ? QChar(0xFF61 + (byte - 0xA1)) : QChar(0x25A1);
    return QChar(char16_t(byte));
}

void PoleDisplayEmulator::put(unsigned char byte)
{
    if (m_row > 1)
        return;
    m_lines[m_row][m_column] = shown(byte);
    if (++m_column == display::kPoleColumns) { // overwrite mode: on to the start of the next line
        m_column = 0;
        ++m_row;
    }
}

void PoleDisplayEmulator::feed(const QByteArray& bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!m_pending.isEmpty()) {
            m_pending += char(byte);
            const QByteArray& p = m_pending;
            if (m_set == display::DisplayType::EscPos) {
                if (p == "\x1b@") {
                    clearScreen();
                    m_japan = m_katakana = false;
                } else if (p.size() == 3 && p.startsWith("\x1bt")) {
                    m_katakana = p[2] == 1;
                } else if (p.size() == 3 && p.startsWith("\x1bR")) {
                    m_japan = p[2] == 8;
                } else if (p.size() == 4 && p.startsWith("\x1f$")) {
                    m_column = qBound(1, int(p[2]), display::kPoleColumns) - 1;
                    m_row = qBound(1, int(p[3]), 2) - 1;
                } else {
                    continue; // not complete yet
                }
            } else {
                if (p == "\x1b@") {
                    if (!m_stringMode) {
                        clearScreen();
                        m_japan = m_katakana = false;
                    }
                } else if (p.size() == 3 && p.startsWith("\x1b"
                                                         "f")) {
                    m_japan = p[2] == 'J';
                } else if (p.size() == 3 && p.startsWith("\x1b"
                                                         "c")) {
                    m_katakana = p[2] == 'J';
                } else if (p.size() >= 3 && p.startsWith("\x1bQ")) {
                    if (byte != 0x0D)
                        continue; // the line's text goes on to its CR
                    const int row = p[2] == 'A' ? 0 : 1;
                    m_lines[row] = QString(display::kPoleColumns, u' ');
                    for (qsizetype i = 3; i < p.size() - 1 && i - 3 < display::kPoleColumns; ++i)
                        m_lines[row][i - 3] = shown(static_cast<unsigned char>(p[i]));
                    m_stringMode = true;
                } else {
                    continue;
                }
            }
            m_pending.clear();
            continue;
        }
        if (byte == 0x1B || byte == 0x1F) {
            m_pending = QByteArray(1, char(byte));
        } else if (byte == 0x0C) {
            clearScreen();
            m_stringMode = false;
        } else if (byte >= 0x20) {
            put(byte);
        }
    }
}

} // namespace orvane::test
