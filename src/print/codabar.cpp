#include "print/codabar.h"

namespace orvane {
namespace {

constexpr double kWide = 2.5;

// Seven elements a character (bar, space, bar, space, bar, space, bar); "1" marks a wide one.
const char* pattern(QChar c)
{
    switch (c.toUpper().unicode()) {
    case u'0':
        return "0000011";
    case u'1':
        return "0000110";
    case u'2':
        return "0001001";
    case u'3':
        return "1100000";
    case u'4':
        return "0010010";
    case u'5':
        return "1000010";
    case u'6':
        return "0100001";
    case u'7':
        return "0100100";
    case u'8':
        return "0110000";
    case u'9':
        return "1001000";
    case u'-':
        return "0001100";
    case u'$':
        return "0011000";
    case u':':
        return "1000101";
    case u'/':
        return "1010001";
    case u'.':
        return "1010100";
    case u'+':
        return "0010101";
    case u'A':
        return "0011010";
    case u'B':
        return "0101001";
    case u'C':
        return "0001011";
    case u'D':
        return "0001110";
    default:
        return nullptr;
    }
}

} // namespace

QList<double> codabarElements(const QString& text)
{
    QList<double> elements;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char* bits = pattern(text[i]);
        if (!bits)
            return {};
        if (i > 0)
            elements.append(1.0); // gap between characters
        for (int e = 0; e < 7; ++e)
            elements.append(bits[e] == '1' ? kWide : 1.0);
    }
    return elements;
}

} // namespace orvane
