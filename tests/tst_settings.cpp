#include "base/settingsfile.h"
#include "support/testsupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace orvane;

Q_DECLARE_METATYPE(orvane::FooterLayout)

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void readsDelimitedItems_data();
    void readsDelimitedItems();
    void defaultsStandWithoutLines();
    void appliesKeys_data();
    void appliesKeys();
    void readsFooterLayouts_data();
    void readsFooterLayouts();
    void rejectsBadFooterLayouts_data();
    void rejectsBadFooterLayouts();
    void readsTheFile();
    void readsAShiftJisFile();
    void reportsAMissingFile();
    void readsPortNumbers_data();
    void readsPortNumbers();
};

void TestSettings::readsDelimitedItems_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("one item a line") << u"name1=ABC\r\nwintype=3\r\n"_s
                                     << QStringList{u"name1=ABC"_s, u"wintype=3"_s};
    QTest::newRow("a comma splits a line")
        << u"addr=1-2-3, Minato\r\n"_s << QStringList{u"addr=1-2-3"_s, u"Minato"_s};
    QTest::newRow("leading blanks are skipped") << u"   name1=A"_s << QStringList{u"name1=A"_s};
    QTest::newRow("a quoted item keeps its commas")
        << u"\"addr=1-2-3, Minato\"\r\n"_s << QStringList{u"addr=1-2-3, Minato"_s};
    QTest::newRow("LF line ends") << u"a\nb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("an empty line gives an empty item")
        << u"a\r\n\r\nb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("an empty file gives no item") << QString() << QStringList{};
}

void TestSettings::readsDelimitedItems()
{
    QFETCH(QString, content);
    QFETCH(QStringList, items);
    QCOMPARE(readDelimitedItems(content), items);
}

void TestSettings::defaultsStandWithoutLines()
{
    const Result<Settings> load = applySettingItems({});
    QVERIFY_RESULT(load);
    const Settings& s = *load;
    QCOMPARE(s.sizef1, (FooterLayout{15, 1800, 9400}));
    QCOMPARE(s.sizef2, (FooterLayout{12, 1800, 9750}));
    QCOMPARE(s.sizef3, (FooterLayout{11, 1800, 10050}));
    QCOMPARE(s.sizef4, (FooterLayout{10, 1800, 10350}));
    QCOMPARE(s.sizef5, (FooterLayout{20, 2500, 10550}));
    QCOMPARE(textOf(s.prgpath), u"/mivaweb/system"_s);
    QCOMPARE(textOf(s.userno), u"1"_s);
    QCOMPARE(textOf(s.passwd), u"tulipwax"_s);
    QCOMPARE(textOf(s.dicmpath), u"z:\\"_s);
    QCOMPARE(textOf(s.dialurl), u"localhost"_s);
    QVERIFY(!s.deci.has_value());
    QVERIFY(!s.name1.has_value());
    QVERIFY(!s.leftmrg.has_value());
    QVERIFY(!s.wintype.has_value());
    QVERIFY(!s.dialport.has_value());
}

void TestSettings::appliesKeys_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("wintype keeps one character") << QStringList{u"wintype=12"_s} << u"wintype"_s << u"1"_s;
    QTest::newRow("telno also matches tel") << QStringList{u"telno=12345"_s} << u"tel"_s << u"o=12345"_s;
    QTest::newRow("a later line overwrites")
        << QStringList{u"name1=ABC"_s, u"name1=XYZ"_s} << u"name1"_s << u"XYZ"_s;
    QTest::newRow("a value keeps 50 characters")
        << QStringList{u"addr=" + QString(60, u'a')} << u"addr"_s << QString(50, u'a');
    QTest::newRow("the address stops at a comma")
        << readDelimitedItems(u"addr=1-2-3, Minato"_s) << u"addr"_s << u"1-2-3"_s;
    QTest::newRow("an empty dialurl empties it") << QStringList{u"dialurl="_s} << u"dialurl"_s << QString();
    QTest::newRow("addr2 does not set addr") << QStringList{u"addr2=Bldg 5"_s} << u"addr"_s << QString();
    QTest::newRow("addr2 gets its own value") << QStringList{u"addr2=Bldg 5"_s} << u"addr2"_s << u"Bldg 5"_s;
    QTest::newRow("a key in the middle counts its value from the item's start")
        << QStringList{u"xdeci=1"_s} << u"deci"_s << u"=1"_s;
    QTest::newRow("japanese text") << QStringList{u"name1=オルヴェイン歯科"_s} << u"name1"_s
                                   << u"オルヴェイン歯科"_s;
    QTest::newRow("cookiehost") << QStringList{u"cookiehost=clinic.example"_s} << u"cookiehost"_s
                                << u"clinic.example"_s;
    QTest::newRow("a line without a key is ignored") << QStringList{u"hello"_s} << u"name1"_s << QString();
}

static QString valueOf(const Settings& s, const QString& key)
{
    const std::pair<const char*, const std::optional<QString> Settings::*> fields[] = {
        {"name1", &Settings::name1},     {"addr", &Settings::addr},
        {"addr2", &Settings::addr2},     {"tel", &Settings::tel},
        {"wintype", &Settings::wintype}, {"dialurl", &Settings::dialurl},
        {"deci", &Settings::deci},       {"leftmrg", &Settings::leftmrg},
        {"foot1", &Settings::foot1},     {"cookiehost", &Settings::cookiehost},
    };
    for (const auto& [name, field] : fields)
        if (key == QLatin1String(name))
            return textOf(s.*field);
    return u"?"_s;
}

