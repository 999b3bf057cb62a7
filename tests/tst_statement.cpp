#include "print/statement.h"
#include "print/statementfields.h"
#include "support/recordingsurface.h"
#include "support/testsupport.h"
#include "text/numberformat.h"

#include <QTest>
#include <algorithm>

using namespace Qt::StringLiterals;

using namespace orvane;
using Kind = RecordingSurface::Kind;
using Op = RecordingSurface::Operation;

namespace {

// The statement's row grid as designed: row 0 at 1600 twips, rows 350 twips apart.
constexpr int designRowY(int row)
{
    return 1600 + 350 * row;
}

// A statement command: reception number 123, an addressee, the items, the totals block, date, marker.
QString statement(const QStringList& items, const QStringList& totals, const QString& date = u"2024-03-05"_s,
                  const QString& marker = u"0"_s)
{
    QStringList fields{u"123"_s, u"山田太郎 様"_s, QString::number(items.size())};
    fields += items;
    fields += totals;
    fields += date;
    fields += marker;
    return u"prt"_s + fields.join(u'_');
}

QStringList itemsOf(int count)
{
    QStringList items;
    for (int i = 1; i <= count; ++i)
        items.append(u"回?処置"_s + QString::number(i) + u"?1?100?100"_s);
    return items;
}

// fee, tax, cash, change, staff, -, credit, balance, -, insurance
QStringList totalsOf(int fee, int tax, int cash, int change, const QString& staff, int credit, int balance,
                     int insurance)
{
    return {QString::number(fee),
            QString::number(tax),
            QString::number(cash),
            QString::number(change),
            staff,
            u"x"_s,
            QString::number(credit),
            QString::number(balance),
            u"y"_s,
            QString::number(insurance)};
}

double rightEdge(const Op& op)
{
    return op.x + RecordingSurface::widthInEms(op.text) * op.size * 20;
}

} // namespace

class TestStatement : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void namesTheFields_data();
    void namesTheFields();
    void printsTheHeader_data();
    void printsTheHeader();
    void readsTheDateAndMarker_data();
    void readsTheDateAndMarker();
    void breaksPages_data();
    void breaksPages();
    void printsItemRecords_data();
    void printsItemRecords();
    void shortensNamesAndUnits_data();
    void shortensNamesAndUnits();
    void clearsColumnsOfShortRecords();
    void printsTheTotals_data();
    void printsTheTotals();
    void closesTheLastPage();
    void leavesOutFieldsPastIndex100();
    void copesWithABadItemCount_data();
    void copesWithABadItemCount();
    void printsABadMarginAsZero_data();
    void printsABadMarginAsZero();

private:
    StatementOutcome print(const QString& commandText);
    const Op* text(const QString& t, int page = 0) const;
    QList<Op> textsOnPage(int page) const;

    RecordingSurface m_surface;
    Settings m_settings;
};

void TestStatement::init()
{
    m_surface = {};
    m_settings = {};
    m_settings.name1 = u"オルヴェイン"_s;
    m_settings.name2 = u"歯科"_s;
    m_settings.addr = u"東京都港区"_s;
    m_settings.zip = u"105-0011"_s;
    m_settings.tel = u"03-0000-0000"_s;
    m_settings.foot1 = u"F1"_s;
    m_settings.foot2 = u"F2"_s;
    m_settings.foot3 = u"F3"_s;
    m_settings.foot4 = u"F4"_s;
    m_settings.foot5 = u"F5"_s;
}

StatementOutcome TestStatement::print(const QString& commandText)
{
    return printStatement(m_surface, commandText, m_settings);
}

const Op* TestStatement::text(const QString& t, int page) const
{
    for (const Op& op : m_surface.operations)
        if (op.kind == Kind::Text && op.text == t && (page == 0 || op.page == page))
            return &op;
    return nullptr;
}

QList<Op> TestStatement::textsOnPage(int page) const
{
    QList<Op> out;
    for (const Op& op : m_surface.texts())
        if (op.page == page)
            out.append(op);
    return out;
}

