#include "print/fonts.h"
#include "print/printaligned.h"
#include "print/qtprintsurface.h"
#include "print/receipt.h"
#include "print/statement.h"
#include "support/pdftext.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

// Printed pages read back from the PDF the Qt adapter writes where there is no printer.
class TestPrintPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void placesTextAtItsTwipPosition();
    void printsAReceiptOnA5Landscape();
    void namesEachJobsFile();
    void printsAStatementWithABarcode();
    void leavesNoCutPageWhenKilled();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestPrintPdf::initTestCase()
{
    installFontSubstitutions();
}

void TestPrintPdf::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestPrintPdf::placesTextAtItsTwipPosition()
{
    QtPrintSurface surface(QtPrintSurface::Target::Pdf, m_dir->filePath(u"prints"_s));
    surface.setDocumentName(u"statement"_s);
    surface.setFontName(u"ＭＳ ゴシック"_s);
    surface.setOrientation(PrintSurface::kPortrait);
    surface.setPaperSize(PrintSurface::kPaperA5);
    surface.setFontSize(11);
    QVERIFY(PrintAligned(surface, u"12,000"_s, Alignment::RightEdge, 7000, 2300));
    QVERIFY(PrintAligned(surface, u"left"_s, Alignment::LeftEdge, 500, 4000));
    // Half-width characters of the typeface are half an em: 6 characters of 11 points are 660 twips.
    QCOMPARE(qRound(*surface.textWidth(u"12,000"_s)), 660);
    QVERIFY(surface.endDoc());

    const QList<test::PdfWord> words = test::readPdfWords(surface.lastPdf());
    const test::PdfWord* amount = test::findWord(words, u"12,000"_s);
    QVERIFY(amount);
    QCOMPARE(amount->pageSize, QSizeF(420, 595));
    QVERIFY2(qAbs(amount->box.right() - 350) <= 1, qPrintable(QString::number(amount->box.right())));
    QVERIFY2(qAbs(amount->box.top() - 115) <= 1, qPrintable(QString::number(amount->box.top())));
    const test::PdfWord* left = test::findWord(words, u"left"_s);
    QVERIFY(left);
    QVERIFY(qAbs(left->box.left() - 25) <= 1);
    QVERIFY(qAbs(left->box.top() - 200) <= 1);
}

void TestPrintPdf::printsAReceiptOnA5Landscape()
{
    QtPrintSurface surface(QtPrintSurface::Target::Pdf, m_dir->filePath(u"prints"_s));
    Settings settings;
    settings.name1 = u"オルヴェイン"_s;
    settings.addr = u"東京都港区"_s;
    printReceipt(surface, u"rsh山田様/12000/960/3"_s, settings, QDate(2024, 3, 5),
                 m_dir->filePath(u"counter.txt"_s));
    QVERIFY(surface.lastPdf().endsWith(u"-receipt.pdf"_s));
    const QList<test::PdfWord> words = test::readPdfWords(surface.lastPdf());
    QVERIFY(!words.isEmpty());
    QCOMPARE(words.last().page, 1);
    QCOMPARE(words.first().pageSize, QSizeF(595, 420));

    const struct
    {
        QString text;
        double x, y;
    } expected[] = {
        {u"0000-0"_s, 0, 5},         {u"2024年03月05日(火曜日)"_s, 250, 5}, {u"領"_s, 125, 20},
        {u"￥12,000─"_s, 150, 75},   {u"(消費税￥960)"_s, 150, 95},         {u"担当：3"_s, 250, 130},
        {u"オルヴェイン"_s, 0, 130},
    };
    for (const auto& e : expected) {
        const test::PdfWord* word = test::findWord(words, e.text);
        QVERIFY2(word, qPrintable(e.text));
        QVERIFY2(qAbs(word->box.left() - e.x) <= 1 && qAbs(word->box.top() - e.y) <= 1,
                 qPrintable(e.text + u" at "_s + QString::number(word->box.left()) + u',' +
                            QString::number(word->box.top())));
    }
    // The address follows the clinic's name on the next line.
    const test::PdfWord* address = test::findWord(words, u"東京都港区"_s);
    QVERIFY(address);
    QVERIFY(address->box.top() > 130 + 10 && address->box.top() < 130 + 16);
}

