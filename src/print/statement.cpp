#include "print/statement.h"

#include "print/printaligned.h"
#include "print/receipt.h"
#include "text/dateformat.h"
#include "text/legacytext.h"
#include "text/numberformat.h"
#include "text/rounding.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>

namespace orvane {
namespace {

using text::leadingNumber;

const QString kFont = QStringLiteral("ＭＳ ゴシック");
const QString kBarcodeFont = QStringLiteral("NW-7");
const QString kColumnHeader =
    QStringLiteral("診 察 項 目 名 称                       数  量   単位     単  価     金   額");
const QString kMoney = QStringLiteral("#,###,##0");
const QString kPayment = QStringLiteral("##,##,##0");

// One prt command's printing: the fields, the page state and the surface.
class StatementJob
{
public:
    StatementJob(PrintSurface& surface, const Settings& settings) : m_surface(surface), m_settings(settings)
    {
        // A margin that is unset, empty or no number counts as 0 (the start-up warned of the last), so
        // that no amount goes missing from a statement.
        m_margin = text::wholeNumber(textOf(settings.leftmrg)).value_or(0);
    }

    StatementOutcome print(const QString& commandText);

private:
    std::optional<QString> field(qsizetype index) const
    {
        if (index < 0 || index >= m_fields.size())
            return std::nullopt;
        return m_fields[index];
    }
    std::optional<double> number(qsizetype index) const
    {
        const std::optional<QString> f = field(index);
        return f ? std::optional<double>(leadingNumber(*f)) : std::nullopt;
    }
    // margin + offset as a position for CurrentX, or nullopt when the margin is not a number.
    std::optional<double> at(int offset) const
    {
        return m_margin ? std::optional<double>(*m_margin + offset) : std::nullopt;
    }
    // The same in whole twips, as aligned texts take their reference point.
    std::optional<qint32> x(int offset) const
    {
        return m_margin ? text::roundToInt32(*m_margin + offset) : std::nullopt;
    }

    void printAt(std::optional<double> xPos, double yPos, const std::optional<QString>& text);
    void aligned(const std::optional<QString>& text, Alignment alignment, std::optional<qint32> xPos,
                 int yPos);
    void pageSetup();
    void header(bool firstPage);
    void footerBlock(int lines);
    void items();
    void totals();