void TestStatement::namesTheFields_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("items");
    QTest::addColumn<QString>("fee");
    QTest::addColumn<QString>("insurance");
    QTest::addColumn<QDate>("date");
    QTest::newRow("two items") << statement(itemsOf(2), totalsOf(4500, 450, 5000, 50, u"7"_s, 0, 0, 900),
                                            u"2024/03/05"_s)
                               << 2 << u"4500"_s << u"900"_s << QDate(2024, 3, 5);
    QTest::newRow("a count that is no number: the fields before the last twelve")
        << u"prt1_a_x_i1_i2_f_t_c_d_s_-_k_b_-_ins_2024-03-05_1"_s << 2 << u"f"_s << u"ins"_s
        << QDate(2024, 3, 5);
    QTest::newRow("a count beyond the text: no totals, no date")
        << u"prt1_a_99_i1_i2"_s << 2 << QString() << QString() << QDate(1899, 12, 30);
}

void TestStatement::namesTheFields()
{
    QFETCH(QString, command);
    QFETCH(int, items);
    QFETCH(QString, fee);
    QFETCH(QString, insurance);
    QFETCH(QDate, date);
    const StatementFields parsed = parseStatement(u"x"_s + command);
    QCOMPARE(parsed.items.size(), items);
    QCOMPARE(parsed.totals.fee.value_or(QString()), fee);
    QCOMPARE(parsed.totals.insurance.value_or(QString()), insurance);
    QCOMPARE(parsed.date, date);
}

void TestStatement::printsTheHeader_data()
{
    QTest::addColumn<QString>("margin"); // "-" for unset
    QTest::addColumn<int>("L");
    QTest::newRow("margin unset") << u"-"_s << 0;
    QTest::newRow("margin 0") << u"0"_s << 0;
    QTest::newRow("margin 200") << u"200"_s << 200;
}

void TestStatement::printsTheHeader()
{
    QFETCH(QString, margin);
    QFETCH(int, L);
    if (margin != u"-")
        m_settings.leftmrg = margin;
    m_settings.addr2 = u"ビル2F"_s;
    print(statement(itemsOf(17), totalsOf(1000, 100, 0, 0, u"3"_s, 0, 0, 0)));
    QCOMPARE(m_surface.documentNames, QStringList{u"statement"_s});

    const struct
    {
        QString text;
        double size;
        float x, y;
    } header[] = {
        {u"診療明細書"_s, 12, float(L + 2300), 300},
        {u"2024年03月05日 火曜日"_s, 9, float(L + 4500), 300},
        {u"オルヴェイン"_s, 11, float(L + 4500), 550},
        {u"歯科"_s, 11, float(L + 4500), 800},
        {u"東京都港区"_s, 10, float(L + 4500), 1250},
        {u"ビル2F"_s, 10, float(L + 4500), 1450},
        {u"〒105-0011  TEL:03-0000-0000"_s, 9, float(L + 4500), 1050},
        {u"山田太郎 様"_s, 10, float(L + 500), 1750},
        {u"受付NO:　123"_s, 10, float(L + 600), 1450},
        {u"診 察 項 目 名 称                       数  量   単位     単  価     金   額"_s, 9, float(L),
         2100},
    };
    for (int page = 1; page <= 2; ++page) {
        const QList<Op> texts = textsOnPage(page);
        for (std::size_t i = 0; i < std::size(header); ++i) {
            QCOMPARE(texts[qsizetype(i)].text, header[i].text);
            QCOMPARE(texts[qsizetype(i)].size, header[i].size);
            QCOMPARE(texts[qsizetype(i)].x, header[i].x);
            QCOMPARE(texts[qsizetype(i)].y, header[i].y);
            QCOMPARE(texts[qsizetype(i)].orientation, int(PrintSurface::kPortrait));
            QCOMPARE(texts[qsizetype(i)].paperSize, int(PrintSurface::kPaperA5));
        }
        const Op& pageNumber = texts[std::size(header)];
        QCOMPARE(pageNumber.text, page == 1 ? u"01"_s : u"02"_s);
        QCOMPARE(pageNumber.size, 10.0);
        QCOMPARE(rightEdge(pageNumber), double(L + 4000));
        QCOMPARE(pageNumber.y, 11100.0f);
    }
    // The column header is 62 characters, its column titles over their columns.
    const QList<Op> firstPage = textsOnPage(1);
    const auto columnHeader =
        std::find_if(firstPage.cbegin(), firstPage.cend(), [](const Op& op) { return op.y == 2100; });
    QVERIFY(columnHeader != firstPage.cend());
    QCOMPARE(columnHeader->text.size(), 62);
    QCOMPARE(columnHeader->text.indexOf(u'数'), 34);

    // The addressee rule moves with the margin on the first page only.
    QList<Op> rules;
    for (const Op& op : m_surface.operations)
        if (op.kind == Kind::Line && op.y == 2000)
            rules.append(op);
    QCOMPARE(rules.size(), 2);
    QCOMPARE(QList<float>({rules[0].x, rules[0].x2}), QList<float>({float(L + 300), float(L + 5000)}));
    QCOMPARE(QList<float>({rules[1].x, rules[1].x2}), QList<float>({300.0f, 5000.0f}));
    QCOMPARE(rules[0].drawStyle, 1);
    QCOMPARE(rules[0].drawWidth, 5);
}

