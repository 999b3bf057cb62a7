#include "platform/launcher.h"
#include "platform/username.h"
#include "platform/windowspath.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void mapsDrivePaths_data();
    void mapsDrivePaths();
    void mapsSerialPorts();
    void splitsWindowsArguments_data();
    void splitsWindowsArguments();
    void resolvesCommandLines_data();
    void resolvesCommandLines();
    void namesTheMissingProgramAsGiven();
    void startsProgramsWithRawArguments_data();
    void startsProgramsWithRawArguments();
    void reportsAProgramThatCannotStart();
    void leavesNoZombie();
    void readsTheUserName();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_prefix;
};

void TestPlatform::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prefix = m_dir->filePath(u"wine"_s);
    QDir().mkpath(m_prefix + u"/dosdevices"_s);
    QDir().mkpath(m_prefix + u"/drive_c/Users/Alice/AppData"_s);
    QDir().mkpath(m_dir->filePath(u"d-drive/Images"_s));
    QFile::link(m_dir->filePath(u"d-drive"_s), m_prefix + u"/dosdevices/d:"_s);
}

void TestPlatform::mapsDrivePaths_data()
{
    QTest::addColumn<QString>("windowsPath");
    QTest::addColumn<QString>("expected"); // relative to the temporary folder; "-" for no mapping
    QTest::newRow("c: falls back to drive_c")
        << u"C:\\Users\\Alice\\AppData\\"_s << u"wine/drive_c/Users/Alice/AppData/"_s;
    QTest::newRow("components match case-insensitively")
        << u"c:\\users\\ALICE\\appdata"_s << u"wine/drive_c/Users/Alice/AppData"_s;
    QTest::newRow("missing components are kept as written")
        << u"C:\\Users\\Bob\\Cookies\\"_s << u"wine/drive_c/Users/Bob/Cookies/"_s;
    QTest::newRow("a dosdevices link") << u"D:\\images\\a.dcm"_s << u"wine/dosdevices/d:/Images/a.dcm"_s;
    QTest::newRow("an unknown drive has no mapping") << u"Q:\\x"_s << u"-"_s;
    QTest::newRow("a text without a drive has no mapping") << u"\\x\\y"_s << u"-"_s;
}

void TestPlatform::mapsDrivePaths()
{
    QFETCH(QString, windowsPath);
    QFETCH(QString, expected);
    const WindowsPathMapper mapper(m_prefix);
    const std::optional<QString> native = mapper.toNative(windowsPath);
    if (expected == u"-")
        QVERIFY(!native);
    else
        QCOMPARE(*native, m_dir->filePath(expected));

    const std::optional<QString> root = mapper.toNative(u"z:\\tmp"_s);
    QCOMPARE(*root, u"/tmp"_s);
}

void TestPlatform::mapsSerialPorts()
{
    const WindowsPathMapper mapper(m_prefix);
    QCOMPARE(mapper.serialDevice(1), u"/dev/ttyS0"_s);
    QFile::link(u"/dev/null"_s, m_prefix + u"/dosdevices/com3"_s);
    QCOMPARE(mapper.serialDevice(3), m_prefix + u"/dosdevices/com3"_s);
    // A link to an unplugged device still names the port.
    QFile::link(m_dir->filePath(u"gone"_s), m_prefix + u"/dosdevices/com4"_s);
    QCOMPARE(mapper.serialDevice(4), m_prefix + u"/dosdevices/com4"_s);
}

void TestPlatform::splitsWindowsArguments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("blanks separate") << u" a  b\tc "_s << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("quotes keep blanks") << u"\"a b\" c"_s << QStringList{u"a b"_s, u"c"_s};
    QTest::newRow("an empty quoted argument") << u"\"\""_s << QStringList{QString()};
    QTest::newRow("quotes inside an argument") << u"a\"b c\"d"_s << QStringList{u"ab cd"_s};
    QTest::newRow("backslashes without a quote are literal")
        << u"C:\\a\\b\\"_s << QStringList{u"C:\\a\\b\\"_s};
    QTest::newRow("an escaped quote") << u"a\\\"b"_s << QStringList{u"a\"b"_s};
    QTest::newRow("two backslashes before a quote") << u"\"a\\\\\" b"_s << QStringList{u"a\\"_s, u"b"_s};
    QTest::newRow("doubled quotes inside quotes") << u"\"a\"\"b\""_s << QStringList{u"a\"b"_s};
    QTest::newRow("nothing") << u"   "_s << QStringList{};
}

void TestPlatform::splitsWindowsArguments()
{
    QFETCH(QString, line);
    QFETCH(QStringList, arguments);
    QCOMPARE(splitWindowsArguments(line), arguments);
}

void TestPlatform::resolvesCommandLines_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program"); // relative to the temporary folder, "-" when not found
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::newRow("an unquoted program path with blanks")
        << u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe  C:\\testdicom\\1.dcm"_s
        << u"wine/drive_c/Program Files/Halden/Pictora/Pictora"_s
        << QList<QByteArray>{"@/wine/drive_c/testdicom/1.dcm"};
    QTest::newRow("a quoted program path")
        << u"\"C:\\Program Files\\Halden\\Pictora\\Pictora.exe\" \"a b\""_s
        << u"wine/drive_c/Program Files/Halden/Pictora/Pictora"_s << QList<QByteArray>{"a b"};
    QTest::newRow("a bare name found on PATH without .exe")
        << u"vfddisp.exe \"ｾﾞｲ\\12\""_s << u"bin/vfddisp"_s << QList<QByteArray>{"\xBE\xDE\xB2\\12"};
    QTest::newRow("a mapped path goes out in the file system's encoding")
        << u"vfddisp.exe C:\\画像\\山田.dcm 山田"_s << u"bin/vfddisp"_s
        << QList<QByteArray>{"@/wine/drive_c/\xE7\x94\xBB\xE5\x83\x8F/\xE5\xB1\xB1\xE7\x94\xB0.dcm",
                             "\x8E\x52\x93\x63"};
    QTest::newRow("a program that does not exist")
        << u"nosuchprogram.exe x"_s << u"-"_s << QList<QByteArray>{};
}

