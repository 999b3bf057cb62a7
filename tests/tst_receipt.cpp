#include "print/printaligned.h"
#include "print/receipt.h"
#include "support/recordingsurface.h"
#include "support/testsupport.h"
#include "text/legacytext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;
using Kind = RecordingSurface::Kind;

class TestReceipt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void printsAlignedText_data();
    void printsAlignedText();
    void stopsAlignedTextAtAFailingStep();
    void printsEveryItemInOrder();
    void formatsTheCustomerName_data();
    void formatsTheCustomerName();
    void printsFieldsThatAreNoNumbers_data();
    void printsFieldsThatAreNoNumbers();
    void splitsIntoAtMost101Fields();
    void usesTheFirstRsh();
    void countsReceipts_data();
    void countsReceipts();
    void reportsACounterThatCannotBeWritten();
    void advancesTheCounterWhenThePrinterFails();

private:
    ReceiptOutcome print(const QString& commandText);

    std::unique_ptr<QTemporaryDir> m_dir;
    RecordingSurface m_surface;
    Settings m_settings;
    QString m_counter;
};

void TestReceipt::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_surface = {};
    m_settings = {};
    m_settings.name1 = u"オルヴェイン"_s;
    m_settings.name2 = u"歯科"_s;
    m_settings.addr = u"東京都港区1-2-3"_s;
    m_settings.tel = u"03-0000-0000"_s;
    m_counter = m_dir->filePath(u"counter.txt"_s);
}

ReceiptOutcome TestReceipt::print(const QString& commandText)
{
    return printReceipt(m_surface, commandText, m_settings, QDate(2024, 3, 5), m_counter);
}

void TestReceipt::printsAlignedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("x");
    QTest::addColumn<float>("startX");
    // The recording surface's 10-point half-width character is 100 twips wide.
    QTest::newRow("right edge: a text 900 twips wide ends at 7000") << u"123456789"_s << 1 << 7000 << 6100.0f;
    QTest::newRow("right edge: an empty text starts at x") << QString() << 1 << 7000 << 7000.0f;
    QTest::newRow("right edge: wider than x starts off the page") << u"12345"_s << 1 << 300 << -200.0f;
    QTest::newRow("right edge: no rounding to whole twips") << u"1"_s << 1 << 1000 << 900.0f;
    QTest::newRow("left edge: starts at x") << u"全角の文字"_s << 0 << 4500 << 4500.0f;
}

void TestReceipt::printsAlignedText()
{
    QFETCH(QString, text);
    QFETCH(int, alignment);
    QFETCH(int, x);
    QFETCH(float, startX);
    m_surface.setFontSize(10);
    QVERIFY(PrintAligned(m_surface, text, Alignment(alignment), x, 2300));
    QCOMPARE(m_surface.operations.size(), 1);
    QCOMPARE(m_surface.operations[0].text, text);
    QCOMPARE(m_surface.operations[0].x, startX);
    QCOMPARE(m_surface.operations[0].y, 2300.0f);
    QCOMPARE(m_surface.currentX(), 0.0f); // the print ended its line

    m_surface.setFontSize(10.5);
    QVERIFY(PrintAligned(m_surface, u"1"_s, Alignment::RightEdge, 1000, 0));
    QCOMPARE(m_surface.operations.last().x, 895.0f); // 105 twips: a fraction is kept
}

void TestReceipt::stopsAlignedTextAtAFailingStep()
{
    m_surface.workingOperations = 0;
    QVERIFY(!PrintAligned(m_surface, u"123"_s, Alignment::RightEdge, 7000, 100));
    QCOMPARE(m_surface.currentX(), 0.0f); // the width failed: the position was not set
}