void TestStatement::readsTheDateAndMarker_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<int>("itemsOnFirstPage");
    QTest::newRow("dashes") << u"2024-03-05"_s << u"0"_s << u"2024年03月05日 火曜日"_s << 16;
    QTest::newRow("slashes") << u"2024/03/05"_s << QString() << u"2024年03月05日 火曜日"_s << 16;
    QTest::newRow("no date") << u"unknown"_s << u"abc"_s << u"1899年12月30日 土曜日"_s << 16;
    QTest::newRow("insurance 1") << u"2024-03-05"_s << u"1"_s << u"2024年03月05日 火曜日"_s << 15;
    QTest::newRow("insurance 2.5") << u"2024-03-05"_s << u"2.5"_s << u"2024年03月05日 火曜日"_s << 15;
}

void TestStatement::readsTheDateAndMarker()
{
    QFETCH(QString, date);
    QFETCH(QString, marker);
    QFETCH(QString, printed);
    QFETCH(int, itemsOnFirstPage);
    print(statement(itemsOf(20), totalsOf(1, 0, 0, 0, u"1"_s, 0, 0, 0), date, marker));
    QVERIFY(text(printed, 1));
    QVERIFY(text(u"処置"_s + QString::number(itemsOnFirstPage), 1));
    QVERIFY(text(u"処置"_s + QString::number(itemsOnFirstPage + 1), 2));
}

void TestStatement::breaksPages_data()
{
    QTest::addColumn<int>("items");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("lastItemPage");
    QTest::addColumn<int>("lastItemRow");
    QTest::newRow("no items") << 0 << u"0"_s << 1 << 0 << 0;
    QTest::newRow("16 items fill page 1") << 16 << u"0"_s << 1 << 1 << 17;
    QTest::newRow("17 items: the last on page 2, row 2") << 17 << u"0"_s << 2 << 2 << 2;
    QTest::newRow("33 items: the last alone on page 3") << 33 << u"0"_s << 3 << 3 << 2;
    QTest::newRow("16 items with insurance: the last on page 2") << 16 << u"1"_s << 2 << 2 << 2;
    QTest::newRow("15 items with insurance fill page 1") << 15 << u"1"_s << 1 << 1 << 16;
}

void TestStatement::breaksPages()
{
    QFETCH(int, items);
    QFETCH(QString, marker);
    QFETCH(int, pages);
    QFETCH(int, lastItemPage);
    QFETCH(int, lastItemRow);
    const StatementOutcome outcome =
        print(statement(itemsOf(items), totalsOf(1000, 0, 0, 0, u"1"_s, 0, 0, 0), u"2024-03-05"_s, marker));
    QCOMPARE(outcome.pages, pages);
    int newPages = 0;
    int boxes = 0;
    for (const Op& op : m_surface.operations) {
        newPages += op.kind == Kind::NewPage;
        if (op.kind == Kind::Box) {
            ++boxes;
            QCOMPARE(QList<float>({op.x, op.y, op.x2, op.y2}), QList<float>({1300, 9300, 7200, 11000}));
            QCOMPARE(op.fillStyle, 1);
        }
    }
    QCOMPARE(newPages, pages - 1);
    QCOMPARE(boxes, pages);
    for (int page = 1; page <= pages; ++page) {
        QVERIFY(text(orvane::text::formatNumber(page, u"00"_s), page));
        // Every page but the last ends with all five footer lines; the last with four and the barcode.
        QCOMPARE(bool(text(u"F5"_s, page)), page < pages);
        QVERIFY(text(u"F4"_s, page));
    }
    if (items > 0) {
        const Op* last = text(u"処置"_s + QString::number(items));
        QCOMPARE(last->page, lastItemPage);
        QCOMPARE(last->y, float(designRowY(lastItemRow)));
        const Op* first = text(u"処置1"_s);
        QCOMPARE(first->y, 2300.0f);
    }
    // The totals follow the last item on its page.
    const Op* fee = text(u"今回治療費："_s);
    QCOMPARE(fee->page, pages);
    QCOMPARE(fee->y, float(designRowY(items == 0 ? 2 : lastItemRow + 1)));
}

