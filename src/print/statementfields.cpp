#include "print/statementfields.h"

#include "text/dateformat.h"
#include "text/legacytext.h"
#include "text/numberformat.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace orvane {
namespace {

// Field offsets: the header before the items, the totals block from the first field after them.
constexpr qsizetype kReceptionNumber = 0;
constexpr qsizetype kAddressee = 1;
constexpr qsizetype kItemCount = 2;
constexpr qsizetype kFirstItem = 3;
constexpr qsizetype kFee = 0, kTax = 1, kCash = 2, kChange = 3, kStaff = 4, kCredit = 6, kBalanceBefore = 7,
                    kInsurance = 9;
// Fields after the items: the totals block (10), the date and the marker.
constexpr qsizetype kFieldsAfterItems = 12;

std::optional<QString> field(const QStringList& fields, qsizetype index)
{
    if (index < 0 || index >= fields.size())
        return std::nullopt;
    return fields[index];
}

StatementItem item(const QString& record)
{
    const QStringList parts = record.split(u'?');
    return {parts.value(0), parts.value(1), parts.value(2), parts.value(3), parts.value(4)};
}

} // namespace

StatementFields parseStatement(const QString& commandText)
{
    StatementFields statement;
    statement.statementText =
        text::mid(commandText, text::inStr(commandText, QStringLiteral("prt")) + 3, 2000);
    const qsizetype lastField = statement.statementText.count(u'_');
    const QStringList fields = text::splitFields(statement.statementText, u'_');

    statement.receptionNumber = field(fields, kReceptionNumber);
    statement.addressee = field(fields, kAddressee);

    // The loop's end is fixed by the count; a count far beyond the fields is cut to a size a loop can
    // hold, and records are only read where the statement has fields.
    const std::optional<double> count = text::wholeNumber(field(fields, kItemCount).value_or(QString()));
    const qsizetype lastItem = count ? qsizetype(std::clamp(std::floor(*count), -1.0, 1.0e6)) + kItemCount
                                     : qMax<qsizetype>(lastField - kFieldsAfterItems, kItemCount);
    for (qsizetype index = kFirstItem; index <= qMin<qsizetype>(lastItem, fields.size() - 1); ++index)
        statement.items.append(item(fields[index]));

    const qsizetype t = lastItem + 1;
    statement.totals = {field(fields, t + kFee),           field(fields, t + kTax),
                        field(fields, t + kCash),          field(fields, t + kChange),
                        field(fields, t + kStaff),         field(fields, t + kCredit),
                        field(fields, t + kBalanceBefore), field(fields, t + kInsurance)};

    // Without its marker the statement counts as one without insurance.
    if (const std::optional<QString> marker = field(fields, lastField))
        statement.insurance = text::leadingNumber(*marker) != 0;
    statement.date = text::dateZero();
    statement.dateText = field(fields, lastField - 1);
    if (const std::optional<QString> date = statement.dateText) {
        QString slashed = *date;
        slashed.replace(u'-', u'/');
        if (const QDate parsed = text::parseDate(slashed); parsed.isValid()) {
            statement.date = parsed;
            statement.dateRead = true;
        }
    }
    return statement;
}

namespace {

// A field that is there, not empty, and not a number as a whole.
bool notANumber(const std::optional<QString>& value)
{
    return value && !value->trimmed().isEmpty() && !text::wholeNumber(*value);
}

} // namespace

std::optional<QString> statementProblem(const QString& commandText)
{
    const StatementFields statement = parseStatement(commandText);
    if (!statement.dateText)
        return QStringLiteral("明細書の日付がありません");
    if (!statement.dateRead)
        return QStringLiteral("明細書の日付「%1」を日付として読めません").arg(*statement.dateText);
    const StatementTotals& t = statement.totals;
    const struct
    {
        const std::optional<QString>& value;
        const char16_t* name;
    } totals[] = {{t.fee, u"診療費"},
                  {t.tax, u"消費税"},
                  {t.cash, u"預り金"},
                  {t.change, u"お釣り"},
                  {t.staff, u"担当"},
                  {t.credit, u"クレジット"},
                  {t.balanceBefore, u"前回未収金"},
                  {t.insurance, u"保険"}};
    for (const auto& total : totals)
        if (notANumber(total.value))
            return QStringLiteral("明細書の%1「%2」が数値ではありません")
                .arg(QString::fromUtf16(total.name), *total.value);
    for (const StatementItem& item : statement.items)
        if (notANumber(item.amount))
            return QStringLiteral("明細書の項目「%1」の金額「%2」が数値ではありません")
                .arg(item.name, item.amount);
    return std::nullopt;
}

} // namespace orvane
