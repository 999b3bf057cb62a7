#include "text/ansicodec.h"
#include "text/dateformat.h"
#include "text/incomingdecoder.h"
#include "text/legacytext.h"
#include "text/numberformat.h"
#include "text/rounding.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane::text;

class TestText : public QObject
{
    Q_OBJECT

private slots:
    void midCountsFromOne_data();
    void midCountsFromOne();
    void inStrFindsFirstOccurrence_data();
    void inStrFindsFirstOccurrence();
    void leadingNumber_data();
    void leadingNumber();
    void wholeNumber_data();
    void wholeNumber();
    void formatNumber_data();
    void formatNumber();
    void formatTextKeepsNonNumbers_data();
    void formatTextKeepsNonNumbers();
    void formatAtRightAligns_data();
    void formatAtRightAligns();
    void roundsHalfToEven_data();
    void roundsHalfToEven();
    void formatsDates_data();
    void formatsDates();
    void parsesDates_data();
    void parsesDates();
    void encodesCp932_data();
    void encodesCp932();
    void decodesIncoming_data();
    void decodesIncoming();
    void decoderStartsEachMessageAfresh();
    void trimsBlanksOnly();
};

void TestText::midCountsFromOne_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("the first characters") << u"tell123"_s << 1 << 4 << u"tell"_s;
    QTest::newRow("the value after a key") << u"tell123"_s << 5 << 30 << u"123"_s;
    QTest::newRow("a start past the end gives nothing") << u"abc"_s << 4 << 10 << QString();
    QTest::newRow("a start at 0 counts from the first") << u"abc"_s << 0 << 2 << u"ab"_s;
    QTest::newRow("a count of 0 gives nothing") << u"abc"_s << 1 << 0 << QString();
    QTest::newRow("full-width characters count as one") << u"診療明細書"_s << 2 << 2 << u"療明"_s;
}

void TestText::midCountsFromOne()
{
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(mid(text, start, count), expected);
}

void TestText::inStrFindsFirstOccurrence_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("expected");
    QTest::newRow("a key at the start is at 1") << u"Total12345"_s << u"Total"_s << 1;
    QTest::newRow("the first of two occurrences") << u"xrshArshB"_s << u"rsh"_s << 2;
    QTest::newRow("the search is case-sensitive") << u"total12"_s << u"Total"_s << 0;
    QTest::newRow("an absent key is 0") << u"abc"_s << u"id"_s << 0;
}

void TestText::inStrFindsFirstOccurrence()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(int, expected);
    QCOMPARE(inStr(text, key), expected);
}

void TestText::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("plain digits") << u"12345"_s << 12345.0;
    QTest::newRow("blanks are ignored anywhere") << u" 1 800 "_s << 1800.0;
    QTest::newRow("a decimal point") << u"10.5"_s << 10.5;
    QTest::newRow("a sign") << u"-500"_s << -500.0;
    QTest::newRow("reading stops at a letter") << u"15abc"_s << 15.0;
    QTest::newRow("reading stops at a second point") << u"1.2.3"_s << 1.2;
    QTest::newRow("a sign after digits ends the number") << u"12-3"_s << 12.0;
    QTest::newRow("no leading number is 0") << u"abc12"_s << 0.0;
    QTest::newRow("the empty text is 0") << QString() << 0.0;
    QTest::newRow("a lone sign is 0") << u"-"_s << 0.0;
}

void TestText::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(orvane::text::leadingNumber(text), expected);
}

void TestText::wholeNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("expected");
    QTest::newRow("digits") << u"1500"_s << true << 1500.0;
    QTest::newRow("blanks around") << u" 1.5 "_s << true << 1.5;
    QTest::newRow("a negative number") << u"-230"_s << true << -230.0;
    QTest::newRow("thousands commas") << u"12,345"_s << true << 12345.0;
    QTest::newRow("a misplaced comma") << u"1,23"_s << false << 0.0;
    QTest::newRow("letters") << u"abc"_s << false << 0.0;
    QTest::newRow("a number followed by letters") << u"15abc"_s << false << 0.0;
    QTest::newRow("the empty text") << QString() << false << 0.0;
}

