#include "base/messagelog.h"
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <QTimeZone>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace orvane;

// The log that lasts: its lines for the journal and the file, the rotation, the journal's stream, and a
// program's start error found in its log.
class TestMessageLog : public QObject
{
    Q_OBJECT

private slots:
    void writesLines_data();
    void writesLines();
    void keepsFiveOlderFiles();
    void knowsTheJournalsStream();
    void keepsTheBridgesStartError();
};

void TestMessageLog::writesLines_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<QByteArray>("file");
    const auto row = [](const char* name, QtMsgType type, const char* priority, const char* word) {
        QTest::newRow(name) << int(type) << QByteArray(priority) + "orvane.print: no paper\n"
                            << "2026-12-10T09:00:00.250+09:00 " + QByteArray(word) +
                                   " orvane.print: no paper\n";
    };
    row("debug", QtDebugMsg, "<7>", "debug");
    row("info", QtInfoMsg, "<6>", "info");
    row("warning", QtWarningMsg, "<4>", "warning");
    row("critical", QtCriticalMsg, "<3>", "critical");
}

void TestMessageLog::writesLines()
{
    QFETCH(int, type);
    QFETCH(QByteArray, journal);
    QFETCH(QByteArray, file);
    const QDateTime when(QDate(2026, 12, 10), QTime(9, 0, 0, 250), QTimeZone(9 * 3600));
    QCOMPARE(journalLine(QtMsgType(type), u"orvane.print: no paper"_s), journal);
    QCOMPARE(fileLogLine(QtMsgType(type), u"orvane.print: no paper"_s, when), file);
    // A message of several lines stays one journal entry per line, each with its priority.
    QCOMPARE(journalLine(QtWarningMsg, u"a\nb"_s), QByteArray("<4>a\n<4>b\n"));
}

void TestMessageLog::keepsFiveOlderFiles()
{
    const QTemporaryDir dir;
    const QString path = dir.filePath(u"state/orvane/orvane.log"_s);
    MessageLog log(path, 100);
    for (int i = 0; i < 40; ++i)
        QVERIFY(
            log.append("line " + QByteArray::number(i).rightJustified(2, '0') + QByteArray(30, '.') + '\n'));
    QStringList files = QDir(dir.filePath(u"state/orvane"_s)).entryList(QDir::Files, QDir::Name);
    QCOMPARE(files, (QStringList{u"orvane.log"_s, u"orvane.log.1"_s, u"orvane.log.2"_s, u"orvane.log.3"_s,
                                 u"orvane.log.4"_s, u"orvane.log.5"_s}));
    QVERIFY(QFileInfo(path).size() <= 100);
    QVERIFY(test::readFile(path).contains("line 39"));
    QVERIFY(test::readFile(path + u".1"_s).contains("line 36")); // each file holds two lines of 38 bytes
}

void TestMessageLog::knowsTheJournalsStream()
{
    const QTemporaryDir dir;
    const int fd =
        ::open(QFile::encodeName(dir.filePath(u"stream"_s)).constData(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    QVERIFY(fd >= 0);
    struct stat info;
    QCOMPARE(fstat(fd, &info), 0);
    const QByteArray stream =
        QByteArray::number(qulonglong(info.st_dev)) + ':' + QByteArray::number(qulonglong(info.st_ino));
    QVERIFY(isJournalStream(fd, stream));
    QVERIFY(!isJournalStream(fd, QByteArray::number(qulonglong(info.st_dev)) + ":1"));
    QVERIFY(!isJournalStream(fd, "not a stream"));
    QVERIFY(!isJournalStream(fd, {}));
    ::close(fd);
}

void TestMessageLog::keepsTheBridgesStartError()
{
    // A bridge started where there is no sct.txt says why on standard error, and its log keeps it.
    const QTemporaryDir dir;
    QProcess bridge;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_STATE_HOME"_s, dir.filePath(u"state"_s));
    environment.remove(u"JOURNAL_STREAM"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    bridge.setProcessEnvironment(environment);
    bridge.setWorkingDirectory(dir.path());
    bridge.start(test::builtProgram(u"orvane"_s), {});
    QVERIFY(bridge.waitForFinished(30000));
    QCOMPARE(bridge.exitCode(), 1);
    const QByteArray said = bridge.readAllStandardError();
    QVERIFY2(said.contains("sct.txt"), said.constData());
    const QByteArray log = test::readFile(dir.filePath(u"state/orvane/orvane.log"_s));
    QVERIFY2(log.contains(" critical Orvane を起動できません。\n設定ファイル sct.txt がありません"),
             log.constData());
}

QTEST_GUILESS_MAIN(TestMessageLog)
#include "tst_messagelog.moc"
