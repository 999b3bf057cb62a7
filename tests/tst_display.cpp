#include "display/displayconfig.h"
#include "display/displayhandover.h"
#include "display/displaytext.h"
#include "display/polelines.h"
#include "display/startstamp.h"
#include "platform/launcher.h"
#include "support/testsupport.h"
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
    void fillsTheTwoLines_data();
    void fillsTheTwoLines();
    void speaksEachCommandSet_data();
    void speaksEachCommandSet();
    void readsTheConfiguration_data();
    void readsTheConfiguration();
    void readsTheHandover_data();
    void readsTheHandover();
    void readsTheStartStamp_data();
    void readsTheStartStamp();
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
    // Two full lines of 20, but for the welcome, which stands alone on the upper line.
    QCOMPARE(text.size(), text == u"Welcome" ? 7 : 40);
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

void TestDisplay::fillsTheTwoLines_data()
{
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("upper");
    QTest::addColumn<QByteArray>("lower");
    QTest::addColumn<bool>("clear");
    const QByteArray blank(20, ' ');
    QTest::newRow("empty clears") << QByteArray() << blank << blank << true;
    QTest::newRow("short text filled with blanks")
        << QByteArray("Welcome") << QByteArray("Welcome").leftJustified(20) << blank << false;
    QTest::newRow("the 21st character starts the lower line")
        << QByteArray("abcdefghijklmnopqrstU") << QByteArray("abcdefghijklmnopqrst")
        << QByteArray("U").leftJustified(20) << false;
    QTest::newRow("cut at 40") << QByteArray(45, 'x') << QByteArray(20, 'x') << QByteArray(20, 'x') << false;
    QTest::newRow("half-width katakana and the yen backslash as they are")
        << QByteArray("\xB6\xC5 \\1") << QByteArray("\xB6\xC5 \\1").leftJustified(20) << blank << false;
    QTest::newRow("a kanji (two bytes) is one question mark")
        << QByteArray("\x8E\x52\x93\x63"
                      "A")
        << QByteArray("??A").leftJustified(20) << blank << false;
    QTest::newRow("a lone lead byte at the end and a control character")
        << QByteArray("A\tB\x81") << QByteArray("A?B?").leftJustified(20) << blank << false;
}

void TestDisplay::fillsTheTwoLines()
{
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, upper);
    QFETCH(QByteArray, lower);
    QFETCH(bool, clear);
    QCOMPARE(display::poleLines(argument), (display::PoleLines{upper, lower, clear}));
}

void TestDisplay::speaksEachCommandSet_data()
{
    QTest::addColumn<display::DisplayType>("type");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray a = QByteArray("A").leftJustified(20), b = QByteArray(20, ' ');
    QTest::newRow("ESC/POS: reset, katakana, Japan, clear, each line at its place")
        << display::DisplayType::EscPos << QByteArray("A")
        << QByteArray("\x1b@\x1bt\x01\x1bR\x08\x0c\x1f$\x01\x01") + a + "\x1f$\x01\x02" + b;
    QTest::newRow("ESC/POS: clear alone")
        << display::DisplayType::EscPos << QByteArray() << QByteArray("\x1b@\x1bt\x01\x1bR\x08\x0c");
    QTest::newRow("CD5220: out of string mode first, then each line by ESC Q")
        << display::DisplayType::Cd5220 << QByteArray("A")
        << QByteArray("\x0c\x1b@\x1b"
                      "fJ\x1b"
                      "cJ\x0c\x1bQA") +
               a + "\r\x1bQB" + b + "\r";
    QTest::newRow("the screen gets no command bytes")
        << display::DisplayType::Screen << QByteArray("A") << QByteArray();
    QTest::newRow("nor does LCDd") << display::DisplayType::LcdProc << QByteArray("A") << QByteArray();
}

void TestDisplay::speaksEachCommandSet()
{
    QFETCH(display::DisplayType, type);
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, bytes);
    QCOMPARE(display::poleCommands(type, display::poleLines(argument)), bytes);
}