void TestStatement::printsItemRecords_data()
{
    QTest::addColumn<QString>("deci"); // "-" for unset
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("printed"); // quantity, unit price, amount
    QTest::addColumn<QList<int>>("edges");
    QTest::newRow("whole numbers") << u"-"_s << u"錠?抗生剤A?2?150?300"_s
                                   << QStringList{u" 2"_s, u"150"_s, u"300"_s}
                                   << QList<int>{4200, 5900, 7000};
    QTest::newRow("decimals") << u"1"_s << u"錠?抗生剤A?2?150?300"_s
                              << QStringList{u"2.00"_s, u"150.00"_s, u"300"_s}
                              << QList<int>{4200, 5800, 7000};
    QTest::newRow("grouped") << u"0"_s << u"回?処置?1?1500?12000"_s
                             << QStringList{u" 1"_s, u"1,500"_s, u"12,000"_s} << QList<int>{4200, 5900, 7000};
    QTest::newRow("zeros") << u"0"_s << u"回?処置?0?0?0"_s << QStringList{u" "_s, QString(), u"0"_s}
                           << QList<int>{4200, 5900, 7000};
    QTest::newRow("decimal quantity in the whole layout")
        << u"0"_s << u"ml?薬?2.5?10?25"_s << QStringList{u" 3"_s, u"10"_s, u"25"_s}
        << QList<int>{4200, 5900, 7000};
    QTest::newRow("a deci that is no number: whole numbers")
        << u"yes"_s << u"錠?抗生剤A?2?150?300"_s << QStringList{u" 2"_s, u"150"_s, u"300"_s}
        << QList<int>{4200, 5900, 7000};
    QTest::newRow("seven fields: the last two ignored")
        << u"-"_s << u"a?b?1?2?3?x?y"_s << QStringList{u" 1"_s, u"2"_s, u"3"_s}
        << QList<int>{4200, 5900, 7000};
    QTest::newRow("a text that is no number is printed as it stands")
        << u"-"_s << u"回?処置?一?-?込み"_s << QStringList{u"一"_s, u"-"_s, u"込み"_s}
        << QList<int>{4200, 5900, 7000};
}

void TestStatement::printsItemRecords()
{
    QFETCH(QString, deci);
    QFETCH(QString, record);
    QFETCH(QStringList, printed);
    QFETCH(QList<int>, edges);
    if (deci != u"-")
        m_settings.deci = deci;
    print(statement({record}, totalsOf(300, 0, 0, 0, u"1"_s, 0, 0, 0)));
    const QStringList fields = record.split(u'?');
    const Op* unit = text(fields[0]);
    QVERIFY(unit);
    QCOMPARE(unit->x, 4500.0f);
    QCOMPARE(unit->y, 2300.0f);
    QCOMPARE(unit->size, 8.0);
    const Op* name = text(fields[1]);
    QCOMPARE(name->x, 0.0f);
    QCOMPARE(name->y, 2300.0f);
    QCOMPARE(name->size, 10.0);
    // The numbers follow the name, in column order.
    const QList<Op> texts = m_surface.texts();
    qsizetype index = 0;
    while (texts[index].text != fields[1])
        ++index;
    for (int column = 0; column < 3; ++column) {
        const Op& number = texts[index + 1 + column];
        QCOMPARE(number.text, printed[column]);
        QCOMPARE(number.size, 11.0);
        QCOMPARE(number.y, 2300.0f);
        QCOMPARE(rightEdge(number), double(edges[column]));
    }
}

