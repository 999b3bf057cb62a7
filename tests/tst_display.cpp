#include "display/displaytext.h"
#include "platform/launcher.h"
#include "text/ansicodec.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestDisplay : public QObject
{
    Q_OBJECT

private slots:
    void buildsTexts_data();
    void buildsTexts();
    void wrapsTheTextInTheCommandLine_data();
    void wrapsTheTextInTheCommandLine();
};

void TestDisplay::buildsTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray total =
        "\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     "; // ｾﾞｲｺﾐｺﾞｳｹｲｷﾝｶﾞｸ
    QTest::newRow("Total 12345") << display::totalText(u"12345"_s)
                                 << total + QByteArray(13, ' ') + "\\12,345";
    QTest::newRow("Total 0") << display::totalText(u"0"_s) << total + QByteArray(18, ' ') + "\\0";
    QTest::newRow("Total not a number")
        << display::totalText(u"abc"_s) << total + QByteArray(16, ' ') + "\\abc";
    QTest::newRow("Total empty") << display::totalText(QString()) << total + QByteArray(19, ' ') + "\\";
    QTest::newRow("Total too long keeps the last 20")
        << display::totalText(u"1234567890123456"_s) << total + ",234,567,890,123,456";
    QTest::newRow("statement total") << display::statementTotalText(4500.4)
                                     << total + QByteArray(14, ' ') + "\\4,500";
    QTest::newRow("paid 10000 change 230") << display::paidChangeText(u"10000"_s, u"230"_s)
                                           << QByteArray("\xBA\xDE\xC6\xAD\xB3\xB7\xDD   ") + "   \\10,000" +
                                                  "\xB5\xC2\xD8\xBE\xDD     " + "      \\230";
    QTest::newRow("paid 12345678 loses the backslash")
        << display::paidChangeText(u"12345678"_s, u"0"_s)
        << QByteArray("\xBA\xDE\xC6\xAD\xB3\xB7\xDD   ") + "12,345,678" + "\xB5\xC2\xD8\xBE\xDD     " +
               "        \\0";
    QTest::newRow("item ABCDEFG") << display::itemText(u"ABCDEFG"_s, u"1500"_s, u"2"_s, u"3000"_s)
                                  << QByteArray("IDCDEFG   ") + "    \\1,500" + "\xBD\xB3\xD8\xAE\xB3" +
                                         "    2" + "    \\3,000";
    QTest::newRow("item quantity 1.5 unformatted")
        << display::itemText(u"A"_s, u"10"_s, u"1.5"_s, u"15"_s)
        << QByteArray("IDA       ") + "       \\10" + "\xBD\xB3\xD8\xAE\xB3" + "  1.5" + "       \\15";
    QTest::newRow("welcome") << display::welcomeText() << QByteArray("Welcome");
}

void TestDisplay::buildsTexts()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(text::encodeAnsi(text), bytes);
    if (text.size() != 7)
        QCOMPARE(text.size(), 40);
}

void TestDisplay::wrapsTheTextInTheCommandLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("commandLine");
    QTest::newRow("plain text") << u"Welcome"_s << u"vfddisp.exe \"Welcome\""_s;
    QTest::newRow("nothing") << QString() << u"vfddisp.exe \"\""_s;
    QTest::newRow("an empty amount ends in the yen backslash")
        << u"ｺﾞｳｹｲ  \\"_s << u"vfddisp.exe \"ｺﾞｳｹｲ  \\\\\""_s;
    QTest::newRow("a double quote") << u"a\"b"_s << u"vfddisp.exe \"a\\\"b\""_s;
    QTest::newRow("backslashes before a double quote") << u"\\\\\"x"_s << u"vfddisp.exe \"\\\\\\\\\\\"x\""_s;
}

void TestDisplay::wrapsTheTextInTheCommandLine()
{
    QFETCH(QString, text);
    QFETCH(QString, commandLine);
    QCOMPARE(display::commandLine(text), commandLine);
    // The program reads back exactly the text.
    QCOMPARE(splitWindowsArguments(commandLine.mid(12)), QStringList{text});
}

QTEST_APPLESS_MAIN(TestDisplay)
#include "tst_display.moc"
