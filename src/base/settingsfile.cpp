#include "base/settingsfile.h"

#include "base/logging.h"
#include "text/ansicodec.h"
#include "text/legacytext.h"
#include "text/rounding.h"

#include <QFile>
#include <QFileInfo>

namespace orvane {
namespace {

using text::leadingNumber;
using text::mid;

enum class Kind { Text, WinType, Footer, FooterWhole, Deci, Store };

struct Key
{
    const char16_t* match;
    qsizetype start;
    qsizetype length;
    Kind kind;
    std::optional<QString> Settings::*textField = nullptr;
    FooterLayout Settings::*footer = nullptr;
};

// The keys in the order in which every item is tested. The value starts after the key and its "=",
// also for keys whose match text carries no "=".
const Key kKeys[] = {
    {u"name1=", 7, 50, Kind::Text, &Settings::name1},
    {u"name2=", 7, 50, Kind::Text, &Settings::name2},
    {u"addr=", 6, 50, Kind::Text, &Settings::addr},
    {u"addr2=", 7, 50, Kind::Text, &Settings::addr2},
    {u"zip=", 5, 50, Kind::Text, &Settings::zip},
    {u"tel", 5, 50, Kind::Text, &Settings::tel},
    {u"foot1", 7, 50, Kind::Text, &Settings::foot1},
    {u"foot2", 7, 50, Kind::Text, &Settings::foot2},
    {u"foot3", 7, 50, Kind::Text, &Settings::foot3},
    {u"foot4", 7, 50, Kind::Text, &Settings::foot4},
    {u"foot5", 7, 50, Kind::Text, &Settings::foot5},
    {u"leftmrg", 9, 50, Kind::Text, &Settings::leftmrg},
    {u"sizef1", 8, 50, Kind::Footer, nullptr, &Settings::sizef1},
    {u"sizef2", 8, 50, Kind::Footer, nullptr, &Settings::sizef2},
    {u"sizef3", 8, 50, Kind::Footer, nullptr, &Settings::sizef3},
    {u"sizef4", 8, 50, Kind::Footer, nullptr, &Settings::sizef4},
    {u"sizef5", 8, 50, Kind::FooterWhole, nullptr, &Settings::sizef5},
    {u"deci", 6, 50, Kind::Deci, &Settings::deci},
    {u"dialurl", 9, 50, Kind::Text, &Settings::dialurl},
    {u"dialport", 10, 50, Kind::Text, &Settings::dialport},
    {u"prgpath", 9, 50, Kind::Text, &Settings::prgpath},
    {u"userno", 8, 50, Kind::Text, &Settings::userno},
    {u"passwd", 8, 50, Kind::Text, &Settings::passwd},
    {u"dicmpath", 10, 50, Kind::Text, &Settings::dicmpath},
    {u"nodspport", 11, 50, Kind::Text, &Settings::nodspport},
    {u"modemport", 11, 50, Kind::Text, &Settings::modemport},
    {u"wintype", 9, 1, Kind::WinType, &Settings::wintype},
    {u"cookiehost", 12, 50, Kind::Text, &Settings::cookiehost},
    {u"cookiename", 12, 50, Kind::Text, &Settings::cookiename},
    {u"cookiestore", 13, 50, Kind::Store},
    {u"firefoxprofile", 16, 200, Kind::Text, &Settings::firefoxprofile},
};

// "size/x/y": the text before the first "/", between the two, and after the second.
Result<FooterLayout> parseFooter(const QString& value, bool whole)
{
    const qsizetype first = value.indexOf(u'/');
    const qsizetype second = first < 0 ? -1 : value.indexOf(u'/', first + 1);
    if (second < 0)
        return fail(
            QStringLiteral("「%1」には \"/\" で区切った3つの数値 (大きさ/X/Y) が必要です").arg(value));
    double numbers[3] = {leadingNumber(value.left(first)),
                         leadingNumber(value.mid(first + 1, second - first - 1)),
                         leadingNumber(value.mid(second + 1))};
    if (whole) {
        for (double& n : numbers) {
            const std::optional<qint16> rounded = text::roundToInt16(n);
            if (!rounded)
                return fail(QStringLiteral("「%1」の数値が範囲 (-32768〜32767) を超えています").arg(value));
            n = *rounded;
        }
    }
    return FooterLayout{numbers[0], numbers[1], numbers[2]};
}

Result<CookieStore> parseCookieStore(const QString& value)
{
    if (value.isEmpty())
        return CookieStore::CookieFolder;
    if (value == u"firefox")
        return CookieStore::Firefox;
    if (value == u"extension")
        return CookieStore::Extension;
    return fail(QStringLiteral("「%1」は firefox か extension (空ならクッキーフォルダ) です").arg(value));
}

} // namespace

QStringList readDelimitedItems(const QString& content)
{
    QStringList items;
    const qsizetype n = content.size();
    qsizetype i = 0;
    auto isLineEnd = [](QChar c) { return c == u'\r' || c == u'\n'; };
    while (i < n) {
        while (i < n && (content[i] == u' ' || content[i] == u'\t'))
            ++i;
        QString item;
        if (i < n && content[i] == u'"') {
            const qsizetype close = content.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            item = content.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            // Whatever stands between the closing quote and the delimiter is passed over.
            while (i < n && content[i] != u',' && !isLineEnd(content[i]))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && content[i] != u',' && !isLineEnd(content[i]))
                ++i;
            item = content.mid(start, i - start);
        }
        if (i < n) {
            if (content[i] == u',') {
                ++i;
            } else if (content[i] == u'\r') {
                ++i;
                if (i < n && content[i] == u'\n')
                    ++i;
            } else {
                ++i;
            }
        }
        items.append(item);
    }
    return items;
}