void TestSettings::appliesKeys()
{
    QFETCH(QStringList, items);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const Result<Settings> load = applySettingItems(items);
    QVERIFY_RESULT(load);
    QCOMPARE(valueOf(*load, key), expected);
}

void TestSettings::readsFooterLayouts_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<FooterLayout>("sizef1");
    QTest::addColumn<FooterLayout>("sizef2");
    QTest::addColumn<FooterLayout>("sizef5");
    const FooterLayout d1{15, 1800, 9400}, d2{12, 1800, 9750}, d5{20, 2500, 10550};
    QTest::newRow("sizef1 position") << u"sizef1=15/800/10050"_s << FooterLayout{15, 800, 10050} << d2 << d5;
    QTest::newRow("sizef2 keeps a fraction")
        << u"sizef2=10.5/1800/9750"_s << d1 << FooterLayout{10.5, 1800, 9750} << d5;
    QTest::newRow("sizef5 rounds a half to even")
        << u"sizef5=10.5/2500/10550"_s << d1 << d2 << FooterLayout{10, 2500, 10550};
    QTest::newRow("sizef5 rounds 11.5 up")
        << u"sizef5=11.5/2500.5/10551.5"_s << d1 << d2 << FooterLayout{12, 2500, 10552};
    QTest::newRow("blanks and trailing text")
        << u"sizef1= 12 / 1 800 /9400mm"_s << FooterLayout{12, 1800, 9400} << d2 << d5;
    QTest::newRow("a part without a number is 0") << u"sizef1=x//"_s << FooterLayout{0, 0, 0} << d2 << d5;
}

void TestSettings::readsFooterLayouts()
{
    QFETCH(QString, item);
    QFETCH(FooterLayout, sizef1);
    QFETCH(FooterLayout, sizef2);
    QFETCH(FooterLayout, sizef5);
    const Result<Settings> load = applySettingItems({item});
    QVERIFY_RESULT(load);
    QCOMPARE(load->sizef1, sizef1);
    QCOMPARE(load->sizef2, sizef2);
    QCOMPARE(load->sizef5, sizef5);
}

void TestSettings::rejectsBadFooterLayouts_data()
{
    QTest::addColumn<QString>("item");
    QTest::newRow("only one slash") << u"sizef1=15/1800"_s;
    QTest::newRow("no slash") << u"sizef3=15"_s;
    QTest::newRow("sizef5 out of the 16-bit range") << u"sizef5=20/2500/40000"_s;
}

void TestSettings::rejectsBadFooterLayouts()
{
    QFETCH(QString, item);
    const Result<Settings> load = applySettingItems({item});
    QVERIFY(!load);
    QVERIFY2(load.error().contains(item.left(6)), qPrintable(load.error()));
}

void TestSettings::readsTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sct.txt"_s);
    QVERIFY(
        test::writeFile(path, "name1=Orvane Clinic\r\nwintype=3\r\nsizef1=15/800/10050\r\nleftmrg=200\r\n"));
    const Result<LoadedSettings> load = loadSettingsFile(path);
    QVERIFY_RESULT(load);
    QCOMPARE(textOf(load->settings.name1), u"Orvane Clinic"_s);
    QCOMPARE(textOf(load->settings.wintype), u"3"_s);
    QCOMPARE(textOf(load->settings.leftmrg), u"200"_s);
    QCOMPARE(load->settings.sizef1, (FooterLayout{15, 800, 10050}));

    QVERIFY(test::writeFile(path, QByteArray()));
    QVERIFY_RESULT(loadSettingsFile(path));

    // A margin that is no number starts the bridge with one warning naming it.
    QVERIFY(test::writeFile(path, "leftmrg=1cm\r\n"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"leftmrg \"1cm\" .* is not a number"_s));
    QVERIFY_RESULT(loadSettingsFile(path));
    QTest::failOnWarning(QRegularExpression(u"leftmrg"_s));
    QVERIFY(test::writeFile(path, "leftmrg=\r\n")); // empty: a margin of 0 without a word
    QVERIFY_RESULT(loadSettingsFile(path));
}

void TestSettings::readsAShiftJisFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"sct.txt"_s);
    // "name1=歯科" in CP932, as Notepad of a Japanese desk saves it.
    QVERIFY(test::writeFile(path, "name1=\x8E\x95\x89\xC8\r\n"));
    QCOMPARE(textOf(loadSettingsFile(path)->settings.name1), u"歯科"_s);
}

void TestSettings::reportsAMissingFile()
{
    QTemporaryDir dir;
    const Result<LoadedSettings> load = loadSettingsFile(dir.filePath(u"sct.txt"_s));
    QVERIFY(!load);
    QVERIFY(load.error().contains(u"sct.txt"_s));
}

void TestSettings::readsPortNumbers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("port");
    QTest::newRow("a plain number") << u"3"_s << true << 3;
    QTest::newRow("a half rounds to even") << u"2.5"_s << true << 2;
    QTest::newRow("text after the number") << u"4 (USB)"_s << true << 4;
    QTest::newRow("out of the 16-bit range") << u"70000"_s << false << 0;
}

void TestSettings::readsPortNumbers()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QFETCH(int, port);
    const std::optional<qint16> number = portNumberSetting(value);
    QCOMPARE(number.has_value(), valid);
    if (valid)
        QCOMPARE(int(*number), port);
}

QTEST_APPLESS_MAIN(TestSettings)
#include "tst_settings.moc"
