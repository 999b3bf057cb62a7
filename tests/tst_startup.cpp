#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

using namespace orvane;

// The program as staff start it: in its working folder, without a screen.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void endsOnABadSettingsFile_data();
    void endsOnABadSettingsFile();
    void runsOneBridgePerFolder();
    void saysWhatTheDeskLacks_data();
    void saysWhatTheDeskLacks();
    void startsAKilledBridgeAgain();
    void sendsThroughTheExtensionsRoute();

private:
    void start(QProcess& process);
    // orvane with these arguments in the working folder: its exit status and standard output.
    std::pair<int, QByteArray> askStatus(const QStringList& arguments);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStartup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
}

void TestStartup::start(QProcess& process)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"WINEPREFIX"_s, m_dir->filePath(u"wine"_s));
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir->path());
    process.start(test::builtProgram(u"orvane"_s), {});
    QVERIFY(process.waitForStarted());
}

std::pair<int, QByteArray> TestStartup::askStatus(const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(test::builtProgram(u"orvane"_s), arguments);
    if (!process.waitForFinished(10000))
        return {-1, {}};
    return {process.exitCode(), process.readAllStandardOutput()};
}

void TestStartup::endsOnABadSettingsFile_data()
{
    QTest::addColumn<QByteArray>("content"); // "-" for no file
    QTest::addColumn<QString>("named");
    QTest::newRow("no sct.txt") << QByteArray("-") << u"sct.txt"_s;
    QTest::newRow("a sizef with one slash") << QByteArray("sizef1=15/1800\r\n") << u"sizef1"_s;
    QTest::newRow("a sizef5 out of range") << QByteArray("sizef5=20/99999/10550\r\n") << u"sizef5"_s;
}

void TestStartup::endsOnABadSettingsFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    if (content != "-")
        QVERIFY(test::writeFile(m_dir->filePath(u"sct.txt"_s), content));
    QProcess process;
    start(process);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(u"sct.txt"_s) && error.contains(named), qPrintable(error));
}

void TestStartup::runsOneBridgePerFolder()
{
    QVERIFY(test::writeFile(m_dir->filePath(u"sct.txt"_s), "name1=Clinic\r\ndialurl=\r\n"));
    const QString lockFile = m_dir->filePath(u"orvane.lock"_s);
    const auto lockHolder = [&] { return test::readFile(lockFile).split('\n').value(0).toLongLong(); };
    QProcess first;
    start(first);
    QTRY_COMPARE(lockHolder(), first.processId());

    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(second.readAllStandardError());
    QVERIFY2(error.contains(QDir(m_dir->path()).canonicalPath()), qPrintable(error));
    QCOMPARE(first.state(), QProcess::Running); // the first one goes on

    // orvane --status asks the running bridge and starts nothing; its exit status follows the devices.
    const auto [exitCode, out] = askStatus({u"--status"_s, u"--json"_s});
    const QJsonObject report = QJsonDocument::fromJson(out).object();
    QCOMPARE(report[u"bridge"_s][u"pid"_s].toInteger(), first.processId());
    QCOMPARE(report[u"bridge"_s][u"folder"_s].toString(), QDir(m_dir->path()).canonicalPath());
    QCOMPARE(report[u"devices"_s][u"server"_s][u"state"_s].toString(), u"unused"_s);
    bool problem = false;
    for (const QJsonValue device : report[u"devices"_s].toObject())
        problem = problem || device[u"state"_s].toString() == u"problem";
    QCOMPARE(exitCode, problem ? 1 : 0);
    QVERIFY(askStatus({u"--status"_s}).second.contains("サーバー unused"));

    // A bridge that was killed leaves its lock behind: the next start takes it over.
    first.kill();
    QVERIFY(first.waitForFinished(5000));
    QVERIFY(QFile::exists(lockFile));
    QCOMPARE(askStatus({u"--status"_s}).first, 3); // no bridge for this folder
    QProcess third;
    start(third);
    QTRY_COMPARE(lockHolder(), third.processId());
    QCOMPARE(third.state(), QProcess::Running);
    third.terminate();
    QVERIFY(third.waitForFinished(5000));
}

void TestStartup::saysWhatTheDeskLacks_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("said"); // FOLDER: the desk's working folder
    QTest::newRow("no working folder") << false << u"作業フォルダ FOLDER がありません。"_s;
    QTest::newRow("no sct.txt in it")
        << true << u"設定ファイル sct.txt がありません (作業フォルダ: FOLDER)"_s;
}

void TestStartup::saysWhatTheDeskLacks()
{
    // orvane-desk at login: the bridge's own start error names the folder and what to create.
    QFETCH(bool, folder);
    QFETCH(QString, said);
    const QString home = m_dir->filePath(u"Orvane"_s);
    if (folder)
        QVERIFY(QDir().mkpath(home));
    QProcess desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"ORVANE_HOME"_s, home);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"PATH"_s,
               QFileInfo(test::builtProgram(u"orvane"_s)).absolutePath() + u':' + env.value(u"PATH"_s));
    desk.setProcessEnvironment(env);
    desk.start(qEnvironmentVariable("ORVANE_SOURCE_DIR") + u"/packaging/orvane-desk"_s, {});
    QVERIFY(desk.waitForFinished(10000));
    QCOMPARE(desk.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(desk.readAllStandardError());
    QVERIFY2(error.contains(QString(said).replace(u"FOLDER"_s, home)), qPrintable(error));
}

