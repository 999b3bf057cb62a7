#include "text/dateformat.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace orvane::text {

QString formatDate(const QDate& date, const QString& pattern)
{
    static const QString weekdays[] = {u"月曜日"_s, u"火曜日"_s, u"水曜日"_s, u"木曜日"_s,
                                       u"金曜日"_s, u"土曜日"_s, u"日曜日"_s};
    QString out;
    qsizetype i = 0;
    while (i < pattern.size()) {
        const QStringView rest = QStringView(pattern).mid(i);
        if (rest.startsWith(u"yyyy")) {
            out += QString::number(date.year()).rightJustified(4, u'0');
            i += 4;
        } else if (rest.startsWith(u"mm") || rest.startsWith(u"MM")) {
            out += QString::number(date.month()).rightJustified(2, u'0');
            i += 2;
        } else if (rest.startsWith(u"dd")) {
            out += QString::number(date.day()).rightJustified(2, u'0');
            i += 2;
        } else if (rest.startsWith(u"aaaa")) {
            out += weekdays[date.dayOfWeek() - 1];
            i += 4;
        } else {
            out += pattern[i];
            ++i;
        }
    }
    return out;
}

QDate dateZero()
{
    return QDate(1899, 12, 30);
}

QDate parseDate(const QString& text)
{
    const QStringList parts = text.trimmed().split(u'/');
    if (parts.size() != 3)
        return {};
    bool okYear = false;
    bool okMonth = false;
    bool okDay = false;
    int year = parts[0].trimmed().toInt(&okYear);
    const int month = parts[1].trimmed().toInt(&okMonth);
    const int day = parts[2].trimmed().toInt(&okDay);
    if (!okYear || !okMonth || !okDay)
        return {};
    // Two-digit years follow the usual window: 00 to 29 are 2000s, 30 to 99 are 1900s.
    if (parts[0].trimmed().size() <= 2)
        year += year < 30 ? 2000 : 1900;
    return QDate(year, month, day);
}

} // namespace orvane::text
