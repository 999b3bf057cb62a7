#include "print/statement.h"

#include "print/printaligned.h"
#include "print/statementfields.h"
#include "text/dateformat.h"
#include "text/legacytext.h"
#include "text/numberformat.h"
#include "text/rounding.h"

namespace orvane {
namespace {

using text::leadingNumber;

const QString kFont = QStringLiteral("ＭＳ ゴシック");
const QString kBarcodeFont = QStringLiteral("NW-7");
const QString kColumnHeader =
    QStringLiteral("診 察 項 目 名 称                       数  量   単位     単  価     金   額");
const QString kMoney = QStringLiteral("#,###,##0");
const QString kPayment = QStringLiteral("##,##,##0");

// The number a totals field reads as: its leading number; nullopt when the field is missing.
std::optional<double> number(const std::optional<QString>& field)
{
    return field ? std::optional<double>(leadingNumber(*field)) : std::nullopt;
}

// One prt command's printing: the parsed fields, the page state and the surface.
class StatementJob
{
public:
    StatementJob(PrintSurface& surface, const Settings& settings, StatementFields statement)
        : m_surface(surface), m_settings(settings), m_statement(std::move(statement)),
          // A margin that is unset, empty or no number counts as 0 (the start-up warned of the last), so
          // that no amount goes missing from a statement.
          m_margin(text::wholeNumber(textOf(settings.leftmrg)).value_or(0))
    {
    }

    int print();

private:
    // The margin plus an offset, as a position for CurrentX.
    float at(int offset) const { return float(m_margin + offset); }
    // The same in whole twips, as aligned texts take their reference point; nullopt past 32 bits.
    std::optional<qint32> x(int offset) const { return text::roundToInt32(m_margin + offset); }

    // The statement's texts follow the page's line-by-line flow: each setting is a step of its own, and
    // a position that fails leaves the text where the last print left off.
    void printAt(std::optional<float> xPos, float yPos, const std::optional<QString>& text)
    {
        PrintAt(m_surface, xPos, yPos, text, FailedPosition::PrintWhereLeft);
    }
    void aligned(const std::optional<QString>& text, Alignment alignment, std::optional<qint32> xPos,
                 int yPos);
    void pageSetup();
    void header(bool firstPage);
    void footerBlock(int lines);
    void items();
    void totals();

    PrintSurface& m_surface;
    const Settings& m_settings;
    const StatementFields m_statement;
    const double m_margin;
    int m_rowsPerPage = 18;
    int m_pageNumber = 1;
    int m_rowNumber = 1;
};

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
    aligned(text::formatDate(m_statement.date, QStringLiteral("yyyy年MM月dd日 aaaa")), Alignment::LeftEdge,
            x(4500), 300);
    m_surface.setFontSize(11);
    printAt(at(4500), 550, textOf(m_settings.name1));
    printAt(at(4500), 800, textOf(m_settings.name2));
    m_surface.setFontSize(10);
    printAt(at(4500), 1250, textOf(m_settings.addr));
    printAt(at(4500), 1450, textOf(m_settings.addr2));
    m_surface.setFontSize(9);
    printAt(at(4500), 1050, u"〒" + textOf(m_settings.zip) + u"  TEL:" + textOf(m_settings.tel));
    m_surface.setFontSize(10);
    printAt(at(500), 1750, m_statement.addressee);
    m_surface.setDrawStyle(1);
    m_surface.setDrawWidth(5);
    // The addressee rule of later pages stays at the page's own position, not shifted by the margin.
    const float ruleShift = firstPage ? float(m_margin) : 0;
    m_surface.line(ruleShift + 300, 2000, ruleShift + 5000, 2000);
    printAt(at(600), 1450, u"受付NO:　" + m_statement.receptionNumber.value_or(QString()));
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
        printAt(float(layouts[n]->x), float(layouts[n]->y), textOf(*footers[n]));
    }
}

void StatementJob::items()
{
    const bool decimals = text::wholeNumber(textOf(m_settings.deci)) == 1.0;
    for (const StatementItem& item : m_statement.items) {
        ++m_rowNumber;
        if (m_rowNumber >= m_rowsPerPage) {
            footerBlock(5);
            pageSetup();
            m_surface.newPage();
            ++m_pageNumber;
            header(false);
            m_rowNumber = 2;
        }
        const int y = statementRowY(m_rowNumber);
        m_surface.setFontSize(8);
        printAt(at(4500), float(y), item.unit.left(8));
        const bool longName = item.name.size() > 20;
        // The name's font is chosen after its position is set, as the form has always done.
        printAt(at(0), float(y), std::nullopt);
        m_surface.setFontSize(longName ? 8 : 10);
        m_surface.print(longName ? item.name.left(30) : item.name.left(20));
        m_surface.setFontSize(11);
        aligned(text::formatText(item.quantity,
                                 decimals ? QStringLiteral("#,##0.00") : QStringLiteral(" ###,###")),
                Alignment::RightEdge, x(4200), y);
        aligned(text::formatText(item.unitPrice,
                                 decimals ? QStringLiteral("###,##0.00") : QStringLiteral("#,###,###")),
                Alignment::RightEdge, x(decimals ? 5800 : 5900), y);
        aligned(text::formatText(item.amount, kMoney), Alignment::RightEdge, x(7000), y);
    }
}

