#include "text/legacytext.h"

namespace orvane::text {

QString mid(const QString& t, qsizetype start, qsizetype count)
{
    if (count <= 0)
        return {};
    const qsizetype from = start < 1 ? 0 : start - 1;
    if (from >= t.size())
        return {};
    return t.mid(from, count);
}

QString mid(const QString& t, qsizetype start)
{
    return mid(t, start, t.size());
}

qsizetype inStr(const QString& t, const QString& key)
{
    return inStrAfter(t, key, 0);
}

qsizetype inStrAfter(const QString& t, const QString& key, qsizetype from)
{
    if (from < 0)
        from = 0;
    if (from > t.size())
        return 0;
    const qsizetype index = t.indexOf(key, from, Qt::CaseSensitive);
    return index < 0 ? 0 : index + 1;
}

double leadingNumber(const QString& t)
{
    QByteArray number;
    bool sawDigit = false;
    bool sawPoint = false;
    for (const QChar c : t) {
        if (c == u' ' || c == u'\t')
            continue;
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            number.append(char(c.unicode()));
            sawDigit = true;
        } else if ((c == u'-' || c == u'+') && number.isEmpty()) {
            number.append(char(c.unicode()));
        } else if (c == u'.' && !sawPoint) {
            number.append('.');
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit)
        return 0.0;
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

std::optional<double> wholeNumber(const QString& t)
{
    const QString s = t.trimmed();
    qsizetype i = 0;
    QByteArray number;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        number.append(char(s[i++].unicode()));
    qsizetype digits = 0;
    qsizetype sinceComma = -1; // digits since the last comma, -1 before any comma
    while (i < s.size()) {
        const QChar c = s[i];
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            number.append(char(c.unicode()));
            ++digits;
            if (sinceComma >= 0)
                ++sinceComma;
        } else if (c == u',' && digits > 0 && (sinceComma < 0 || sinceComma == 3)) {
            sinceComma = 0;
        } else {
            break;
        }
        ++i;
    }
    if (sinceComma >= 0 && sinceComma != 3)
        return std::nullopt;
    if (i < s.size() && s[i] == u'.') {
        number.append('.');
        ++i;
        while (i < s.size() && s[i].unicode() >= u'0' && s[i].unicode() <= u'9') {
            number.append(char(s[i].unicode()));
            ++digits;
            ++i;
        }
    }
    if (digits == 0 || i != s.size())
        return std::nullopt;
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

QString trimBlanks(const QString& t)
{
    qsizetype first = 0;
    qsizetype last = t.size();
    while (first < last && t[first] == u' ')
        ++first;
    while (last > first && t[last - 1] == u' ')
        --last;
    return t.mid(first, last - first);
}

QStringList splitFields(const QString& text, QChar separator)
{
    // The web system's forms hold at most 101 fields; anything past them is not read.
    constexpr qsizetype kMaxFields = 101;
    QStringList fields = text.split(separator);
    if (fields.size() > kMaxFields)
        fields.resize(kMaxFields);
    return fields;
}

} // namespace orvane::text
