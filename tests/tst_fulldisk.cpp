#include "print/qtprintsurface.h"
#include "print/receipt.h"
#include "support/recordingsurface.h"
#include "support/testsupport.h"
#include "totals/dailytotals.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace orvane;

// The bridge's files on a real file system that runs full: a small tmpfs mounted for the test.
class TestFullDisk : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keepsTheCounterWhenItCannotBeSaved();
    void leavesNoFragmentInTheDailyTotals();
    void removesAPdfThatCannotBeCompleted();

private:
    // Fills the file system but for at most `room` bytes.
    void fill(qint64 room = 0);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_mount;
    bool m_mounted = false;
};

void TestFullDisk::init()
{
    if (geteuid() != 0)
        QSKIP("mounting a small file system needs root; the full-disk behaviour is not tested here");
    m_dir = std::make_unique<QTemporaryDir>();
    m_mount = m_dir->filePath(u"disk"_s);
    QDir().mkpath(m_mount);
    m_mounted = QProcess::execute(u"mount"_s,
                                  {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size=256k"_s, u"tmpfs"_s, m_mount}) == 0;
    if (!m_mounted)
        QSKIP("no tmpfs could be mounted here; the full-disk behaviour is not tested");
}

void TestFullDisk::cleanup()
{
    if (m_mounted)
        QProcess::execute(u"umount"_s, {m_mount});
    m_mounted = false;
    m_dir.reset();
}

void TestFullDisk::fill(qint64 room)
{
    QFile filler(QDir(m_mount).filePath(u"filler"_s));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray page(4096, 'f');
    while (filler.write(page) == page.size()) {
    }
    // Give back whole pages until the room asked for is free.
    const qint64 pages = (room + page.size() - 1) / page.size();
    QVERIFY(filler.resize(std::max<qint64>(0, filler.size() - pages * page.size())));
}

void TestFullDisk::keepsTheCounterWhenItCannotBeSaved()
{
    const QString counter = QDir(m_mount).filePath(u"counter.txt"_s);
    QVERIFY(test::writeFile(counter, " 41\r\n"));
    fill();
    RecordingSurface surface;
    const ReceiptOutcome outcome =
        printReceipt(surface, u"rsh山田/100/8/1"_s, Settings(), QDate(2026, 12, 8), counter);
    QCOMPARE(outcome.number, 41);
    QVERIFY(!outcome.counterSaved); // reported, and the next receipt repeats the number
    QCOMPARE(test::readFile(counter), QByteArray(" 41\r\n"));
    QCOMPARE(QDir(m_mount).entryList(QDir::Files), (QStringList{u"counter.txt"_s, u"filler"_s}));
}

void TestFullDisk::leavesNoFragmentInTheDailyTotals()
{
    // The file ends 10 bytes short of a page: a line of more than 10 bytes only half fits.
    const QString totals = QDir(m_mount).filePath(u"nikkei.txt"_s);
    const QByteArray before = QByteArray(4086 - 2, 'a') + "\r\n";
    QVERIFY(test::writeFile(totals, before));
    fill();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot write"_s));
    QVERIFY(!appendDailyTotal(totals, u"9_a_0_300_0_300_0_1_x_0_0_y_0_2026-12-08_0/line4"_s));
    QCOMPARE(test::readFile(totals), before);

    QFile::remove(QDir(m_mount).filePath(u"filler"_s)); // room again: the next line stands alone
    QVERIFY(appendDailyTotal(totals, u"10_b/line4"_s));
    QCOMPARE(test::readFile(totals), before + "10_b/line4\r\n");
}

void TestFullDisk::removesAPdfThatCannotBeCompleted()
{
    const QString prints = QDir(m_mount).filePath(u"prints"_s);
    QDir().mkpath(prints);
    fill(4096);
    QtPrintSurface surface(QtPrintSurface::Target::Pdf, prints);
    surface.setDocumentName(u"statement"_s);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"cannot complete the print job"_s));
    for (int page = 0; page < 5; ++page) {
        for (int row = 0; row < 40; ++row)
            surface.print(u"診療明細書 "_s + QString::number(row * 1234567));
        surface.newPage();
    }
    QVERIFY(!surface.endDoc());
    QVERIFY(surface.jobError().contains(u".pdf"_s));
    QVERIFY(QDir(prints).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