void TestStatement::shortensNamesAndUnits_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("printedUnit");
    QTest::addColumn<QString>("printedName");
    QTest::addColumn<double>("nameSize");
    const QString twenty = u"一二三四五六七八九十一二三四五六七八九十"_s;
    QTest::newRow("a name of 20 characters at size 10") << u"錠"_s << twenty << u"錠"_s << twenty << 10.0;
    QTest::newRow("a name of 21 characters at size 8")
        << u"錠"_s << twenty + u"A"_s << u"錠"_s << twenty + u"A"_s << 8.0;
    QTest::newRow("a name of 35 characters keeps 30")
        << u"錠"_s << twenty + u"ABCDEFGHIJKLMNO"_s << u"錠"_s << twenty + u"ABCDEFGHIJ"_s << 8.0;
    QTest::newRow("a unit of 10 characters keeps 8")
        << u"0123456789"_s << u"薬"_s << u"01234567"_s << u"薬"_s << 10.0;
}

void TestStatement::shortensNamesAndUnits()
{
    QFETCH(QString, unit);
    QFETCH(QString, name);
    QFETCH(QString, printedUnit);
    QFETCH(QString, printedName);
    QFETCH(double, nameSize);
    print(statement({unit + u'?' + name + u"?1?1?1"_s}, totalsOf(1, 0, 0, 0, u"1"_s, 0, 0, 0)));
    QCOMPARE(text(printedUnit)->size, 8.0);
    QCOMPARE(text(printedName)->size, nameSize);
    QCOMPARE(text(printedName)->x, 0.0f);
}

void TestStatement::clearsColumnsOfShortRecords()
{
    print(statement({u"錠?薬A?2?150?300"_s, u"回?処置B"_s}, totalsOf(300, 0, 0, 0, u"1"_s, 0, 0, 0)));
    const QList<Op> texts = m_surface.texts();
    qsizetype index = 0;
    while (texts[index].text != u"処置B")
        ++index;
    // Quantity, price and amount of the short record are empty, not the previous item's.
    QCOMPARE(texts[index + 1].text, QString());
    QCOMPARE(texts[index + 2].text, QString());
    QCOMPARE(texts[index + 3].text, QString());
    // The first item's price stands once, on its own row.
    QCOMPARE(std::count_if(texts.cbegin(), texts.cend(), [](const Op& op) { return op.text == u"150"; }), 1);
    QCOMPARE(text(u"150"_s)->y, float(statementRowY(2)));
}

