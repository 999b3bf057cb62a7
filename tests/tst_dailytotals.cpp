#include "support/formservices.h"
#include "support/recordingsurface.h"
#include "totals/dailytotals.h"
#include "window/form1.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestDailyTotals : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void buildsTheLine_data();
    void buildsTheLine();
    void appendsLinesInCp932();
    void reportsAnAppendThatFails();
    void startsANewDay();
    void printsAStatementFromACommandFile();
    void showsTheLineWhenItCannotBeAppended();
    void opensTheDayInTheEditor();

private:
    std::unique_ptr<Form1> makeForm();

    std::unique_ptr<test::WorkingFolder> m_dir;
    test::FakeLauncher m_launcher;
    test::FakeNotifier m_notifier;
    RecordingSurface* m_surface = nullptr;
};

void TestDailyTotals::init()
{
    m_dir.reset(); // the last one gives back the folder it entered before the next one enters its own
    m_dir = std::make_unique<test::WorkingFolder>();
    m_launcher = {};
    m_notifier = {};
}

void TestDailyTotals::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<Form1> TestDailyTotals::makeForm()
{
    FormServices services = test::formServices(m_dir->filePath(u"wine"_s), &m_launcher, &m_notifier, nullptr);
    services.makePrintSurface = [this] {
        auto surface = std::make_unique<RecordingSurface>();
        m_surface = surface.get();
        return surface;
    };
    return std::make_unique<Form1>(services);
}

void TestDailyTotals::buildsTheLine_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("line4");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << u"1_a_0_100"_s << u"受付A"_s << u"1_a_0_100/受付A"_s;
    QTest::newRow("blanks around are trimmed, inside kept")
        << u"  1_山田 様_0  "_s << u" x y "_s << u"1_山田 様_0/x y"_s;
    QTest::newRow("an empty fifth line") << u"1"_s << QString() << u"1/"_s;
}

void TestDailyTotals::buildsTheLine()
{
    QFETCH(QString, statement);
    QFETCH(QString, line4);
    QFETCH(QString, line);
    QCOMPARE(dailyTotalsLine(statement, line4), line);
}

void TestDailyTotals::appendsLinesInCp932()
{
    QVERIFY(appendDailyTotal(u"nikkei.txt"_s, u"1_山田/受付"_s));
    QVERIFY(appendDailyTotal(u"nikkei.txt"_s, u"2_ｶﾅ/x"_s));
    QCOMPARE(test::readFile(u"nikkei.txt"_s),
             QByteArray("1_\x8E\x52\x93\x63/\x8E\xF3\x95\x74\r\n2_\xB6\xC5/x\r\n"));
}

void TestDailyTotals::reportsAnAppendThatFails()
{
    QVERIFY(QDir().mkdir(u"nikkei.txt"_s)); // cannot be opened as a file, whoever runs the test
    QVERIFY(!appendDailyTotal(u"nikkei.txt"_s, u"1/x"_s));
}

void TestDailyTotals::startsANewDay()
{
    // A missing file is created empty; no copy is made of nothing.
    QVERIFY(startNewDay(u"nikkei.txt"_s, u"nikkei.bak"_s));
    QCOMPARE(QFileInfo(u"nikkei.txt"_s).size(), 0);
    QVERIFY(!QFile::exists(u"nikkei.bak"_s));

    QVERIFY(test::writeFile(u"nikkei.txt"_s, "day one\r\n"));
    QVERIFY(startNewDay(u"nikkei.txt"_s, u"nikkei.bak"_s));
    QCOMPARE(QFileInfo(u"nikkei.txt"_s).size(), 0);
    QCOMPARE(test::readFile(u"nikkei.bak"_s), QByteArray("day one\r\n"));

    // Pressed again on the empty file: it stays empty and the copy of the last day stays.
    QVERIFY(startNewDay(u"nikkei.txt"_s, u"nikkei.bak"_s));
    QCOMPARE(test::readFile(u"nikkei.bak"_s), QByteArray("day one\r\n"));

    QVERIFY(test::writeFile(u"nikkei.txt"_s, "day two\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    form->daystart_Click();
    QCOMPARE(QFileInfo(u"nikkei.txt"_s).size(), 0);
    QCOMPARE(test::readFile(u"nikkei.bak"_s), QByteArray("day two\r\n"));
    QVERIFY(m_notifier.messages.isEmpty());
}

void TestDailyTotals::printsAStatementFromACommandFile()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\n"));
    const QString cookies =
        m_dir->filePath(u"wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"_s);
    QDir().mkpath(cookies);
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form->Form_Load());
    const QByteArray command = " prt77_山田 様_1_錠?薬?1?500?500_500_0_1000_500_3_x_0_0_y_0_2024-03-05_0 ";
    QVERIFY(test::writeFile(QDir(cookies).filePath(u"c.txt"_s), "site\n" + command + "\n/\n0\n受付1\n"));
    QTRY_VERIFY(QFile::exists(u"nikkei.txt"_s));
    QCOMPARE(test::readFile(u"nikkei.txt"_s),
             QByteArray("77_\x8E\x52\x93\x63 "
                        "\x97\x6C_1_\x8F\xF9?\x96\xF2?1?500?500_500_0_1000_500_3_x_0_0_y_0_2024-03-05_0/"
                        "\x8E\xF3\x95\x74"
                        "1\r\n"));
    QVERIFY(m_surface->findText(u"A0770A"_s));
    QCOMPARE(m_launcher.starts.size(), 1);
    QVERIFY(m_launcher.starts[0].commandLine.endsWith(u"\\500\""_s));
}

void TestDailyTotals::showsTheLineWhenItCannotBeAppended()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\n"));
    QVERIFY(QDir().mkdir(u"nikkei.txt"_s));
    const QString cookies =
        m_dir->filePath(u"wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"_s);
    QDir().mkpath(cookies);
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form->Form_Load());
    QVERIFY(test::writeFile(QDir(cookies).filePath(u"c.txt"_s),
                            "site\nprt5_a_0_100_0_0_0_1_x_0_0_y_0_2024-03-05_0\n"));
    QTRY_COMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"5_a_0_100_0_0_0_1_x_0_0_y_0_2024-03-05_0/"_s));
    QVERIFY(m_surface->findText(u"A050A"_s)); // the statement itself was printed
}

void TestDailyTotals::opensTheDayInTheEditor()
{
    const std::unique_ptr<Form1> form = makeForm();
    QTest::mouseClick(form->nikkeidump, Qt::LeftButton);
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].program, u"xdg-open"_s);
    QCOMPARE(m_launcher.starts[0].arguments, QStringList{u"nikkei.txt"_s});
    m_launcher.refuses = true;
    form->nikkeidump_Click();
    QCOMPARE(m_notifier.messages.size(), 1);
}

QTEST_MAIN(TestDailyTotals)
#include "tst_dailytotals.moc"