void TestStartup::startsAKilledBridgeAgain()
{
    // Under orvane-desk a killed bridge is back within seconds, said in the log and as a notification;
    // one that keeps dying is started at most five times in ten minutes.
    const QString home = m_dir->filePath(u"Orvane"_s);
    QVERIFY(test::writeFile(home + u"/sct.txt"_s, "dialurl=\r\n"));
    const QString bin = m_dir->filePath(u"bin"_s);
    const QString notes = m_dir->filePath(u"notifications"_s);
    test::writeRecordingProgram(bin, u"gdbus"_s, notes);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"ORVANE_HOME"_s, home);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"XDG_STATE_HOME"_s, m_dir->filePath(u"state"_s));
    env.insert(u"PATH"_s, bin + u':' + QFileInfo(test::builtProgram(u"orvane"_s)).absolutePath() + u':' +
                              env.value(u"PATH"_s));
    QProcess desk;
    desk.setProcessEnvironment(env);
    desk.start(qEnvironmentVariable("ORVANE_SOURCE_DIR") + u"/packaging/orvane-desk"_s, {});
    // Whatever fails, the bridge goes with orvane-desk (which a kill could not let end it).
    const auto endDesk = qScopeGuard([&] {
        desk.terminate();
        desk.waitForFinished(5000);
    });
    const auto notified = [&](const QString& words) {
        for (const QList<QByteArray>& call : test::readRecordedCalls(notes))
            if (call.contains("org.freedesktop.Notifications.Notify") &&
                std::any_of(call.begin(), call.end(),
                            [&](const QByteArray& argument) { return argument.contains(words.toUtf8()); }))
                return true;
        return false;
    };
    const auto bridge = [&] {
        return test::readFile(home + u"/orvane.lock"_s).split('\n').value(0).toLongLong();
    };
    QTRY_VERIFY(bridge() > 0);
    const qint64 first = bridge();
    QVERIFY(::kill(pid_t(first), SIGKILL) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(bridge() != first && ::kill(pid_t(bridge()), 0) == 0, 10000);
    QVERIFY(test::readFile(m_dir->filePath(u"state/orvane/orvane-desk.log"_s)).contains("started again"));
    QVERIFY(notified(u"異常終了したため、再起動しました"_s));
    desk.terminate(); // the session ends: the bridge with it, not started again
    QVERIFY(desk.waitForFinished(5000));
    QTRY_VERIFY(::kill(pid_t(bridge()), 0) != 0);
    desk.readAllStandardError();

    // A bridge that crashes at once each time.
    test::writeFile(bin + u"/crashing"_s, "#!/bin/sh\nkill -SEGV $$\n");
    QFile::setPermissions(bin + u"/crashing"_s, QFileDevice::Permissions(0x7755));
    env.insert(u"ORVANE_DESK_PROGRAM"_s, u"crashing"_s);
    env.insert(u"ORVANE_DESK_FIRST_PAUSE"_s, u"0"_s);
    desk.setProcessEnvironment(env);
    desk.start(qEnvironmentVariable("ORVANE_SOURCE_DIR") + u"/packaging/orvane-desk"_s, {});
    QVERIFY(desk.waitForFinished(30000));
    QCOMPARE(desk.exitCode(), 139);
    QCOMPARE(QString::fromLocal8Bit(desk.readAllStandardError()).count(u"; started again in"_s), 5);
    QVERIFY(notified(u"再起動を止めました"_s));
}

void TestStartup::sendsThroughTheExtensionsRoute()
{
    // With cookiestore=extension, orvane-send hands its command to the running bridge and prints the
    // outcome; with no bridge it says so and fails.
    QVERIFY(test::writeFile(m_dir->filePath(u"sct.txt"_s), "dialurl=\r\ncookiestore=extension\r\n"));
    const QString runtime = m_dir->filePath(u"run"_s);
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime);
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"WINEPREFIX"_s, m_dir->filePath(u"wine"_s));
    const auto send = [&](const QString& command) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir->path());
        process.start(test::builtProgram(u"orvane-send"_s), {command});
        process.waitForFinished(10000);
        return std::pair{process.exitCode(),
                         QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError())};
    };
    QProcess bridge;
    bridge.setProcessEnvironment(env);
    bridge.setWorkingDirectory(m_dir->path());
    bridge.start(test::builtProgram(u"orvane"_s), {});
    QTRY_VERIFY(QFile::exists(runtime + u"/orvane/bridge.sock"_s));
    const auto [carried, said] = send(u"wel"_s);
    QCOMPARE(carried, 0);
    QVERIFY2(said.startsWith(u"carried out: 実行しました"_s), qPrintable(said));
    const auto [refused, why] = send(u"rsh山田様"_s);
    QCOMPARE(refused, 1);
    QVERIFY2(why.contains(u"領収書の金額がありません"_s), qPrintable(why));
    bridge.terminate();
    QVERIFY(bridge.waitForFinished(5000));
    const auto [none, because] = send(u"wel"_s);
    QCOMPARE(none, 1);
    QVERIFY2(because.contains(u"cannot reach the bridge"_s), qPrintable(because));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
