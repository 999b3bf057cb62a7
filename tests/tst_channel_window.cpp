#include "window/form1.h"
#include "support/formservices.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

using namespace orvane;

// The command channel end to end: a running window polls the mapped cookie folder and starts a
// stand-in display program found first on PATH.
class TestChannelWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void carriesOutACookieFileWithinATick();
    void ignoresCookieFilesWrittenBeforeTheStart();

private:
    std::unique_ptr<Form1> startForm();

    std::unique_ptr<test::WorkingFolder> m_dir;
    QByteArray m_savedPath;
    QString m_cookies;
    QString m_log;
    std::unique_ptr<ProcessLauncher> m_launcher;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
};

void TestChannelWindow::init()
{
    m_dir = std::make_unique<test::WorkingFolder>();
    QVERIFY(test::writeFile(u"sct.txt"_qs, "wintype=1\r\ndialurl=\r\n"));
    m_cookies = m_dir->filePath(u"wine/drive_c/Users/alice/AppData/Roaming/Microsoft/Windows/Cookies"_qs);
    QDir().mkpath(m_cookies);
    m_log = m_dir->filePath(u"vfddisp.log"_qs);
    QDir().mkpath(m_dir->filePath(u"bin"_qs));
    test::writeRecordingProgram(m_dir->filePath(u"bin"_qs), u"vfddisp"_qs, m_log);
    m_savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(u"bin"_qs)) + ':' + m_savedPath);
    m_launcher = std::make_unique<ProcessLauncher>(WindowsPathMapper(m_dir->filePath(u"wine"_qs)));
}

void TestChannelWindow::cleanup()
{
    qputenv("PATH", m_savedPath);
    m_dir.reset();
}

std::unique_ptr<Form1> TestChannelWindow::startForm()
{
    auto form = std::make_unique<Form1>(
        test::formServices(m_dir->filePath(u"wine"_qs), m_launcher.get(), &m_notifier, &m_dialler, true));
    if (!form->Form_Load())
        qWarning() << form->loadError();
    return form;
}

void TestChannelWindow::carriesOutACookieFileWithinATick()
{
    const std::unique_ptr<Form1> form = startForm();
    QVERIFY(form->Timer1->isActive());
    const QString cookie = QDir(m_cookies).filePath(u"alice@clinic[1].txt"_qs);
    QVERIFY(test::writeFile(cookie, "uketsuke\nTotal12345\nclinic.example/\n1600\n受付A\n*\n"));
    QTRY_COMPARE_WITH_TIMEOUT(test::readRecordedCalls(m_log).size(), 1, 2000);
    const QByteArray expected =
        QByteArray("\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ") +
        QByteArray(13, ' ') + "\\12,345";
    QCOMPARE(test::readRecordedCalls(m_log).first(), QList<QByteArray>{expected});
    QCOMPARE(form->Label1->text(), u"uketsuke受付A"_qs);

    // A second command in a later second; a telephone command goes to the dialler.
    QVERIFY(test::writeFile(cookie, "uketsuke\ntell0300000000\n"));
    QVERIFY(test::setModified(cookie, QDateTime::currentDateTime().addSecs(2)));
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0300000000"_qs});
    QCOMPARE(test::readRecordedCalls(m_log).size(), 1);
}

void TestChannelWindow::ignoresCookieFilesWrittenBeforeTheStart()
{
    const QString old = QDir(m_cookies).filePath(u"old.txt"_qs);
    QVERIFY(test::writeFile(old, "x\nwel\n"));
    QVERIFY(test::setModified(old, QDateTime::currentDateTime().addSecs(-3600)));
    const std::unique_ptr<Form1> form = startForm();
    QCOMPARE(form->lastCookieTime(), QFileInfo(old).lastModified().toSecsSinceEpoch());
    QTest::qWait(400);
    QVERIFY(test::readRecordedCalls(m_log).isEmpty());

    const QString fresh = QDir(m_cookies).filePath(u"fresh.txt"_qs);
    QVERIFY(test::writeFile(fresh, "x\nwel\n"));
    QTRY_COMPARE(test::readRecordedCalls(m_log).size(), 1);
    QCOMPARE(test::readRecordedCalls(m_log).first(), QList<QByteArray>{"Welcome"});
}

QTEST_MAIN(TestChannelWindow)
#include "tst_channel_window.moc"
