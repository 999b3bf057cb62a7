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
    m_prefix = m_dir->filePath(u"wine"_qs);
    QDir().mkpath(m_prefix + u"/dosdevices"_qs);
    QDir().mkpath(m_prefix + u"/drive_c/Users/Alice/AppData"_qs);
    QDir().mkpath(m_dir->filePath(u"d-drive/Images"_qs));
    QFile::link(m_dir->filePath(u"d-drive"_qs), m_prefix + u"/dosdevices/d:"_qs);
}

void TestPlatform::mapsDrivePaths_data()
{
    QTest::addColumn<QString>("windowsPath");
    QTest::addColumn<QString>("expected"); // relative to the temporary folder; "-" for no mapping
    QTest::newRow("c: falls back to drive_c")
        << u"C:\\Users\\Alice\\AppData\\"_qs << u"wine/drive_c/Users/Alice/AppData/"_qs;
    QTest::newRow("components match case-insensitively")
        << u"c:\\users\\ALICE\\appdata"_qs << u"wine/drive_c/Users/Alice/AppData"_qs;
    QTest::newRow("missing components are kept as written")
        << u"C:\\Users\\Bob\\Cookies\\"_qs << u"wine/drive_c/Users/Bob/Cookies/"_qs;
    QTest::newRow("a dosdevices link") << u"D:\\images\\a.dcm"_qs << u"wine/dosdevices/d:/Images/a.dcm"_qs;
    QTest::newRow("an unknown drive has no mapping") << u"Q:\\x"_qs << u"-"_qs;
    QTest::newRow("a text without a drive has no mapping") << u"\\x\\y"_qs << u"-"_qs;
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

    const std::optional<QString> root = mapper.toNative(u"z:\\tmp"_qs);
    QCOMPARE(*root, u"/tmp"_qs);
}

void TestPlatform::mapsSerialPorts()
{
    const WindowsPathMapper mapper(m_prefix);
    QCOMPARE(mapper.serialDevice(1), u"/dev/ttyS0"_qs);
    QFile::link(u"/dev/null"_qs, m_prefix + u"/dosdevices/com3"_qs);
    QCOMPARE(mapper.serialDevice(3), m_prefix + u"/dosdevices/com3"_qs);
    // A link to an unplugged device still names the port.
    QFile::link(m_dir->filePath(u"gone"_qs), m_prefix + u"/dosdevices/com4"_qs);
    QCOMPARE(mapper.serialDevice(4), m_prefix + u"/dosdevices/com4"_qs);
}

void TestPlatform::splitsWindowsArguments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("blanks separate") << u" a  b\tc "_qs << QStringList{u"a"_qs, u"b"_qs, u"c"_qs};
    QTest::newRow("quotes keep blanks") << u"\"a b\" c"_qs << QStringList{u"a b"_qs, u"c"_qs};
    QTest::newRow("an empty quoted argument") << u"\"\""_qs << QStringList{QString()};
    QTest::newRow("quotes inside an argument") << u"a\"b c\"d"_qs << QStringList{u"ab cd"_qs};
    QTest::newRow("backslashes without a quote are literal")
        << u"C:\\a\\b\\"_qs << QStringList{u"C:\\a\\b\\"_qs};
    QTest::newRow("an escaped quote") << u"a\\\"b"_qs << QStringList{u"a\"b"_qs};
    QTest::newRow("two backslashes before a quote") << u"\"a\\\\\" b"_qs << QStringList{u"a\\"_qs, u"b"_qs};
    QTest::newRow("doubled quotes inside quotes") << u"\"a\"\"b\""_qs << QStringList{u"a\"b"_qs};
    QTest::newRow("nothing") << u"   "_qs << QStringList{};
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
        << u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe  C:\\testdicom\\1.dcm"_qs
        << u"wine/drive_c/Program Files/Halden/Pictora/Pictora"_qs
        << QList<QByteArray>{"@/wine/drive_c/testdicom/1.dcm"};
    QTest::newRow("a quoted program path")
        << u"\"C:\\Program Files\\Halden\\Pictora\\Pictora.exe\" \"a b\""_qs
        << u"wine/drive_c/Program Files/Halden/Pictora/Pictora"_qs << QList<QByteArray>{"a b"};
    QTest::newRow("a bare name found on PATH without .exe")
        << u"vfddisp.exe \"ｾﾞｲ\\12\""_qs << u"bin/vfddisp"_qs << QList<QByteArray>{"\xBE\xDE\xB2\\12"};
    QTest::newRow("a mapped path goes out in the file system's encoding")
        << u"vfddisp.exe C:\\画像\\山田.dcm 山田"_qs << u"bin/vfddisp"_qs
        << QList<QByteArray>{"@/wine/drive_c/\xE7\x94\xBB\xE5\x83\x8F/\xE5\xB1\xB1\xE7\x94\xB0.dcm",
                             "\x8E\x52\x93\x63"};
    QTest::newRow("a program that does not exist")
        << u"nosuchprogram.exe x"_qs << u"-"_qs << QList<QByteArray>{};
}