void TestPrintPdf::namesEachJobsFile()
{
    QtPrintSurface surface(QtPrintSurface::Target::Pdf, m_dir->filePath(u"prints"_s));
    QStringList files;
    for (int i = 0; i < 3; ++i) {
        surface.setDocumentName(u"receipt"_s);
        surface.print(u"x"_s);
        surface.endDoc();
        files.append(surface.lastPdf());
    }
    files.removeDuplicates();
    QCOMPARE(files.size(), 3);
    QCOMPARE(QDir(m_dir->filePath(u"prints"_s)).entryList(QDir::Files).size(), 3);
    QVERIFY(!surface.endDoc()); // no job open
}

void TestPrintPdf::printsAStatementWithABarcode()
{
    QtPrintSurface surface(QtPrintSurface::Target::Pdf, m_dir->filePath(u"prints"_s));
    Settings settings;
    settings.name1 = u"オルヴェイン"_s;
    settings.foot1 = u"お大事に"_s;
    const StatementOutcome outcome =
        printStatement(surface, test::statementCommand(u"4711"_s, 20, u"2024-03-05"_s), settings);
    QCOMPARE(outcome.pages, 2);
    QVERIFY(surface.lastPdf().endsWith(u"-statement.pdf"_s));

    const QList<test::PdfWord> words = test::readPdfWords(surface.lastPdf());
    QCOMPARE(words.last().page, 2);
    QCOMPARE(words.first().pageSize, QSizeF(420, 595));
    const auto near = [](const test::PdfWord* word, double x, double y, bool rightEdge) {
        return word && qAbs((rightEdge ? word->box.right() : word->box.left()) - x) <= 1 &&
               qAbs(word->box.top() - y) <= 1;
    };
    // Page numbers end at X 4000, Y 11100 (200 and 555 points).
    QVERIFY(near(test::findWord(words, u"01"_s, 1), 200, 555, true));
    QVERIFY(near(test::findWord(words, u"02"_s, 2), 200, 555, true));
    QVERIFY(near(test::findWord(words, u"診療明細書"_s, 1), 115, 15, false));
    QVERIFY(near(test::findWord(words, u"診療明細書"_s, 2), 115, 15, false));
    // With insurance 15 items a page: item 16 on row 2 of page 2 (Y 2300), amounts ending at X 7000.
    QVERIFY(near(test::findWord(words, u"処置15"_s, 1), 0, 360.0, false));
    QVERIFY(near(test::findWord(words, u"処置16"_s, 2), 0, 115, false));
    QVERIFY(near(test::findWord(words, u"1,500"_s, 2), 295, 115, true)); // unit price, ends at X 5900
    QVERIFY(std::any_of(words.begin(), words.end(), [&](const test::PdfWord& w) {
        return w.page == 2 && w.text == u"1,500" && near(&w, 350, 115, true); // amount, ends at X 7000
    }));
    QVERIFY(near(test::findWord(words, u"お大事に"_s, 1), 90, 470, false));
    // Totals below item 20 (row 6 of page 2): the fee on row 7.
    QVERIFY(near(test::findWord(words, u"今回治療費："_s, 2), 227.5, 202.5, false));
    QVERIFY(near(test::findWord(words, u"9,000円也"_s, 2), 250, 272.5, true));

    // Without an NW-7 typeface the barcode is drawn as bars that a scanner reads.
    const QStringList barcodes = test::readBarcodes(surface.lastPdf(), 2);
    QCOMPARE(barcodes, QStringList{u"Codabar:A047110A"_s});
    QVERIFY(test::readBarcodes(surface.lastPdf(), 1).isEmpty());
}

void TestPrintPdf::leavesNoCutPageWhenKilled()
{
    const QString prints = m_dir->filePath(u"prints"_s);
    QProcess job;
    job.start(QDir(qEnvironmentVariable("ORVANE_BINARY_DIR")).filePath(u"tests/support/print-until-killed"_s),
              {prints});
    QVERIFY(job.waitForFinished(30000));
    QCOMPARE(job.exitStatus(), QProcess::CrashExit);
    const QDir folder(prints);
    QCOMPARE(folder.entryList({u"*.pdf"_s}, QDir::Files), QStringList()); // no page that looks like a job
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden).size(), 1);     // the unfinished one, aside

    // The next start takes away what the killed run left.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"a killed run did not finish"_s));
    const QtPrintSurface next(QtPrintSurface::Target::Pdf, prints);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_MAIN(TestPrintPdf)
#include "tst_print_pdf.moc"