void TestReceipt::printsEveryItemInOrder()
{
    QVERIFY(test::writeFile(m_counter, " 41\r\n"));
    const ReceiptOutcome outcome = print(u"rsh山田様/12000/960/3"_s);
    QCOMPARE(outcome.number, 41);
    QCOMPARE(m_surface.documentNames, QStringList{u"receipt"_s});
    QCOMPARE(m_surface.scaleMode, 1);

    struct Expected
    {
        Kind kind;
        QString text;
        double size;
        float x, y, x2, y2;
    };
    const QList<Expected> expected{
        {Kind::Text, u"0000-41"_s, 12, 0, 100, 0, 0},
        {Kind::Text, u"2024年03月05日(火曜日)"_s, 12, 5000, 100, 0, 0},
        {Kind::Text, u"領　収　書"_s, 18, 2500, 400, 0, 0},
        {Kind::Text, u"         山田  様"_s, 18, 100, 800, 0, 0},
        {Kind::Line, QString(), 18, 0, 1150, 3500, 1150},
        {Kind::Text, u"￥12,000─"_s, 18, 3000, 1500, 0, 0},
        {Kind::Line, QString(), 18, 800, 1850, 6000, 1850},
        {Kind::Text, u"(消費税￥960)"_s, 12, 3000, 1900, 0, 0},
        {Kind::Text, u"但し、"_s, 12, 800, 2200, 0, 0},
        {Kind::Line, QString(), 12, 800, 2500, 6000, 2500},
        {Kind::Text, u"担当：3"_s, 12, 5000, 2600, 0, 0},
        {Kind::Text, u"オルヴェイン歯科"_s, 12, 0, 2600, 0, 0},
        {Kind::Text, u"東京都港区1-2-3"_s, 12, 0, 2840, 0, 0},
        {Kind::Text, u"03-0000-0000"_s, 12, 0, 3080, 0, 0},
        {Kind::Text, u"*保管上のお願い"_s, 12, 0, 3320, 0, 0},
        {Kind::Text, u"財布等で保管戴く場合、印刷面を内側に折って保管願います。"_s, 12, 0, 3560, 0, 0},
        {Kind::EndDoc, QString(), 12, 0, 0, 0, 0},
    };
    QCOMPARE(m_surface.operations.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const RecordingSurface::Operation& op = m_surface.operations[i];
        const Expected& e = expected[i];
        QCOMPARE(op.kind, e.kind);
        QCOMPARE(op.orientation, int(PrintSurface::kLandscape));
        QCOMPARE(op.paperSize, int(PrintSurface::kPaperA5));
        QCOMPARE(op.font, u"ＭＳ ゴシック"_s);
        if (e.kind == Kind::EndDoc)
            continue;
        QCOMPARE(op.size, e.size);
        if (e.kind == Kind::Text) {
            QCOMPARE(op.text, e.text);
            QCOMPARE(op.x, e.x);
            QCOMPARE(op.y, e.y);
        } else {
            QCOMPARE(op.drawStyle, 3);
            QCOMPARE(op.drawWidth, 2);
            QCOMPARE(QList<float>({op.x, op.y, op.x2, op.y2}), QList<float>({e.x, e.y, e.x2, e.y2}));
        }
    }
    QCOMPARE(test::readFile(m_counter), QByteArray(" 42\r\n"));
}

void TestReceipt::formatsTheCustomerName_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("line");
    QTest::newRow("未設定 becomes an ideographic space") << u"未設定"_s << u"          　  様"_s;
    QTest::newRow("the text before 様") << u"山田太郎様"_s << u"       山田太郎  様"_s;
    QTest::newRow("a blank before 様 stays") << u"山田 様"_s << u"        山田   様"_s;
    QTest::newRow("様 first leaves nothing") << u"様子"_s << u"             様"_s;
    QTest::newRow("a name without 様") << u"Tanaka"_s << u"     Tanaka  様"_s;
    QTest::newRow("a long name is kept whole") << u"ABCDEFGHIJKLMN"_s << u"ABCDEFGHIJKLMN  様"_s;
}

void TestReceipt::formatsTheCustomerName()
{
    QFETCH(QString, field);
    QFETCH(QString, line);
    print(u"rsh"_s + field + u"/100/8/1"_s);
    QCOMPARE(m_surface.texts()[3].text, line);
}

void TestReceipt::printsFieldsThatAreNoNumbers_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QStringList>("printed"); // amount, tax, staff; "-" for not printed
    QTest::newRow("numbers") << u"A/1500.5/120/7"_s
                             << QStringList{u"￥1,501─"_s, u"(消費税￥120)"_s, u"担当：7"_s};
    QTest::newRow("a whole text is the name only") << u"山田"_s << QStringList{u"-"_s, u"-"_s, u"-"_s};
    QTest::newRow("empty fields print nothing") << u"A//  /"_s << QStringList{u"-"_s, u"-"_s, u"-"_s};
    QTest::newRow("texts stand in the frame")
        << u"A/未定/-/田中"_s << QStringList{u"￥未定─"_s, u"(消費税￥-)"_s, u"担当：田中"_s};
}

