#include "channel/commandprocessor.h"
#include "display/displaytext.h"
#include "support/testsupport.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestCommandProcessor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void splitsLines_data();
    void splitsLines();
    void readsUpToTheFirstCarriageReturn();
    void carriesOutKeys_data();
    void carriesOutKeys();
    void carriesOutEveryKeyInOrder();
    void blanksTheDisplayWhenTheFileIsMissing();
    void takesNoCommandFromAFileWithoutASecondLine_data();
    void takesNoCommandFromAFileWithoutASecondLine();
    void keepsEarlierLinesAndLabel();
    void usesTheStatementTotalForTheDisplay();
    void takesCommandsOnlyFromTheWebSystemsSite_data();
    void takesCommandsOnlyFromTheWebSystemsSite();
    void doesNotLendTheLastSiteToAShortFile();
    void readsNoFurtherThanTheFirstMebibyte();

private:
    void process(const QByteArray& content);

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeLauncher m_launcher;
    CookieLines m_lines;
    Settings m_settings;
    CommandHandlers m_handlers;
    QStringList m_events;
    QString m_label;
};

void TestCommandProcessor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_launcher = {};
    m_lines = {};
    m_settings = {};
    m_events.clear();
    m_label = u"(start)"_s;
    m_handlers.phoneCall = [this](const QString& number) { m_events.append(u"call "_s + number); };
    m_handlers.printReceipt = [this](const QString& t) { m_events.append(u"receipt "_s + t); };
    m_handlers.printStatement = [this](const QString& t) -> std::optional<double> {
        m_events.append(u"statement "_s + t);
        return std::nullopt;
    };
    m_handlers.setLabel = [this](const QString& caption) { m_label = caption; };
}

void TestCommandProcessor::process(const QByteArray& content)
{
    const QString path = m_dir->filePath(u"cookie.txt"_s);
    QVERIFY(test::writeFile(path, content));
    ProcessCommandFile(readCommandFile(path), m_lines, m_settings, m_launcher, m_handlers);
}

void TestCommandProcessor::splitsLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("caption"); // "-" when the label is not updated
    QTest::newRow("five lines") << u"site\nwel\nclinic/\n0\nuser"_s
                                << QStringList{u"site"_s, u"wel"_s, u"clinic/"_s, u"0"_s, u"user"_s}
                                << u"siteuser"_s;
    QTest::newRow("empty lines count")
        << u"\n\n"_s << QStringList{QString(), QString(), QString()} << QString();
    QTest::newRow("eleven lines fill the table")
        << u"0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10"_s
        << QStringList{u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s,
                       u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"10"_s}
        << u"04"_s;
    QTest::newRow("twelve lines keep the first eleven and the label")
        << u"0\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11"_s
        << QStringList{u"0"_s, u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s,
                       u"6"_s, u"7"_s, u"8"_s, u"9"_s, u"10"_s}
        << u"-"_s;
}

void TestCommandProcessor::splitsLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QFETCH(QString, caption);
    CookieLines table;
    const std::optional<QString> result = SplitCookieLines(text, table);
    for (qsizetype i = 0; i < lines.size(); ++i)
        QCOMPARE(table[std::size_t(i)], lines[i]);
    if (caption == u"-")
        QVERIFY(!result);
    else
        QCOMPARE(*result, caption);
}

void TestCommandProcessor::readsUpToTheFirstCarriageReturn()
{
    const QString path = m_dir->filePath(u"c.txt"_s);
    QVERIFY(test::writeFile(path, "a\nb\r\nc\nd"));
    QCOMPARE(*readCommandFile(path), u"a\nb"_s);
    QVERIFY(test::writeFile(path, "site\n\x97\x6C\n")); // CP932
    QCOMPARE(*readCommandFile(path), u"site\n様\n"_s);
    QVERIFY(!readCommandFile(m_dir->filePath(u"missing.txt"_s)));
}