void TestDisplay::readsTheConfiguration_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("outcome"); // the error, or what was read
    QTest::newRow("a serial display with its defaults")
        << QByteArray("type=escpos\nport=COM3\n") << u"0 COM3 9600 8 0 1 0"_s;
    QTest::newRow("every line setting")
        << QByteArray("type=cd5220\nport=/dev/ttyUSB0\nspeed=19200\ndatabits=7\n"
                      "parity=even\nstopbits=2\nflowcontrol=hardware\n")
        << u"1 /dev/ttyUSB0 19200 7 2 2 1"_s;
    QTest::newRow("a screen strip, LCDd's server")
        << QByteArray("type=screen\nscreen=1\ngeometry=800x160+0+600\nserver=lcd:1\n")
        << u"2 screen 1 800x160+0+600 lcd:1"_s;
    const auto bad = [](const char* key, const char* value) {
        return QString::fromLatin1("vfddisp.conf: %1=%2 is not a value vfddisp knows")
            .arg(QLatin1String(key), QLatin1String(value));
    };
    QTest::newRow("no type") << QByteArray("port=COM1\n") << bad("type", "");
    QTest::newRow("an unknown type") << QByteArray("type=vfd\n") << bad("type", "vfd");
    QTest::newRow("a serial type without its port")
        << QByteArray("type=escpos\n") << u"vfddisp.conf: type=escpos needs port= (a device path or COMn)"_s;
    QTest::newRow("a speed that is no number")
        << QByteArray("type=escpos\nport=COM1\nspeed=fast\n") << bad("speed", "fast");
    QTest::newRow("a speed out of range")
        << QByteArray("type=escpos\nport=COM1\nspeed=10\n") << bad("speed", "10");
    QTest::newRow("databits out of range")
        << QByteArray("type=escpos\nport=COM1\ndatabits=9\n") << bad("databits", "9");
    QTest::newRow("parity mark") << QByteArray("type=escpos\nport=COM1\nparity=mark\n")
                                 << bad("parity", "mark");
    QTest::newRow("stopbits 1.5") << QByteArray("type=escpos\nport=COM1\nstopbits=1.5\n")
                                  << bad("stopbits", "1.5");
    QTest::newRow("flowcontrol xon") << QByteArray("type=escpos\nport=COM1\nflowcontrol=xon\n")
                                     << bad("flowcontrol", "xon");
    QTest::newRow("screen out of range") << QByteArray("type=screen\nscreen=64\n") << bad("screen", "64");
    QTest::newRow("geometry without a size")
        << QByteArray("type=screen\ngeometry=0x10+0+0\n") << bad("geometry", "0x10+0+0");
    QTest::newRow("server without a port")
        << QByteArray("type=lcdproc\nserver=localhost\n") << bad("server", "localhost");
}

void TestDisplay::readsTheConfiguration()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, outcome);
    const QTemporaryDir dir;
    QVERIFY(test::writeFile(dir.filePath(u"vfddisp.conf"_s), ini));
    const Result<display::DisplayConfig> config = display::readDisplayConfig(dir.filePath(u"vfddisp.conf"_s));
    QString read;
    if (config && config->isSerial())
        read = QString::fromLatin1("%1 %2 %3 %4 %5 %6 %7")
                   .arg(int(config->type))
                   .arg(config->port)
                   .arg(config->speed)
                   .arg(int(config->dataBits))
                   .arg(int(config->parity))
                   .arg(int(config->stopBits))
                   .arg(int(config->flowControl));
    else if (config)
        read = QString::fromLatin1("%1 screen %2 %3x%4+%5+%6 %7:%8")
                   .arg(int(config->type))
                   .arg(config->screen)
                   .arg(config->geometry->width())
                   .arg(config->geometry->height())
                   .arg(config->geometry->x())
                   .arg(config->geometry->y())
                   .arg(config->serverHost)
                   .arg(config->serverPort);
    QCOMPARE(config ? read : config.error(), outcome);
}

void TestDisplay::readsTheHandover_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("outcome");
    const QByteArray text = "\xB6\xC5 \\1";
    QTest::newRow("as the display program writes it")
        << display::handoverLine({12345, 678}, text) << u"12345 678 "_s + QString::fromLatin1(text.toHex());
    QTest::newRow("an empty text clears") << QByteArray("1 2\n") << u"1 2 "_s;
    QTest::newRow("no pid") << QByteArray("12345\n") << u"not a display text: 12345\n"_s;
    QTest::newRow("a stamp that is no number")
        << QByteArray("x 2 QQ==\n") << u"not a display text: x 2 QQ==\n"_s;
    QTest::newRow("too many fields") << QByteArray("1 2 QQ== x\n") << u"not a display text: 1 2 QQ== x\n"_s;
}

void TestDisplay::readsTheHandover()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, outcome);
    const Result<display::Handover> handover = display::handoverFromLine(line);
    QCOMPARE(handover ? QString::fromLatin1(handover->stamp.toText() + ' ' + handover->text.toHex())
                      : handover.error(),
             outcome);
}

void TestDisplay::readsTheStartStamp_data()
{
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<QString>("stamp"); // empty: none
    const QByteArray tail = " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ";
    QTest::newRow("field 22 is the start time") << "4242 (vfddisp) S 1" + tail + "987654 0 0\n"
                                                << u"987654 4242"_s;
    QTest::newRow("a command with blanks and parentheses") << "77 (a (b) c) R 1" + tail + "55 0\n"
                                                           << u"55 77"_s;
    QTest::newRow("too few fields") << QByteArray("77 (x) R 1 0 0\n") << QString();
    QTest::newRow("no command") << QByteArray("77 R 1") << QString();
}

void TestDisplay::readsTheStartStamp()
{
    QFETCH(QByteArray, stat);
    QFETCH(QString, stamp);
    const std::optional<display::StartStamp> read = display::startStampOf(stat);
    QCOMPARE(read ? QString::fromLatin1(read->toText()) : QString(), stamp);
    // The text form reads back as the same stamp.
    QCOMPARE(read ? display::StartStamp::fromText(read->toText()) : std::nullopt, read);
}

QTEST_APPLESS_MAIN(TestDisplay)
#include "tst_display.moc"