void TestReceipt::printsFieldsThatAreNoNumbers()
{
    QFETCH(QString, fields);
    QFETCH(QStringList, printed);
    print(u"rsh"_s + fields);
    const QList<float> ys{1500, 1900, 2600};
    const QList<float> xs{3000, 3000, 5000};
    const QList<RecordingSurface::Operation> texts = m_surface.texts();
    for (qsizetype i = 0; i < 3; ++i) {
        const RecordingSurface::Operation* found = nullptr;
        for (const RecordingSurface::Operation& op : texts)
            if (op.x == xs[i] && op.y == ys[i])
                found = &op;
        if (printed[i] == u"-")
            QVERIFY2(!found, qPrintable(found ? found->text : QString()));
        else
            QCOMPARE(found ? found->text : QString(), printed[i]);
    }
    QVERIFY(m_surface.findText(u"但し、"_s)); // the page is printed in any case
}

void TestReceipt::splitsIntoAtMost101Fields()
{
    QStringList many;
    for (int i = 0; i < 150; ++i)
        many.append(QString::number(i));
    const QStringList fields = text::splitFields(many.join(u'/'), u'/');
    QCOMPARE(fields.size(), 101);
    QCOMPARE(fields.last(), u"100"_s);
    QCOMPARE(text::splitFields(u"a//b/"_s, u'/'), (QStringList{u"a"_s, QString(), u"b"_s, QString()}));

    print(u"rsh"_s + many.join(u'/'));
    QVERIFY(m_surface.findText(u"￥1─"_s));
}

void TestReceipt::usesTheFirstRsh()
{
    print(u"xrsh佐藤/500/40/2rsh鈴木/9/9/9"_s);
    QCOMPARE(m_surface.texts()[3].text, u"         佐藤  様"_s);
    QVERIFY(m_surface.findText(u"￥500─"_s));
}

void TestReceipt::countsReceipts_data()
{
    QTest::addColumn<QByteArray>("before"); // "-" for no file
    QTest::addColumn<QString>("printed");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("the first receipt ever") << QByteArray("-") << u"0000-0"_s << QByteArray(" 1\r\n");
    QTest::newRow("an empty file") << QByteArray() << u"0000-0"_s << QByteArray(" 1\r\n");
    QTest::newRow("the next number") << QByteArray(" 122\r\n") << u"0000-122"_s << QByteArray(" 123\r\n");
    QTest::newRow("blanks around the number") << QByteArray("  5  \n") << u"0000-5"_s << QByteArray(" 6\r\n");
    QTest::newRow("numbering goes on past 32767")
        << QByteArray(" 32767\r\n") << u"0003-2767"_s << QByteArray(" 32768\r\n");
    QTest::newRow("and prints the next one whole")
        << QByteArray(" 32768\r\n") << u"0003-2768"_s << QByteArray(" 32769\r\n");
}

void TestReceipt::countsReceipts()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, printed);
    QFETCH(QByteArray, after);
    if (before != "-")
        QVERIFY(test::writeFile(m_counter, before));
    const ReceiptOutcome outcome = print(u"rsh山田/100/8/1"_s);
    QVERIFY(outcome.counterSaved);
    QCOMPARE(m_surface.texts()[0].text, printed);
    QCOMPARE(test::readFile(m_counter), after);
}

void TestReceipt::reportsACounterThatCannotBeWritten()
{
    // Read-only for its owner, or (for a user whom permissions do not stop) a folder in its place.
    QVERIFY(test::writeFile(m_counter, " 7\r\n"));
    QFile::setPermissions(m_counter, QFileDevice::ReadOwner);
    ReceiptOutcome outcome = print(u"rsh山田/100/8/1"_s);
    if (!QFileInfo(m_counter).isWritable()) {
        QVERIFY(!outcome.counterSaved);
        QCOMPARE(outcome.number, 7);
        QVERIFY(m_surface.findText(u"0000-7"_s));
        QCOMPARE(test::readFile(m_counter), QByteArray(" 7\r\n"));
    }
    QFile::setPermissions(m_counter, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(QFile::remove(m_counter));
    QVERIFY(QDir().mkdir(m_counter));
    outcome = print(u"rsh山田/100/8/1"_s);
    QVERIFY(!outcome.counterSaved);
    QVERIFY(QFileInfo(m_counter).isDir());
}

void TestReceipt::advancesTheCounterWhenThePrinterFails()
{
    m_surface.workingOperations = 0;
    const ReceiptOutcome outcome = print(u"rsh山田/100/8/1"_s);
    QVERIFY(outcome.counterSaved);
    QCOMPARE(test::readFile(m_counter), QByteArray(" 1\r\n"));
}

QTEST_APPLESS_MAIN(TestReceipt)
#include "tst_receipt.moc"