void TestStatement::printsTheTotals_data()
{
    QTest::addColumn<QStringList>("totals");
    QTest::addColumn<QString>("marker");
    QTest::addColumn<QString>("addr2");
    // label or value, its left (L) or right (R) edge, its row relative to r0; "-" rows for absent texts
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("cash with change")
        << totalsOf(2800, 0, 3000, 200, u"3"_s, 0, 1200, 0) << u"0"_s << QString()
        << QStringList{
               u"今回治療費：|L4550|0"_s, u"2,800|R7000|0"_s,     u"消費税：|L5000|1"_s,   u"0|R7000|1"_s,
               u"税込計：|L5000|2"_s,     u"2,800|R7000|2"_s,     u"預かり：|L2000|0"_s,   u"3,000|R4000|0"_s,
               u"お釣銭：|L2000|1"_s,     u"200|R4000|1"_s,       u"未収金残：|L1750|2"_s, u"1,200|R4000|2"_s,
               u"領収金額：|L1750|3"_s,   u"2,800円也|R5000|3"_s, u"担当:3|L4500|-"_s};
    QTest::newRow("credit only") << totalsOf(5000, 0, 0, 0, u"3"_s, 5000, 0, 0) << u"0"_s << QString()
                                 << QStringList{u"クレジット：|L1500|0"_s, u"5,000|R4000|0"_s,
                                                u"未収金残：|L1750|2"_s,   u"0|R4000|2"_s,
                                                u"!領収金額："_s,          u"!預かり："_s};
    QTest::newRow("cash and credit") << totalsOf(3000, 0, 1000, 0, u"3"_s, 2000, 0, 0) << u"0"_s << QString()
                                     << QStringList{u"ｸﾚｼﾞｯﾄ：|L500|0"_s,    u"2,000|R2300|0"_s,
                                                    u"現金：|L2500|0"_s,     u"1,000|R4000|0"_s,
                                                    u"領収金額：|L1750|3"_s, u"1,000円也|R5000|3"_s};
    QTest::newRow("neither cash nor credit")
        << totalsOf(3000, 0, 0, 0, u"3"_s, 0, 500, 0) << u"0"_s << QString()
        << QStringList{u"!預かり："_s,          u"!クレジット："_s, u"!ｸﾚｼﾞｯﾄ："_s,  u"!お釣銭："_s,
                       u"未収金残：|L1750|2"_s, u"500|R4000|2"_s,   u"!領収金額："_s};
    QTest::newRow("unpaid") << totalsOf(3000, 0, 2500, -500, u"3"_s, 0, 1200, 0) << u"0"_s << QString()
                            << QStringList{u"今回未収金：|L1550|1"_s, u"500|R4000|1"_s,
                                           u"未収金残：|L1750|2"_s, u"1,700|R4000|2"_s,
                                           u"2,500円也|R5000|3"_s};
    QTest::newRow("insurance") << totalsOf(3000, 300, 3300, 0, u"3"_s, 0, 0, 2000) << u"1"_s << QString()
                               << QStringList{u"今回治療費：|L4550|0"_s, u"消費税：|L5000|1"_s,
                                              u"保険適用：|L4650|2"_s,   u"2,000|R7000|2"_s,
                                              u"税込計：|L5000|3"_s,     u"1,300|R7000|3"_s,
                                              u"預かり：|L2000|1"_s,     u"3,300|R4000|1"_s,
                                              u"未収金残：|L1750|3"_s,   u"領収金額：|L1750|4"_s};
    QTest::newRow("a second address line: no staff line")
        << totalsOf(1000, 0, 1000, 0, u"3"_s, 0, 0, 0) << u"0"_s << u"ビル2F"_s << QStringList{u"!担当:3"_s};
    QTest::newRow("a staff name is printed as it stands")
        << totalsOf(1000, 0, 1000, 0, u"佐藤"_s, 0, 0, 0) << u"0"_s << QString()
        << QStringList{u"担当:佐藤|L4500|-"_s};
    QTest::newRow("a fee that is no number leaves the total out")
        << QStringList{u"abc"_s, u"100"_s, u"0"_s, u"0"_s, u"1"_s, u"x"_s, u"0"_s, u"0"_s, u"y"_s, u"0"_s}
        << u"0"_s << QString() << QStringList{u"0|R7000|0"_s, u"税込計：|L5000|2"_s, u"!100|R7000|2"_s};
}

void TestStatement::printsTheTotals()
{
    QFETCH(QStringList, totals);
    QFETCH(QString, marker);
    QFETCH(QString, addr2);
    QFETCH(QStringList, expected);
    m_settings.addr2 = addr2;
    print(statement(itemsOf(2), totals, u"2024-03-05"_s, marker));
    const int r0 = 4; // two items on rows 2 and 3
    // "!text" is printed nowhere; "!text|edge|row" is not printed on that row.
    const QList<Op> texts = m_surface.texts();
    for (const QString& e : expected) {
        const bool absent = e.startsWith(u'!');
        const QStringList parts = e.mid(absent ? 1 : 0).split(u'|');
        const int row = parts.size() < 3 || parts[2] == u"-" ? -1 : r0 + parts[2].toInt();
        const Op* op = nullptr;
        for (const Op& candidate : texts)
            if (candidate.text == parts[0] && (row < 0 || candidate.y == float(designRowY(row))))
                op = &candidate;
        if (absent) {
            QVERIFY2(!op, qPrintable(e));
            continue;
        }
        QVERIFY2(op, qPrintable(e));
        const double edge = parts[1].mid(1).toDouble();
        QCOMPARE(parts[1].startsWith(u'L') ? double(op->x) : rightEdge(*op), edge);
        if (row < 0)
            QCOMPARE(op->y, 1450.0f);
    }
}

