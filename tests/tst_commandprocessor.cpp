#include "channel/commandprocessor.h"
#include "channel/repeatguard.h"
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
    void refusesADocumentThatWouldPrintWrong_data();
    void refusesADocumentThatWouldPrintWrong();
    void takesOnlyTheCommandCookie_data();
    void takesOnlyTheCommandCookie();
    void runsADoubleClickOnce_data();
    void runsADoubleClickOnce();

private:
    void process(const QByteArray& content);

    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeLauncher m_launcher;
    CookieLines m_lines;
    CommandOutcome m_outcome; // of the last command processed
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
    m_handlers.refused = [this](const QString& key, const QString& problem, const QString&) {
        m_events.append(u"refused "_s + key + u": "_s + problem);
    };
}

void TestCommandProcessor::process(const QByteArray& content)
{
    const QString path = m_dir->filePath(u"cookie.txt"_s);
    QVERIFY(test::writeFile(path, content));
    m_outcome = ProcessCommandFile(readCommandFile(path), m_lines, m_settings, m_launcher, m_handlers);
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
    QTest::newRow("a prt text with id shows the item (the statement refused: it has no date)")
        << u"prt1_idtanka5suu1kin5"_s
        << QStringList{u"refused prt: 明細書の日付「1」を日付として読めません"_s}
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
    process("site\ntell0300dicmpathA.dcm Total10 "
            "rsh山田/100/8/3/prt9_a_0_300_0_300_0_1_x_0_0_y_0_2026-12-08_0\n");
    QCOMPARE(m_events.size(), 3);
    QVERIFY(m_events[0].startsWith(u"call 0300dicmpathA.dcm"_s));
    QVERIFY(m_events[1].startsWith(u"receipt "_s));
    QVERIFY(m_events[2].startsWith(u"statement "_s));
    QCOMPARE(m_launcher.starts.size(), 2);
    QVERIFY(m_launcher.starts[0].commandLine.startsWith(
        u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe   z:\\A.dcm Total10 rsh"_s));
    QCOMPARE(m_launcher.starts[0].style, WindowStyle::MinimizedFocus);
    const QString command = m_lines[1];
    QCOMPARE(m_launcher.starts[1].commandLine,
             display::commandLine(display::totalText(command.mid(command.indexOf(u"Total"_s) + 5, 30))));

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
    process("s\nTotal9prt9_a_0_300_0_300_0_1_x_0_0_y_0_2026-12-08_0\n");
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

void TestCommandProcessor::refusesADocumentThatWouldPrintWrong_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("outcome"); // the event: printed (the document's name), or refused and why
    const QString statement = u"prt9_a_1_x?A?1?100?100_300_0_300_0_1_x_0_0_y_0_2026-12-08_0"_s;
    QTest::newRow("a receipt with its fields") << u"rsh山田様/1,000/80/3"_s << u"receipt"_s;
    QTest::newRow("a receipt with empty tax and staff: a tax-free fee")
        << u"rsh山田様/1000//"_s << u"receipt"_s;
    QTest::newRow("a receipt without an amount")
        << u"rsh山田様"_s << u"refused rsh: 領収書の金額がありません"_s;
    QTest::newRow("a receipt cut at a semicolon")
        << u"rsh山田様/"_s << u"refused rsh: 領収書の金額がありません"_s;
    QTest::newRow("a percent-encoded receipt")
        << u"rsh%E5%B1%B1%2F1000"_s << u"refused rsh: 領収書の金額がありません"_s;
    QTest::newRow("an amount followed by other text")
        << u"rsh山田様/1000円/80/3"_s << u"refused rsh: 領収書の金額「1000円」が数値ではありません"_s;
    QTest::newRow("a tax that is no number")
        << u"rsh山田様/1000/x/3"_s << u"refused rsh: 領収書の消費税「x」が数値ではありません"_s;
    QTest::newRow("a staff field that is no number")
        << u"rsh山田様/1000/80/佐藤"_s << u"refused rsh: 領収書の担当「佐藤」が数値ではありません"_s;
    QTest::newRow("a statement with its fields") << statement << u"statement"_s;
    QTest::newRow("a statement without a date")
        << u"prt9_a_0"_s << u"refused prt: 明細書の日付「a」を日付として読めません"_s;
    QTest::newRow("a statement whose date does not convert")
        << QString(statement).replace(u"2026-12-08"_s, u"2026-13-40"_s)
        << u"refused prt: 明細書の日付「2026-13-40」を日付として読めません"_s;
    QTest::newRow("a statement whose fee is no number")
        << QString(statement).replace(u"_300_0_300_"_s, u"_300円_0_300_"_s)
        << u"refused prt: 明細書の診療費「300円」が数値ではありません"_s;
    QTest::newRow("a statement whose item amount is no number")
        << QString(statement).replace(u"?100?100_"_s, u"?100?abc_"_s)
        << u"refused prt: 明細書の項目「A」の金額「abc」が数値ではありません"_s;
}

void TestCommandProcessor::refusesADocumentThatWouldPrintWrong()
{
    // A refused document prints nothing; the command's other keys still run.
    QFETCH(QString, command);
    QFETCH(QString, outcome);
    process("site\nwel" + command.toUtf8() + "\nclinic.example/\n");
    QCOMPARE(m_events,
             QStringList{outcome.startsWith(u"refused"_s) ? outcome : outcome + u" wel"_s + command});
    QCOMPARE(m_launcher.starts.size(), 1);
    // The page learns the same: carried out, or refused with the problem.
    const bool refused = outcome.startsWith(u"refused"_s);
    QCOMPARE(m_outcome.ok, !refused);
    QCOMPARE(m_outcome.reason, refused ? u"bad-command"_s : QString());
    QVERIFY(!refused || outcome.endsWith(m_outcome.text));
}

void TestCommandProcessor::takesOnlyTheCommandCookie_data()
{
    QTest::addColumn<QString>("cookiename"); // empty: unset
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("carriedOut");
    QTest::newRow("unset: every cookie of the sites") << QString() << QByteArray("csrftoken") << true;
    QTest::newRow("the command cookie") << u"orvane"_s << QByteArray("orvane") << true;
    QTest::newRow("the web system's CSRF token") << u"orvane"_s << QByteArray("csrftoken") << false;
    QTest::newRow("names are case-sensitive") << u"orvane"_s << QByteArray("Orvane") << false;
}

void TestCommandProcessor::takesOnlyTheCommandCookie()
{
    QFETCH(QString, cookiename);
    QFETCH(QByteArray, name);
    QFETCH(bool, carriedOut);
    if (!cookiename.isEmpty())
        m_settings.cookiename = cookiename;
    process(name + "\nrsh2Z/1000\nclinic.example/\n");
    QCOMPARE(m_events.size(), carriedOut ? 1 : 0);
    QCOMPARE(m_outcome.reason, carriedOut ? QString() : u"not-a-command"_s);
}

void TestCommandProcessor::runsADoubleClickOnce_data()
{
    QTest::addColumn<QList<int>>("times");   // ms
    QTest::addColumn<QStringList>("values"); // of the same cookie
    QTest::addColumn<QList<bool>>("admitted");
    QTest::newRow("the same value twice within a millisecond")
        << QList<int>{0, 1} << QStringList{u"rsh"_s, u"rsh"_s} << QList<bool>{true, false};
    QTest::newRow("distinct values each run")
        << QList<int>{0, 1} << QStringList{u"Total1"_s, u"Total2"_s} << QList<bool>{true, true};
    QTest::newRow("the same value a second later runs again")
        << QList<int>{0, 999, 1000} << QStringList{u"wel"_s, u"wel"_s, u"wel"_s}
        << QList<bool>{true, false, true};
    QTest::newRow("the window runs from the last one carried out")
        << QList<int>{0, 600, 1200, 1500} << QStringList{u"wel"_s, u"wel"_s, u"wel"_s, u"wel"_s}
        << QList<bool>{true, false, true, false};
}

void TestCommandProcessor::runsADoubleClickOnce()
{
    QFETCH(QList<int>, times);
    QFETCH(QStringList, values);
    QFETCH(QList<bool>, admitted);
    qint64 now = 0;
    RepeatGuard guard([&now] { return now; });
    QList<bool> outcome;
    for (qsizetype i = 0; i < times.size(); ++i) {
        now = times[i];
        outcome.append(
            guard.admit(u"uketsuke\n"_s + values[i] + u"\nclinic.example/\n0\n"_s + QString::number(i)));
    }
    QCOMPARE(outcome, admitted);
    QVERIFY(guard.admit(u"another\nwel\nclinic.example/\n"_s)); // another cookie is another command
}

QTEST_GUILESS_MAIN(TestCommandProcessor)
#include "tst_commandprocessor.moc"