void StatementJob::totals()
{
    const StatementTotals& totals = m_statement.totals;
    const auto money = [](std::optional<double> value) -> std::optional<QString> {
        return value ? std::optional<QString>(text::formatNumber(*value, kMoney)) : std::nullopt;
    };

    const int r0 = ++m_rowNumber;
    m_surface.setDrawStyle(1);
    m_surface.setDrawWidth(5);
    for (int r = r0; r <= r0 + (m_statement.insurance ? 3 : 2); ++r)
        m_surface.line(1500, float(statementRowY(r) + 230), 7500, float(statementRowY(r) + 230));

    aligned(QStringLiteral("今回治療費："), Alignment::LeftEdge, x(4550), statementRowY(r0));
    aligned(money(number(totals.fee)), Alignment::RightEdge, x(7000), statementRowY(r0));
    aligned(QStringLiteral("消費税："), Alignment::LeftEdge, x(5000), statementRowY(r0 + 1));
    aligned(money(number(totals.tax)), Alignment::RightEdge, x(7000), statementRowY(r0 + 1));

    int r1 = r0;
    if (m_statement.insurance) {
        r1 = ++m_rowNumber;
        aligned(QStringLiteral("保険適用："), Alignment::LeftEdge, x(4650), statementRowY(r1 + 1));
        aligned(money(number(totals.insurance)), Alignment::RightEdge, x(7000), statementRowY(r1 + 1));
    }

    // The fee takes part as a number text: an empty or non-numeric fee leaves the total out.
    aligned(QStringLiteral("税込計："), Alignment::LeftEdge, x(5000), statementRowY(r1 + 2));
    const std::optional<double> fee = text::wholeNumber(totals.fee.value_or(QString()));
    const std::optional<double> tax = number(totals.tax);
    const std::optional<double> insured = number(totals.insurance);
    if (fee && tax && insured)
        aligned(money(*fee + *tax - *insured), Alignment::RightEdge, x(7000), statementRowY(r1 + 2));

    const std::optional<double> cash = number(totals.cash);
    const std::optional<double> credit = number(totals.credit);
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

    const std::optional<double> change = number(totals.change);
    if (change && *change > 0) {
        aligned(QStringLiteral("お釣銭："), Alignment::LeftEdge, x(2000), statementRowY(r1 + 1));
        aligned(money(*change), Alignment::RightEdge, x(4000), statementRowY(r1 + 1));
    } else if (change && *change < 0) {
        aligned(QStringLiteral("今回未収金："), Alignment::LeftEdge, x(1550), statementRowY(r1 + 1));
        aligned(money(-*change), Alignment::RightEdge, x(4000), statementRowY(r1 + 1));
    }

    aligned(QStringLiteral("未収金残："), Alignment::LeftEdge, x(1750), statementRowY(r1 + 2));
    const std::optional<double> before = number(totals.balanceBefore);
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
        if (totals.staff)
            aligned(u"担当:" + text::formatText(*totals.staff, QStringLiteral("#0")), Alignment::LeftEdge,
                    x(4500), 300 + 1150);
    }
}

int StatementJob::print()
{
    m_surface.setDocumentName(QStringLiteral("statement"));
    m_surface.setScaleMode(1);
    m_surface.setFontName(kFont);
    pageSetup();
    m_surface.setJobTitle(u"statement " + m_statement.receptionNumber.value_or(QString()));
    m_rowsPerPage = m_statement.insurance ? 17 : 18;

    header(true);
    items();
    totals();

    footerBlock(4);
    m_surface.setFontSize(m_settings.sizef5.size);
    m_surface.setCurrentX(float(m_settings.sizef5.x));
    m_surface.setCurrentY(float(m_settings.sizef5.y));
    m_surface.setFontName(kBarcodeFont);
    m_surface.print(u"A0" + m_statement.receptionNumber.value_or(QString()) + u"0A");
    m_surface.endDoc();
    return m_pageNumber;
}

} // namespace

StatementOutcome printStatement(PrintSurface& surface, const QString& commandText, const Settings& settings)
{
    StatementFields statement = parseStatement(commandText);
    StatementOutcome outcome;
    outcome.statementText = statement.statementText;
    outcome.fee = number(statement.totals.fee);
    outcome.pages = StatementJob(surface, settings, std::move(statement)).print();
    return outcome;
}

} // namespace orvane