void TestText::wholeNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, expected);
    const std::optional<double> value = orvane::text::wholeNumber(text);
    QCOMPARE(value.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*value, expected);
}

void TestText::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped amount") << 12345.0 << u"#,###,##0"_s << u"12,345"_s;
    QTest::newRow("grouped zero shows one digit") << 0.0 << u"#,###,##0"_s << u"0"_s;
    QTest::newRow("millions") << 12345678.0 << u"#,###,##0"_s << u"12,345,678"_s;
    QTest::newRow("negative amount") << -500.0 << u"#,###,##0"_s << u"-500"_s;
    QTest::newRow("halves round away from zero") << 2.5 << u"#,###,##0"_s << u"3"_s;
    QTest::newRow("negative halves round away from zero") << -2.5 << u"#,###,##0"_s << u"-3"_s;
    QTest::newRow("a small negative rounds to plain 0") << -0.4 << u"#,###,##0"_s << u"0"_s;
    QTest::newRow("groups of three whatever the commas") << 1234567.0 << u"##,##,##0"_s << u"1,234,567"_s;
    QTest::newRow("leading blank with a quantity") << 2.0 << u" ###,###"_s << u" 2"_s;
    QTest::newRow("leading blank alone for zero") << 0.0 << u" ###,###"_s << u" "_s;
    QTest::newRow("fraction rounded to whole") << 2.5 << u" ###,###"_s << u" 3"_s;
    QTest::newRow("price grouped") << 1500.0 << u"#,###,###"_s << u"1,500"_s;
    QTest::newRow("price zero prints nothing") << 0.0 << u"#,###,###"_s << QString();
    QTest::newRow("two decimals") << 2.0 << u"#,##0.00"_s << u"2.00"_s;
    QTest::newRow("two decimals rounded") << 1.005 << u"#,##0.00"_s << u"1.01"_s;
    QTest::newRow("just below a half rounds down") << 0.4999999999 << u"#,##0"_s << u"0"_s;
    QTest::newRow("a half rounds away from zero") << -2.5 << u"#,##0"_s << u"-3"_s;
    QTest::newRow("price with decimals") << 1500.0 << u"###,##0.00"_s << u"1,500.00"_s;
    QTest::newRow("price zero with decimals") << 0.0 << u"###,##0.00"_s << u"0.00"_s;
    QTest::newRow("receipt number 0") << 0.0 << u"0000-###0"_s << u"0000-0"_s;
    QTest::newRow("receipt number 5") << 5.0 << u"0000-###0"_s << u"0000-5"_s;
    QTest::newRow("receipt number 123") << 123.0 << u"0000-###0"_s << u"0000-123"_s;
    QTest::newRow("receipt number 12345") << 12345.0 << u"0000-###0"_s << u"0001-2345"_s;
    QTest::newRow("receipt number 32767") << 32767.0 << u"0000-###0"_s << u"0003-2767"_s;
    QTest::newRow("receipt number 32768") << 32768.0 << u"0000-###0"_s << u"0003-2768"_s;
    QTest::newRow("more digits than places") << 123456789.0 << u"0000-###0"_s << u"12345-6789"_s;
    QTest::newRow("page 1") << 1.0 << u"00"_s << u"01"_s;
    QTest::newRow("page 12") << 12.0 << u"00"_s << u"12"_s;
    QTest::newRow("page 123") << 123.0 << u"00"_s << u"123"_s;
    QTest::newRow("staff number") << 3.0 << u"#0"_s << u"3"_s;
    QTest::newRow("staff number 0") << 0.0 << u"#0"_s << u"0"_s;
    QTest::newRow("amount received") << 2800.0 << u"#,###,##0円也"_s << u"2,800円也"_s;
    QTest::newRow("receipt amount") << 12000.0 << u"￥##,###,##0─"_s << u"￥12,000─"_s;
    QTest::newRow("receipt negative amount") << -5.0 << u"￥##,###,##0─"_s << u"-￥5─"_s;
    QTest::newRow("receipt tax") << 960.0 << u"(消費税￥###,##0)"_s << u"(消費税￥960)"_s;
    QTest::newRow("staff line") << 3.0 << u"担当：#0"_s << u"担当：3"_s;
}