void TestCommandProcessor::carriesOutKeys_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("display"); // "-" when no display program is started

    QTest::newRow("tell calls the number") << u"tell123"_s << QStringList{u"call 123"_s} << u"-"_s;
    QTest::newRow("tell takes 30 characters")
        << u"tell" + QString(40, u'9') << QStringList{u"call " + QString(30, u'9')} << u"-"_s;
    QTest::newRow("Total shows the total")
        << u"Total12345"_s << QStringList{} << display::totalText(u"12345"_s);
    QTest::newRow("Total then wel shows the welcome") << u"Total500wel"_s << QStringList{} << u"Welcome"_s;
    QTest::newRow("nykin shows paid and change")
        << u"nykin10000/230"_s << QStringList{} << display::paidChangeText(u"10000"_s, u"230"_s);
    QTest::newRow("nykin reads the paid amount from position 6")
        << u"xxnykin500/20"_s << QStringList{} << display::paidChangeText(u"in500"_s, u"20"_s);
    QTest::newRow("nykin without a slash")
        << u"nykin500"_s << QStringList{} << display::paidChangeText(QString(), u"nykin500"_s);
    QTest::newRow("id with all its keys") << u"idABCDEFGtanka1500suu2kin3000"_s << QStringList{}
                                          << display::itemText(u"ABCDEFG"_s, u"1500"_s, u"2"_s, u"3000"_s);
    QTest::newRow("id without kin") << u"idA1tanka10suu2"_s << QStringList{}
                                    << display::itemText(u"A1"_s, u"10"_s, QString(), u"A1tanka10s"_s);
    QTest::newRow("id without tanka")
        << u"idA1suu2kin30"_s << QStringList{} << display::itemText(QString(), QString(), u"2"_s, u"30"_s);
    QTest::newRow("rsh prints a receipt")
        << u"rsh山田/1000/80/3"_s << QStringList{u"receipt rsh山田/1000/80/3"_s} << u"-"_s;
    QTest::newRow("a prt text with id shows the item")
        << u"prt1_idtanka5suu1kin5"_s << QStringList{u"statement prt1_idtanka5suu1kin5"_s}
        << display::itemText(QString(), u"5"_s, u"1"_s, u"5"_s);
    QTest::newRow("keys are case-sensitive") << u"TELL1 total2 WEL"_s << QStringList{} << u"-"_s;
    QTest::newRow("another site's cookie that holds wel")
        << u"session=welcome-back"_s << QStringList{} << u"Welcome"_s;
}

void TestCommandProcessor::carriesOutKeys()
{
    QFETCH(QString, command);
    QFETCH(QStringList, events);
    QFETCH(QString, display);
    process("site\n" + command.toUtf8() + "\nclinic.example/\n0\nuser\n");
    QCOMPARE(m_events, events);
    QCOMPARE(m_label, u"siteuser"_s);
    if (display == u"-") {
        QVERIFY(m_launcher.starts.isEmpty());
        return;
    }
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].commandLine, u"vfddisp.exe \"" + display + u'"');
    QCOMPARE(m_launcher.starts[0].style, WindowStyle::NormalFocus);
}

void TestCommandProcessor::carriesOutEveryKeyInOrder()
{
    m_settings.dicmpath = u"z:\\"_s;
    process("site\ntell0300dicmpathA.dcm Total10 rsh prt\n");
    QCOMPARE(m_events.size(), 3);
    QVERIFY(m_events[0].startsWith(u"call 0300dicmpathA.dcm"_s));
    QVERIFY(m_events[1].startsWith(u"receipt "_s));
    QVERIFY(m_events[2].startsWith(u"statement "_s));
    QCOMPARE(m_launcher.starts.size(), 2);
    QCOMPARE(m_launcher.starts[0].commandLine,
             u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe   z:\\A.dcm Total10 rsh prt"_s);
    QCOMPARE(m_launcher.starts[0].style, WindowStyle::MinimizedFocus);
    QCOMPARE(m_launcher.starts[1].commandLine, display::commandLine(display::totalText(u"10 rsh prt"_s)));

    QCOMPARE(viewerCommandLine(u"pathA.dcm pathB.dcm"_s, u"D:\\img\\"_s),
             u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe   D:\\img\\A.dcm  D:\\img\\B.dcm"_s);
}

void TestCommandProcessor::blanksTheDisplayWhenTheFileIsMissing()
{
    process("site\nTotal1\n");
    const CookieLines before = m_lines;
    m_launcher.starts.clear();
    ProcessCommandFile(readCommandFile(m_dir->filePath(u"gone.txt"_s)), m_lines, m_settings, m_launcher,
                       m_handlers);
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].commandLine, u"vfddisp.exe \"\""_s);
    QVERIFY(m_lines == before);
}

void TestCommandProcessor::takesNoCommandFromAFileWithoutASecondLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("label");
    QTest::newRow("an empty file") << QByteArray() << QString();
    QTest::newRow("lines ended by carriage returns") << QByteArray("site\r\nTotal5\r\n") << u"site"_s;
}

