#pragma once

#include "display/polelines.h"

#include <QByteArray>
#include <QString>

namespace orvane::test {

// A two-line, 20-column customer display that reads one command set, as the customer would read it:
// the yen sign where the Japanese set is selected, half-width katakana where the katakana table is
// (otherwise "□"), nothing of a command left on the screen.
class PoleDisplayEmulator
{
public:
    explicit PoleDisplayEmulator(display::DisplayType set) : m_set(set) { clearScreen(); }

    void feed(const QByteArray& bytes);
    QString upper() const { return m_lines[0]; }
    QString lower() const { return m_lines[1]; }

private:
    void clearScreen();
    void put(unsigned char byte);
    QChar shown(unsigned char byte) const;

    display::DisplayType m_set;
    QString m_lines[2];
    int m_row = 0, m_column = 0;
    bool m_japan = false, m_katakana = false;
    bool m_stringMode = false; // CD5220: between ESC Q A/B and CLR
    QByteArray m_pending;      // an escape sequence not complete yet
};

} // namespace orvane::test