void TestText::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(orvane::text::formatNumber(value, pattern), expected);
}

void TestText::formatTextKeepsNonNumbers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a number text") << u"12345"_s << u"#,###,##0"_s << u"12,345"_s;
    QTest::newRow("a fraction text is rounded") << u"1.5"_s << u"#,###,##0"_s << u"2"_s;
    QTest::newRow("a text that is no number stays") << u"abc"_s << u"#,###,##0"_s << u"abc"_s;
    QTest::newRow("the empty text stays empty") << QString() << u"#,###,##0"_s << QString();
    QTest::newRow("a staff name stays") << u"山田"_s << u"#0"_s << u"山田"_s;
}

void TestText::formatTextKeepsNonNumbers()
{
    QFETCH(QString, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(formatText(value, pattern), expected);
}

void TestText::formatAtRightAligns_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a short name") << u"山田"_s << u"         山田  様"_s;
    QTest::newRow("an ideographic space") << u"　"_s << u"          　  様"_s;
    QTest::newRow("a name of 11 characters") << u"ABCDEFGHIJK"_s << u"ABCDEFGHIJK  様"_s;
    QTest::newRow("a longer name is kept whole") << u"ABCDEFGHIJKLM"_s << u"ABCDEFGHIJKLM  様"_s;
    QTest::newRow("the empty name") << QString() << u"             様"_s;
}

void TestText::formatAtRightAligns()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(formatAt(value, u"@@@@@@@@@@@  様"_s), expected);
}

void TestText::roundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits16");
    QTest::addColumn<int>("expected");
    QTest::newRow("10.5 gives 10") << 10.5 << true << 10;
    QTest::newRow("11.5 gives 12") << 11.5 << true << 12;
    QTest::newRow("-2.5 gives -2") << -2.5 << true << -2;
    QTest::newRow("10.6 gives 11") << 10.6 << true << 11;
    QTest::newRow("the upper limit fits") << 32767.0 << true << 32767;
    QTest::newRow("the lower limit fits") << -32768.0 << true << -32768;
    QTest::newRow("32767.5 rounds out of range") << 32767.5 << false << 0;
    QTest::newRow("40000 is out of range") << 40000.0 << false << 0;
}

void TestText::roundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(bool, fits16);
    QFETCH(int, expected);
    const std::optional<qint16> rounded = roundToInt16(value);
    QCOMPARE(rounded.has_value(), fits16);
    if (fits16)
        QCOMPARE(int(*rounded), expected);
    QVERIFY(roundToInt32(40000.0).has_value());
    QVERIFY(!roundToInt32(3e9).has_value());
}

void TestText::formatsDates_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("receipt date") << QDate(2024, 3, 5) << u"yyyy年mm月dd日(aaaa)"_s
                                  << u"2024年03月05日(火曜日)"_s;
    QTest::newRow("statement date") << QDate(2024, 3, 5) << u"yyyy年MM月dd日 aaaa"_s
                                    << u"2024年03月05日 火曜日"_s;
    QTest::newRow("the date zero") << dateZero() << u"yyyy年MM月dd日 aaaa"_s << u"1899年12月30日 土曜日"_s;
    QTest::newRow("a Sunday") << QDate(2026, 12, 6) << u"aaaa"_s << u"日曜日"_s;
    QTest::newRow("a Monday") << QDate(2026, 12, 7) << u"aaaa"_s << u"月曜日"_s;
}

void TestText::formatsDates()
{
    QFETCH(QDate, date);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(formatDate(date, pattern), expected);
}

void TestText::parsesDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("year month day") << u"2024/03/05"_s << QDate(2024, 3, 5);
    QTest::newRow("without leading zeros") << u"2024/3/5"_s << QDate(2024, 3, 5);
    QTest::newRow("no date") << u"abc"_s << QDate();
    QTest::newRow("an impossible day") << u"2024/02/30"_s << QDate();
}