Result<Settings> applySettingItems(const QStringList& items, Settings settings)
{
    for (const QString& item : items) {
        for (const Key& key : kKeys) {
            if (text::inStr(item, QString::fromUtf16(key.match)) == 0)
                continue;
            const QString value = mid(item, key.start, key.length);
            switch (key.kind) {
            case Kind::Text:
            case Kind::WinType:
            case Kind::Deci:
                settings.*(key.textField) = value;
                break;
            case Kind::Store: {
                const Result<CookieStore> store = parseCookieStore(value);
                if (!store)
                    return fail(QString::fromUtf16(key.match) + u": " + store.error());
                settings.cookiestore = *store;
                break;
            }
            case Kind::Footer:
            case Kind::FooterWhole: {
                const Result<FooterLayout> layout = parseFooter(value, key.kind == Kind::FooterWhole);
                if (!layout)
                    return fail(QString::fromUtf16(key.match) + u": " + layout.error());
                settings.*(key.footer) = *layout;
                break;
            }
            }
        }
    }
    return settings;
}

Result<LoadedSettings> loadSettingsFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.exists())
        return fail(QStringLiteral("設定ファイル %1 がありません (作業フォルダ: %2)")
                        .arg(name, QFileInfo(path).absolutePath()));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("設定ファイル %1 を読めません: %2").arg(name, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("設定ファイル %1 を読めません: %2").arg(name, file.errorString()));
    const Result<Settings> applied = applySettingItems(readDelimitedItems(text::decodeIncoming(bytes)));
    if (!applied)
        return fail(QStringLiteral("設定ファイル %1 の値が正しくありません: %2").arg(name, applied.error()));
    LoadedSettings loaded{*applied, 0};
    const Settings& settings = loaded.settings;
    if (const QString margin = textOf(settings.leftmrg); !margin.isEmpty() && !text::wholeNumber(margin))
        qCWarning(lcApp) << "leftmrg" << margin << "in" << name
                         << "is not a number; statements use a margin of 0";
    if (!textOf(settings.dialurl).isEmpty()) {
        const std::optional<qint32> port = dialPortSetting(settings);
        if (!port)
            return fail(QStringLiteral("設定ファイル %1 の dialport が範囲を超えています: %2")
                            .arg(name, textOf(settings.dialport)));
        loaded.dialPort = *port;
    }
    return loaded;
}

QString invalidSettingError(QLatin1String key, const QString& detail)
{
    return QStringLiteral("設定ファイル sct.txt の %1 が正しくありません: %2").arg(key, detail);
}

std::optional<qint32> dialPortSetting(const Settings& settings)
{
    return text::roundToInt32(leadingNumber(textOf(settings.dialport)));
}

std::optional<qint16> portNumberSetting(const std::optional<QString>& field)
{
    return text::roundToInt16(leadingNumber(textOf(field)));
}

} // namespace orvane