void TestStatement::closesTheLastPage()
{
    m_settings.sizef5 = {20, 2500, 10550};
    const StatementOutcome outcome =
        print(statement(itemsOf(1), totalsOf(4500, 0, 5000, 500, u"3"_s, 0, 0, 0)));
    // Rules under the summary rows, before any of their texts.
    QList<Op> rules;
    for (const Op& op : m_surface.operations)
        if (op.kind == Kind::Line && op.x == 1500)
            rules.append(op);
    QCOMPARE(rules.size(), 4); // three rules and the received amount's
    QCOMPARE(rules[0].y, 2880.0f);
    QCOMPARE(rules[2].y, 3580.0f);
    QCOMPARE(rules[3].y, 3990.0f);
    QCOMPARE(rules[3].x2, 7500.0f);
    QCOMPARE(text(u"4,500円也"_s)->size, 14.0);

    const QList<Op>& ops = m_surface.operations;
    QCOMPARE(ops.last().kind, Kind::EndDoc);
    const Op& barcode = ops[ops.size() - 2];
    QCOMPARE(barcode.text, u"A01230A"_s);
    QCOMPARE(barcode.font, u"NW-7"_s);
    QCOMPARE(barcode.size, 20.0);
    QCOMPARE(barcode.x, 2500.0f);
    QCOMPARE(barcode.y, 10550.0f);
    QCOMPARE(text(u"F1"_s)->x, 1800.0f);
    QCOMPARE(text(u"F4"_s)->y, 10350.0f);
    QCOMPARE(outcome.fee, std::optional<double>(4500));
    QCOMPARE(outcome.statementText.left(6), u"123_山田"_s);
}

void TestStatement::leavesOutFieldsPastIndex100()
{
    // 98 items: the totals block starts at index 101, past the fields kept.
    const StatementOutcome outcome =
        print(statement(itemsOf(98), totalsOf(1000, 0, 1000, 0, u"3"_s, 0, 0, 0)));
    QVERIFY(text(u"処置98"_s));
    QVERIFY(text(u"今回治療費："_s));
    QVERIFY(text(u"未収金残："_s));
    QVERIFY(!text(u"担当:3"_s));
    QVERIFY(!outcome.fee);
    QCOMPARE(m_surface.operations.last().kind, Kind::EndDoc);
    // Without its marker the statement counts as one without insurance: 16 items a page.
    QCOMPARE(text(u"処置16"_s)->page, 1);
    QCOMPARE(text(u"処置17"_s)->page, 2);
}

void TestStatement::copesWithABadItemCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("printedItems");
    QTest::newRow("a count that is no number: the records between count and totals") << u"abc"_s << 3;
    QTest::newRow("a count past the fields: only fields that exist") << u"500"_s << 3 + 12;
    QTest::newRow("a negative count: no item") << u"-4"_s << 0;
    QTest::newRow("a count beyond any number of fields") << u"99999999999999999999999"_s << 3 + 12;
}

void TestStatement::copesWithABadItemCount()
{
    QFETCH(QString, count);
    QFETCH(int, printedItems);
    QString command = statement(itemsOf(3), totalsOf(1000, 0, 1000, 0, u"3"_s, 0, 0, 0));
    command.replace(u"様_3_"_s, u"様_"_s + count + u'_');
    print(command);
    int items = 0;
    for (const Op& op : m_surface.texts())
        items += op.y >= 2300 && op.y < 9000 && op.x == 0.0f && op.size == 10.0;
    QCOMPARE(items, printedItems);
    QCOMPARE(m_surface.operations.last().kind, Kind::EndDoc);
}

void TestStatement::printsABadMarginAsZero_data()
{
    QTest::addColumn<QString>("margin");
    QTest::newRow("empty") << QString();
    QTest::newRow("not a number") << u"1cm"_s;
}

void TestStatement::printsABadMarginAsZero()
{
    QFETCH(QString, margin);
    const QString command = statement(itemsOf(1), totalsOf(1000, 0, 1000, 0, u"3"_s, 0, 0, 0));
    m_settings.leftmrg = u"0"_s;
    print(command);
    const QList<Op> atZero = m_surface.operations;
    QVERIFY(text(u"今回治療費："_s)); // amounts and totals are there

    m_surface = RecordingSurface();
    m_settings.leftmrg = margin;
    print(command);
    QCOMPARE(m_surface.operations.size(), atZero.size());
    for (qsizetype i = 0; i < atZero.size(); ++i) {
        QCOMPARE(m_surface.operations[i].text, atZero[i].text);
        QCOMPARE(m_surface.operations[i].x, atZero[i].x);
        QCOMPARE(m_surface.operations[i].y, atZero[i].y);
    }
}

QTEST_APPLESS_MAIN(TestStatement)
#include "tst_statement.moc"