void TestText::parsesDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    QCOMPARE(parseDate(text), expected);
}

void TestText::encodesCp932_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("the backslash stays 0x5C") << u"\\12,345"_s << QByteArray("\\12,345");
    QTest::newRow("the yen sign becomes the backslash") << u"¥100"_s << QByteArray("\\100");
    QTest::newRow("half-width katakana are one byte each")
        << u"ｾﾞｲｺﾐ"_s << QByteArray("\xBE\xDE\xB2\xBA\xD0");
    QTest::newRow("full-width yen") << u"￥"_s << QByteArray("\x81\x8F");
    QTest::newRow("box drawing line") << u"─"_s << QByteArray("\x84\x9F");
    QTest::newRow("wave dash as the full-width tilde") << u"〜"_s << QByteArray("\x81\x60");
    QTest::newRow("minus sign as the full-width hyphen-minus") << u"−"_s << QByteArray("\x81\x7C");
    QTest::newRow("kanji") << u"様"_s << QByteArray("\x97\x6C");
    QTest::newRow("characters the code page lacks become question marks")
        << u"山田😀é様"_s << QByteArray("\x8E\x52\x93\x63??\x97\x6C");
}

void TestText::encodesCp932()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeAnsi(text), bytes);
    if (!text.contains(u'¥') && !text.contains(u'〜') && !text.contains(u'−') && !bytes.contains('?'))
        QCOMPARE(decodeAnsi(bytes), text);
}

void TestText::decodesIncoming_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8") << QByteArray("\xE6\xA7\x98") << u"様"_s;
    QTest::newRow("CP932 when not UTF-8") << QByteArray("\x97\x6C") << u"様"_s;
    QTest::newRow("CP932 half-width katakana") << QByteArray("\xBE\xDE") << u"ｾﾞ"_s;
    QTest::newRow("ASCII either way") << QByteArray("name1=ABC") << u"name1=ABC"_s;
    QTest::newRow("UTF-8 reply with four-byte characters")
        << QByteArray("0312/\xE5\xB1\xB1\xE7\x94\xB0\xF0\x9F\x93\x9E") << u"0312/山田📞"_s;
    QTest::newRow("CP932 reply with two-byte characters")
        << QByteArray("0312/\x8E\x52\x93\x63\x97\x6C") << u"0312/山田様"_s;
    QTest::newRow("CP932 whose first byte starts a UTF-8 character")
        << QByteArray("\xE3\x40\x97\x6C") << u"紂様"_s;
}

void TestText::decodesIncoming()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeIncoming(bytes), text);

    // The same message arriving in one block and one byte at a time.
    IncomingDecoder whole;
    QCOMPARE(whole.decode(bytes), text);
    IncomingDecoder piecewise;
    QString joined;
    for (const char byte : bytes)
        joined += piecewise.decode(QByteArray(1, byte));
    QCOMPARE(joined, text);
}

void TestText::decoderStartsEachMessageAfresh()
{
    IncomingDecoder decoder;
    QCOMPARE(decoder.decode("\x97\x6C"), u"様"_s); // this message is CP932
    QCOMPARE(decoder.decode("\x97"), QString());   // the first half of a character
    decoder.reset();                               // a new message is judged anew
    QCOMPARE(decoder.decode("\x6C"), u"l"_s);
    QCOMPARE(decoder.decode("\xE6\xA7"), QString());
    QCOMPARE(decoder.decode("\x98"), u"様"_s);
    decoder.reset();
    QCOMPARE(decoder.decode("ok"), u"ok"_s); // the unfinished character of the last one is dropped
}

void TestText::trimsBlanksOnly()
{
    QCOMPARE(trimBlanks(u"  a b  "_s), u"a b"_s);
    QCOMPARE(trimBlanks(u"\ta\t"_s), u"\ta\t"_s);
    QCOMPARE(trimBlanks(u"   "_s), QString());
}

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
