#include "print/receipt.h"

#include "base/logging.h"
#include "print/printaligned.h"
#include "text/dateformat.h"
#include "text/legacytext.h"
#include "text/numberformat.h"
#include "text/rounding.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

namespace orvane {
namespace {

const QString kFont = QStringLiteral("ＭＳ ゴシック");

// An amount field under its pattern: a number is formatted; a text that is no number stands between
// the pattern's fixed characters as it is; an empty or missing field prints nothing, so that no amount
// is made up.
std::optional<QString> fieldText(const QStringList& fields, qsizetype index, const QString& pattern)
{
    if (index >= fields.size() || fields[index].trimmed().isEmpty())
        return std::nullopt;
    const QString& value = fields[index];
    if (text::wholeNumber(value))
        return text::formatText(value, pattern);
    return text::frameText(value, pattern);
}

QString customerName(const QStringList& fields)
{
    const QString name = fields.value(0);
    if (name == u"未設定")
        return QStringLiteral("　");
    const qsizetype sama = name.indexOf(u'様');
    return sama < 0 ? name : name.left(sama);
}

// The receipt's fields stand at fixed places on a small form: a text whose place cannot be set is left
// out rather than printed over another.
void printAt(PrintSurface& surface, float x, float y, const std::optional<QString>& text)
{
    PrintAt(surface, x, y, text, FailedPosition::SkipText);
}

void rule(PrintSurface& surface, float x1, float y, float x2)
{
    surface.setDrawStyle(3);
    surface.setDrawWidth(2);
    surface.line(x1, y, x2, y);
}

} // namespace

qint32 readReceiptCounter(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QString content = QString::fromLatin1(file.readLine(64)).trimmed();
    return text::roundToInt32(text::leadingNumber(content)).value_or(0);
}

Result<> writeReceiptCounter(const QString& path, qint32 number)
{
    // A counter file made read-only stays as it is.
    if (QFileInfo::exists(path) && !QFileInfo(path).isWritable())
        return fail(QStringLiteral("%1 is read-only").arg(path));
    // Written to a new file and put in place at once, so a failing write keeps the stored number.
    // Unbuffered, so that a full disk shows in the write itself and the old file is never replaced.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    const QByteArray line = (number >= 0 ? " " : "") + QByteArray::number(number) + "\r\n";
    if (file.write(line) != line.size() || file.error() != QFileDevice::NoError) {
        const QString error = file.errorString();
        file.cancelWriting();
        return fail(error);
    }
    if (!file.commit())
        return fail(file.errorString());
    return {};
}

QStringList receiptFields(const QString& commandText)
{
    const qsizetype p = text::inStr(commandText, QStringLiteral("rsh"));
    return text::splitFields(text::mid(commandText, p + 3, 500), u'/');
}

std::optional<QString> receiptProblem(const QString& commandText)
{
    const QStringList fields = receiptFields(commandText);
    if (fields.size() < 2 || fields[1].trimmed().isEmpty())
        return QStringLiteral("領収書の金額がありません");
    const struct
    {
        qsizetype index;
        const char16_t* name;
    } numbers[] = {{1, u"金額"}, {2, u"消費税"}, {3, u"担当"}};
    for (const auto& number : numbers) {
        const QString value = fields.value(number.index);
        if (!value.trimmed().isEmpty() && !text::wholeNumber(value))
            return QStringLiteral("領収書の%1「%2」が数値ではありません")
                .arg(QString::fromUtf16(number.name), value);
    }
    return std::nullopt;
}

ReceiptOutcome printReceipt(PrintSurface& surface, const QString& commandText, const Settings& settings,
                            const QDate& today, const QString& counterPath)
{
    const QStringList fields = receiptFields(commandText);

    ReceiptOutcome outcome;
    outcome.number = readReceiptCounter(counterPath);
    surface.setJobTitle(u"receipt " + text::formatNumber(outcome.number, QStringLiteral("0000-###0")));

    surface.setDocumentName(QStringLiteral("receipt"));
    surface.setScaleMode(1);
    surface.setFontName(kFont);
    surface.setOrientation(PrintSurface::kLandscape);
    surface.setPaperSize(PrintSurface::kPaperA5);
    surface.setFontSize(12);

    const QString name = customerName(fields);

    printAt(surface, 0, 100, text::formatNumber(outcome.number, QStringLiteral("0000-###0")));
    printAt(surface, 5000, 100, text::formatDate(today, QStringLiteral("yyyy年mm月dd日(aaaa)")));
    surface.setFontSize(18);
    printAt(surface, 2500, 400, QStringLiteral("領　収　書"));
    printAt(surface, 100, 800, text::formatAt(name, QStringLiteral("@@@@@@@@@@@  様")));
    rule(surface, 0, 1150, 3500);
    printAt(surface, 3000, 1500, fieldText(fields, 1, QStringLiteral("￥##,###,##0─")));
    rule(surface, 800, 1850, 6000);
    surface.setFontSize(12);
    printAt(surface, 3000, 1900, fieldText(fields, 2, QStringLiteral("(消費税￥###,##0)")));
    printAt(surface, 800, 2200, QStringLiteral("但し、"));
    rule(surface, 800, 2500, 6000);
    printAt(surface, 5000, 2600, fieldText(fields, 3, QStringLiteral("担当：#0")));
    printAt(surface, 0, 2600, textOf(settings.name1) + textOf(settings.name2));
    // The clinic's lines follow one under the other.
    surface.print(textOf(settings.addr));
    surface.print(textOf(settings.tel));
    surface.print(QStringLiteral("*保管上のお願い"));
    surface.print(QStringLiteral("財布等で保管戴く場合、印刷面を内側に折って保管願います。"));
    surface.endDoc();

    // Kept in 32 bits: numbering goes on past 32767 in the same file format.
    const qint32 next = outcome.number == std::numeric_limits<qint32>::max() ? 0 : outcome.number + 1;
    outcome.counterSaved = writeReceiptCounter(counterPath, next);
    if (!outcome.counterSaved)
        qCWarning(lcPrint) << "cannot write" << counterPath << ":" << outcome.counterSaved.error();
    return outcome;
}

} // namespace orvane