void TestPlatform::resolvesCommandLines()
{
    QFETCH(QString, commandLine);
    QFETCH(QString, program);
    QFETCH(QList<QByteArray>, arguments);
    const QString log = m_dir->filePath(u"log"_qs);
    QDir().mkpath(m_dir->filePath(u"bin"_qs));
    QDir().mkpath(m_prefix + u"/drive_c/Program Files/Halden/Pictora"_qs);
    test::writeRecordingProgram(m_dir->filePath(u"bin"_qs), u"vfddisp"_qs, log);
    test::writeRecordingProgram(m_prefix + u"/drive_c/Program Files/Halden/Pictora"_qs, u"Pictora"_qs, log);

    const Result<ResolvedCommand> command =
        resolveCommandLine(commandLine, WindowsPathMapper(m_prefix), m_dir->filePath(u"bin"_qs));
    if (program == u"-") {
        QVERIFY(!command);
        QVERIFY(command.error().contains(u"nosuchprogram"_qs));
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
        resolveCommandLine(u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe  C:\\testdicom\\1.dcm"_qs,
                           WindowsPathMapper(m_prefix), QString());
    QVERIFY(!command);
    QCOMPARE(command.error(), u"プログラム C:\\Program Files\\Halden\\Pictora\\Pictora.exe が見つかりません"_qs);
}

void TestPlatform::startsProgramsWithRawArguments_data()
{
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::newRow("a quoted argument with blanks")
        << u"stand-in.exe \"a b\" c"_qs << QList<QByteArray>{"a b", "c"};
    QTest::newRow("shell metacharacters stay literal") << u"stand-in \"$(touch pwned); `id` | & > x\""_qs
                                                       << QList<QByteArray>{"$(touch pwned); `id` | & > x"};
    QTest::newRow("an empty argument") << u"stand-in \"\""_qs << QList<QByteArray>{""};
    QTest::newRow("CP932 bytes") << u"stand-in ｾﾞｲｺﾐ様\\"_qs
                                 << QList<QByteArray>{"\xBE\xDE\xB2\xBA\xD0\x97\x6C\\"};
}

void TestPlatform::startsProgramsWithRawArguments()
{
    QFETCH(QString, commandLine);
    QFETCH(QList<QByteArray>, arguments);
    const QString log = m_dir->filePath(u"log"_qs);
    QDir().mkpath(m_dir->filePath(u"bin"_qs));
    test::writeRecordingProgram(m_dir->filePath(u"bin"_qs), u"stand-in"_qs, log);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(u"bin"_qs)) + ':' + savedPath);
    ProcessLauncher launcher{WindowsPathMapper(m_prefix)};
    const Result<> result = launcher.startCommandLine(commandLine, WindowStyle::NormalFocus);
    qputenv("PATH", savedPath);
    QVERIFY_RESULT(result);
    QTRY_COMPARE(test::readRecordedCalls(log).size(), 1);
    QCOMPARE(test::readRecordedCalls(log).first(), arguments);
    QVERIFY(!QFile::exists(u"pwned"_qs));
}

void TestPlatform::reportsAProgramThatCannotStart()
{
    ProcessLauncher launcher{WindowsPathMapper(m_prefix)};
    Result<> result =
        launcher.startCommandLine(u"C:\\nowhere\\viewer.exe a"_qs, WindowStyle::MinimizedFocus);
    QVERIFY(!result);
    QVERIFY(result.error().contains(u"viewer"_qs));
    result = launcher.startProgram(u"no-such-program-here"_qs, {});
    QVERIFY(!result);

    // A file that is executable but cannot be run: the exec failure comes back.
    const QString broken = m_dir->filePath(u"broken"_qs);
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
        QVERIFY(launcher.startProgram(u"true"_qs, {}));
    // Every intermediate child has been reaped and the programs belong to init: none is ours to wait for.
    errno = 0;
    QCOMPARE(waitpid(-1, nullptr, WNOHANG), -1);
    QCOMPARE(errno, ECHILD);
}

void TestPlatform::readsTheUserName()
{
    QProcess id;
    id.start(u"id"_qs, {u"-un"_qs});
    QVERIFY(id.waitForFinished());
    QCOMPARE(currentUserName(), QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed());
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