void TestPlatform::resolvesCommandLines()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    QFETCH(QList<QByteArray>, arguments);
    const QString log = m_dir->filePath(u"log"_s);
    QDir().mkpath(m_dir->filePath(u"bin"_s));
    QDir().mkpath(m_prefix + u"/drive_c/Program Files/Halden/Pictora"_s);
    test::writeRecordingProgram(m_dir->filePath(u"bin"_s), u"vfddisp"_s, log);
    test::writeRecordingProgram(m_prefix + u"/drive_c/Program Files/Halden/Pictora"_s, u"Pictora"_s, log);

    const Result<ResolvedCommand> command =
        resolveCommandLine(commandLine, WindowsPathMapper(m_prefix), m_dir->filePath(u"bin"_s));
    if (program == u"-") {
        QVERIFY(!command);
        QVERIFY(command.error().contains(u"nosuchprogram"_s));
        return;
    }
    QVERIFY_RESULT(command);
    QCOMPARE(command->program, m_dir->filePath(program));
    // "@" stands for the temporary folder, which the data rows cannot know yet.
    for (QByteArray& argument : arguments)
        argument.replace("@", QFile::encodeName(m_dir->path()));
    QCOMPARE(command->arguments, arguments);
}

void TestPlatform::namesTheMissingProgramAsGiven()
{
    const Result<ResolvedCommand> command =
        resolveCommandLine(u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe  C:\\testdicom\\1.dcm"_s,
                           WindowsPathMapper(m_prefix), QString());
    QVERIFY(!command);
    QCOMPARE(command.error(),
             u"プログラム C:\\Program Files\\Halden\\Pictora\\Pictora.exe が見つかりません"_s);
}

void TestPlatform::startsProgramsWithRawArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::newRow("a quoted argument with blanks")
        << u"stand-in.exe \"a b\" c"_s << QList<QByteArray>{"a b", "c"};
    QTest::newRow("shell metacharacters stay literal") << u"stand-in \"$(touch pwned); `id` | & > x\""_s
                                                       << QList<QByteArray>{"$(touch pwned); `id` | & > x"};
    QTest::newRow("an empty argument") << u"stand-in \"\""_s << QList<QByteArray>{""};
    QTest::newRow("CP932 bytes") << u"stand-in ｾﾞｲｺﾐ様\\"_s
                                 << QList<QByteArray>{"\xBE\xDE\xB2\xBA\xD0\x97\x6C\\"};
}

void TestPlatform::startsProgramsWithRawArguments()
{
    QFETCH(QString, commandLine);
    QFETCH(QList<QByteArray>, arguments);
    const QString log = m_dir->filePath(u"log"_s);
    QDir().mkpath(m_dir->filePath(u"bin"_s));
    test::writeRecordingProgram(m_dir->filePath(u"bin"_s), u"stand-in"_s, log);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(u"bin"_s)) + ':' + savedPath);
    ProcessLauncher launcher{WindowsPathMapper(m_prefix)};
    const Result<> result = launcher.startCommandLine(commandLine, WindowStyle::NormalFocus);
    qputenv("PATH", savedPath);
    QVERIFY_RESULT(result);
    QTRY_COMPARE(test::readRecordedCalls(log).size(), 1);
    QCOMPARE(test::readRecordedCalls(log).first(), arguments);
    QVERIFY(!QFile::exists(u"pwned"_s));
}

void TestPlatform::reportsAProgramThatCannotStart()
{
    ProcessLauncher launcher{WindowsPathMapper(m_prefix)};
    Result<> result = launcher.startCommandLine(u"C:\\nowhere\\viewer.exe a"_s, WindowStyle::MinimizedFocus);
    QVERIFY(!result);
    QVERIFY(result.error().contains(u"viewer"_s));
    result = launcher.startProgram(u"no-such-program-here"_s, {});
    QVERIFY(!result);

    // A file that is executable but cannot be run: the exec failure comes back.
    const QString broken = m_dir->filePath(u"broken"_s);
    test::writeFile(broken, "#!/no/such/interpreter\n");
    QFile::setPermissions(broken, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    result = launcher.startProgram(broken, {});
    QVERIFY(!result);
    QVERIFY(!result.error().isEmpty());
}

void TestPlatform::leavesNoZombie()
{
    ProcessLauncher launcher{WindowsPathMapper(m_prefix)};
    for (int i = 0; i < 3; ++i)
        QVERIFY(launcher.startProgram(u"true"_s, {}));
    // Every intermediate child has been reaped and the programs belong to init: none is ours to wait for.
    errno = 0;
    QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
}

void TestPlatform::readsTheUserName()
{
    QProcess id;
    id.start(u"id"_s, {u"-un"_s});
    QVERIFY(id.waitForFinished());
    QCOMPARE(currentUserName(), QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed());
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