    PrintSurface& m_surface;
    const Settings& m_settings;
    std::optional<double> m_margin;
    QStringList m_fields;
    qsizetype m_lastField = 0;
    bool m_insurance = false;
    int m_rowsPerPage = 18;
    QDate m_date = text::dateZero();
    int m_pageNumber = 1;
    int m_rowNumber = 1;
    qsizetype m_totalsIndex = 3; // t: the first field after the item records
};

void StatementJob::printAt(std::optional<double> xPos, double yPos, const std::optional<QString>& text)
{
    // Each setting is a step of its own: a position that fails leaves the text where the last print
    // left off.
    if (xPos)
        m_surface.setCurrentX(float(*xPos));
    m_surface.setCurrentY(float(yPos));
    if (text)
        m_surface.print(*text);
}

void StatementJob::aligned(const std::optional<QString>& text, Alignment alignment,
                           std::optional<qint32> xPos, int yPos)
{
    if (text && xPos)
        PrintAligned(m_surface, *text, alignment, *xPos, yPos);
}

void StatementJob::pageSetup()
{
    m_surface.setOrientation(PrintSurface::kPortrait);
    m_surface.setPaperSize(PrintSurface::kPaperA5);
}

void StatementJob::header(bool firstPage)
{
    m_surface.setFontSize(12);
    printAt(at(2300), 300, QStringLiteral("診療明細書"));
    m_surface.setFontSize(9);
    aligned(text::formatDate(m_date, QStringLiteral("yyyy年MM月dd日 aaaa")), Alignment::LeftEdge, x(4500),
            300);
    m_surface.setFontSize(11);
    printAt(at(4500), 550, textOf(m_settings.name1));
    printAt(at(4500), 800, textOf(m_settings.name2));
    m_surface.setFontSize(10);
    printAt(at(4500), 1250, textOf(m_settings.addr));
    printAt(at(4500), 1450, textOf(m_settings.addr2));
    m_surface.setFontSize(9);
    printAt(at(4500), 1050, u"〒" + textOf(m_settings.zip) + u"  TEL:" + textOf(m_settings.tel));
    m_surface.setFontSize(10);
    printAt(at(500), 1750, field(1));
    m_surface.setDrawStyle(1);
    m_surface.setDrawWidth(5);
    // The addressee rule of later pages stays at the page's own position, not shifted by the margin.
    if (!firstPage)
        m_surface.line(300, 2000, 5000, 2000);
    else if (m_margin)
        m_surface.line(float(*m_margin + 300), 2000, float(*m_margin + 5000), 2000);
    printAt(at(600), 1450, u"受付NO:　" + field(0).value_or(QString()));
    m_surface.setFontSize(9);
    printAt(at(0), 2100, kColumnHeader);
    m_surface.setFontSize(10);
    aligned(text::formatNumber(m_pageNumber, QStringLiteral("00")), Alignment::RightEdge, x(4000), 11100);
}

void StatementJob::footerBlock(int lines)
{
    m_surface.setFillStyle(1);
    m_surface.box(1300, 9300, 7200, 11000);
    const FooterLayout* layouts[] = {&m_settings.sizef1, &m_settings.sizef2, &m_settings.sizef3,
                                     &m_settings.sizef4, &m_settings.sizef5};
    const std::optional<QString>* footers[] = {&m_settings.foot1, &m_settings.foot2, &m_settings.foot3,
                                               &m_settings.foot4, &m_settings.foot5};
    for (int n = 0; n < lines; ++n) {
        m_surface.setFontSize(layouts[n]->size);
        printAt(layouts[n]->x, layouts[n]->y, textOf(*footers[n]));
    }
}

void StatementJob::items()
{
    // The loop's end is fixed before the first item. A count that is no number stands for the records
    // the statement holds between the count and its last twelve fields (totals block, date, marker).
    const std::optional<double> count = text::wholeNumber(field(2).value_or(QString()));
    // Counts far beyond the fields are cut to a size the loop can hold; it stops at the last field anyway.
    const qsizetype last = count ? qsizetype(std::clamp(std::floor(*count), -1.0, 1.0e6)) + 2
                                 : qMax<qsizetype>(m_lastField - 12, 2);
    m_totalsIndex = last + 1;
    // Records are only read where the statement has fields.
    const qsizetype end = qMin<qsizetype>(last, m_fields.size() - 1);

    const bool decimals = text::wholeNumber(textOf(m_settings.deci)) == 1.0;
    for (qsizetype index = 3; index <= end; ++index) {
        ++m_rowNumber;
        if (m_rowNumber >= m_rowsPerPage) {
            footerBlock(5);
            pageSetup();
            m_surface.newPage();
            ++m_pageNumber;
            header(false);
            m_rowNumber = 2;
        }
        // Each record starts from empty columns: a missing column prints nothing, never the previous
        // item's value.
        std::array<QString, 7> item;
        const QStringList parts = m_fields[index].split(u'?');
        for (qsizetype k = 0; k < parts.size() && k < qsizetype(item.size()); ++k)
            item[std::size_t(k)] = parts[k];

        const int y = statementRowY(m_rowNumber);
        m_surface.setFontSize(8);
        printAt(at(4500), y, item[0].left(8));
        const bool longName = item[1].size() > 20;
        const std::optional<double> nameX = at(0);
        if (nameX)
            m_surface.setCurrentX(float(*nameX));
        m_surface.setCurrentY(float(y));
        m_surface.setFontSize(longName ? 8 : 10);
        m_surface.print(longName ? item[1].left(30) : item[1].left(20));
        m_surface.setFontSize(11);
        aligned(text::formatText(item[2], decimals ? QStringLiteral("#,##0.00") : QStringLiteral(" ###,###")),
                Alignment::RightEdge, x(4200), y);
        aligned(
            text::formatText(item[3], decimals ? QStringLiteral("###,##0.00") : QStringLiteral("#,###,###")),
            Alignment::RightEdge, x(decimals ? 5800 : 5900), y);
        aligned(text::formatText(item[4], kMoney), Alignment::RightEdge, x(7000), y);
    }
}

void StatementJob::totals()
{
    const qsizetype t = m_totalsIndex;
    const auto money = [](std::optional<double> value) -> std::optional<QString> {
        return value ? std::optional<QString>(text::formatNumber(*value, kMoney)) : std::nullopt;
    };

    const int r0 = ++m_rowNumber;
    m_surface.setDrawStyle(1);
    m_surface.setDrawWidth(5);
    for (int r = r0; r <= r0 + (m_insurance ? 3 : 2); ++r)
        m_surface.line(1500, float(statementRowY(r) + 230), 7500, float(statementRowY(r) + 230));

    aligned(QStringLiteral("今回治療費："), Alignment::LeftEdge, x(4550), statementRowY(r0));
    aligned(money(number(t)), Alignment::RightEdge, x(7000), statementRowY(r0));
    aligned(QStringLiteral("消費税："), Alignment::LeftEdge, x(5000), statementRowY(r0 + 1));
    aligned(money(number(t + 1)), Alignment::RightEdge, x(7000), statementRowY(r0 + 1));

    int r1 = r0;
    if (m_insurance) {
        r1 = ++m_rowNumber;
        aligned(QStringLiteral("保険適用："), Alignment::LeftEdge, x(4650), statementRowY(r1 + 1));
        aligned(money(number(t + 9)), Alignment::RightEdge, x(7000), statementRowY(r1 + 1));
    }

    // The fee takes part as a number text: an empty or non-numeric fee leaves the total out.
    aligned(QStringLiteral("税込計："), Alignment::LeftEdge, x(5000), statementRowY(r1 + 2));
    const std::optional<double> fee = text::wholeNumber(field(t).value_or(QString()));
    const std::optional<double> tax = number(t + 1);
    const std::optional<double> insured = number(t + 9);
    if (fee && tax && insured)
        aligned(money(*fee + *tax - *insured), Alignment::RightEdge, x(7000), statementRowY(r1 + 2));

    const std::optional<double> cash = number(t + 2);
    const std::optional<double> credit = number(t + 6);
    if (cash && credit && *cash + *credit != 0) {
        const int y = statementRowY(r1);
        const auto payment = [](double value) { return text::formatNumber(value, kPayment); };
        if (*credit == 0) {
            aligned(QStringLiteral("預かり："), Alignment::LeftEdge, x(2000), y);
            aligned(payment(*cash), Alignment::RightEdge, x(4000), y);
        } else if (*cash == 0) {
            aligned(QStringLiteral("クレジット："), Alignment::LeftEdge, x(1500), y);
            aligned(payment(*credit), Alignment::RightEdge, x(4000), y);
        } else {
            aligned(QStringLiteral("ｸﾚｼﾞｯﾄ："), Alignment::LeftEdge, x(500), y);
            aligned(payment(*credit), Alignment::RightEdge, x(2300), y);
            aligned(QStringLiteral("現金："), Alignment::LeftEdge, x(2500), y);
            aligned(payment(*cash), Alignment::RightEdge, x(4000), y);
        }
    }

    const std::optional<double> change = number(t + 3);
    if (change && *change > 0) {
        aligned(QStringLiteral("お釣銭："), Alignment::LeftEdge, x(2000), statementRowY(r1 + 1));
        aligned(money(*change), Alignment::RightEdge, x(4000), statementRowY(r1 + 1));
    } else if (change && *change < 0) {
        aligned(QStringLiteral("今回未収金："), Alignment::LeftEdge, x(1550), statementRowY(r1 + 1));
        aligned(money(-*change), Alignment::RightEdge, x(4000), statementRowY(r1 + 1));
    }

    aligned(QStringLiteral("未収金残："), Alignment::LeftEdge, x(1750), statementRowY(r1 + 2));
    const std::optional<double> before = number(t + 7);
    if (before && change)
        aligned(money(*change < 0 ? *before - *change : *before), Alignment::RightEdge, x(4000),
                statementRowY(r1 + 2));

    if (cash && change) {
        const double received = *change > 0 ? *cash - *change : *cash;
        if (received > 0) {
            m_surface.setFontSize(14);
            const float ruleY = float(statementRowY(r1 + 3) + 290);
            m_surface.line(1500, ruleY, 7500, ruleY);
            aligned(QStringLiteral("領収金額："), Alignment::LeftEdge, x(1750), statementRowY(r1 + 3));
            aligned(text::formatNumber(received, QStringLiteral("#,###,##0円也")), Alignment::RightEdge,
                    x(5000), statementRowY(r1 + 3));
        }
    }

    if (textOf(m_settings.addr2).isEmpty()) {
        m_surface.setFontSize(9);
        if (const std::optional<QString> staff = field(t + 4))
            aligned(u"担当:" + text::formatText(*staff, QStringLiteral("#0")), Alignment::LeftEdge, x(4500),
                    300 + 1150);
    }
}

StatementOutcome StatementJob::print(const QString& commandText)
{
    StatementOutcome outcome;
    m_surface.setDocumentName(QStringLiteral("statement"));
    m_surface.setScaleMode(1);
    m_surface.setFontName(kFont);
    pageSetup();

    const qsizetype p = text::inStr(commandText, QStringLiteral("prt"));
    outcome.statementText = text::mid(commandText, p + 3, 2000);
    m_lastField = outcome.statementText.count(u'_');
    m_fields = text::splitFields(outcome.statementText, u'_');
    m_surface.setJobTitle(u"statement " + field(0).value_or(QString()));

    // Without its marker the statement counts as one without insurance.
    if (const std::optional<QString> marker = field(m_lastField))
        m_insurance = leadingNumber(*marker) != 0;
    m_rowsPerPage = m_insurance ? 17 : 18;
    if (const std::optional<QString> date = field(m_lastField - 1)) {
        QString slashed = *date;
        slashed.replace(u'-', u'/');
        if (const QDate parsed = text::parseDate(slashed); parsed.isValid())
            m_date = parsed;
    }

    header(true);
    items();
    totals();

    footerBlock(4);
    m_surface.setFontSize(m_settings.sizef5.size);
    m_surface.setCurrentX(float(m_settings.sizef5.x));
    m_surface.setCurrentY(float(m_settings.sizef5.y));
    m_surface.setFontName(kBarcodeFont);
    m_surface.print(u"A0" + field(0).value_or(QString()) + u"0A");
    m_surface.endDoc();

    outcome.fee = number(m_totalsIndex);
    outcome.pages = m_pageNumber;
    return outcome;
}

} // namespace

StatementOutcome printStatement(PrintSurface& surface, const QString& commandText, const Settings& settings)
{
    return StatementJob(surface, settings).print(commandText);
}

} // namespace orvane