void TestCommandProcessor::takesNoCommandFromAFileWithoutASecondLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, label);
    process("first\ntell0311\n");
    m_events.clear();
    process(content);
    QVERIFY(m_events.isEmpty());
    QVERIFY(m_launcher.starts.isEmpty());
    QCOMPARE(m_label, label);
    QCOMPARE(m_lines[1], u"tell0311"_s);
}

void TestCommandProcessor::keepsEarlierLinesAndLabel()
{
    process("0\n1\n2\n3\nuser\n5\n");
    process("a\nwel\nc");
    QCOMPARE(m_label, u"auser"_s); // entry 4 of the earlier file
    QCOMPARE(m_lines[2], u"c"_s);
    QCOMPARE(m_lines[5], u"5"_s);

    process("0\nTotal1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11");
    QCOMPARE(m_label, u"auser"_s); // twelve lines: the label stays
    QCOMPARE(m_lines[1], u"Total1"_s);
    QCOMPARE(m_lines[10], u"10"_s);
    QCOMPARE(m_launcher.starts.last().commandLine, display::commandLine(display::totalText(u"1"_s)));
}

void TestCommandProcessor::usesTheStatementTotalForTheDisplay()
{
    m_handlers.printStatement = [](const QString&) -> std::optional<double> { return 4500; };
    process("s\nTotal9prt1_x\n");
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].commandLine, display::commandLine(display::statementTotalText(4500)));
}

void TestCommandProcessor::takesCommandsOnlyFromTheWebSystemsSite_data()
{
    QTest::addColumn<QString>("cookiehost"); // "-" for unset
    QTest::addColumn<QByteArray>("site");
    QTest::addColumn<bool>("carriedOut");
    QTest::newRow("unset: every site") << u"-"_s << QByteArray("news.example/") << true;
    QTest::newRow("the web system's site")
        << u"clinic.example"_s << QByteArray("www.clinic.example/") << true;
    QTest::newRow("another site") << u"clinic.example"_s << QByteArray("news.example/") << false;
    QTest::newRow("no third line") << u"clinic.example"_s << QByteArray() << false;
    QTest::newRow("the host itself, with a leading dot")
        << u"clinic.example"_s << QByteArray(".clinic.example/mivaweb/") << true;
    QTest::newRow("host names are not case-sensitive")
        << u"clinic.example"_s << QByteArray("WWW.Clinic.Example/") << true;
    QTest::newRow("the name only in the path")
        << u"clinic.example"_s << QByteArray("evil.example/clinic.example/") << false;
    QTest::newRow("the name as the start of another host")
        << u"clinic.example"_s << QByteArray("clinic.example.evil.example/") << false;
    QTest::newRow("the name as the end of another name")
        << u"clinic.example"_s << QByteArray("myclinic.example/") << false;
}

void TestCommandProcessor::takesCommandsOnlyFromTheWebSystemsSite()
{
    QFETCH(QString, cookiehost);
    QFETCH(QByteArray, site);
    QFETCH(bool, carriedOut);
    if (cookiehost != u"-")
        m_settings.cookiehost = cookiehost;
    process("name\ntell0300wel\n" + site + "\n1600\nuser\n");
    QCOMPARE(m_events.size(), carriedOut ? 1 : 0);
    QCOMPARE(m_launcher.starts.size(), carriedOut ? 1 : 0);
    QCOMPARE(m_label, u"nameuser"_s);
}

void TestCommandProcessor::readsNoFurtherThanTheFirstMebibyte()
{
    process(QByteArray(2 << 20, 'a') + "\nwel\n"); // its second line lies past the part read
    QVERIFY(m_launcher.starts.isEmpty());
    process(QByteArray(1000, 'a') + "\nwel\n" + QByteArray(2 << 20, 'b'));
    QCOMPARE(m_launcher.starts.size(), 1);
}

void TestCommandProcessor::doesNotLendTheLastSiteToAShortFile()
{
    m_settings.cookiehost = u"clinic.example"_s;
    process("name\nwel\nclinic.example/\n");
    QCOMPARE(m_launcher.starts.size(), 1);
    process("name\ntell0300\n"); // two lines: the site line left from the last file is not its own
    QVERIFY(m_events.isEmpty());
    QCOMPARE(m_launcher.starts.size(), 1);
}

QTEST_GUILESS_MAIN(TestCommandProcessor)
#include "tst_commandprocessor.moc"
