#include "channel/cookiefoldersource.h"
#include "support/desk.h"
#include "support/formservices.h"
#include "window/form1.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

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
    void carriesOutAFileDatedAtTheEpoch();
    void showsMarkupAsPlainText();

private:
    std::unique_ptr<Form1> startForm();

    std::unique_ptr<test::Desk> m_desk;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
};

void TestChannelWindow::init()
{
    m_desk = std::make_unique<test::Desk>();
    QVERIFY(test::writeFile(u"sct.txt"_s, "wintype=1\r\ndialurl=\r\n"));
}

void TestChannelWindow::cleanup()
{
    m_desk.reset();
}

std::unique_ptr<Form1> TestChannelWindow::startForm()
{
    return test::startWindow(
        test::formServices(m_desk->winePrefix(), &m_desk->launcher(), &m_notifier, &m_dialler, true));
}

void TestChannelWindow::carriesOutACookieFileWithinATick()
{
    const std::unique_ptr<Form1> form = startForm();
    QVERIFY(form);
    QVERIFY(form->Timer1->isActive());
    m_desk->writeCookie("uketsuke\nTotal12345\nclinic.example/\n1600\n受付A\n*\n", 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_desk->displayCalls().size(), 1, 2000);
    const QByteArray expected =
        QByteArray("\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ") +
        QByteArray(13, ' ') + "\\12,345";
    QCOMPARE(m_desk->displayCalls().first(), QList<QByteArray>{expected});
    QCOMPARE(form->Label1->text(), u"uketsuke受付A"_s);

    // A second command in a later second; a telephone command goes to the dialler.
    m_desk->writeCookie("uketsuke\ntell0300000000\n", 2);
    QTRY_COMPARE(m_dialler.numbers, QStringList{u"0300000000"_s});
    QCOMPARE(m_desk->displayCalls().size(), 1);
}

void TestChannelWindow::ignoresCookieFilesWrittenBeforeTheStart()
{
    m_desk->writeCookie("x\nwel\n", -3600, u"old.txt"_s);
    const std::unique_ptr<Form1> form = startForm();
    QVERIFY(form);
    const auto* folder = qobject_cast<const CookieFolderSource*>(form->commandSource());
    QVERIFY(folder);
    QCOMPARE(folder->lastCookieTime(),
             QFileInfo(QDir(m_desk->cookies()).filePath(u"old.txt"_s)).lastModified().toSecsSinceEpoch());
    form->Timer1_Timer(); // a tick that sees the old file
    QVERIFY(m_desk->displayCalls().isEmpty());

    // The fresh file is the first the display program hears of: had the tick carried out the old one,
    // its welcome would come first.
    m_desk->writeCookie("x\nTotal1\n", 0, u"fresh.txt"_s);
    QTRY_COMPARE(m_desk->displayCalls().size(), 1);
    const QByteArray total = QByteArray("\xBE\xDE\xB2\xBA\xD0\xBA\xDE\xB3\xB9\xB2\xB7\xDD\xB6\xDE\xB8     ") +
                             QByteArray(18, ' ') + "\\1";
    QCOMPARE(m_desk->displayCalls().first(), QList<QByteArray>{total});
}

void TestChannelWindow::carriesOutAFileDatedAtTheEpoch()
{
    const std::unique_ptr<Form1> form = startForm(); // an empty folder
    QVERIFY(form);
    const QString path = QDir(m_desk->cookies()).filePath(u"epoch.txt"_s);
    QVERIFY(test::writeFile(path, "x\nwel\n"));
    QVERIFY(test::setModified(path, QDateTime::fromSecsSinceEpoch(0)));
    QTRY_COMPARE(m_desk->displayCalls().size(), 1);
}

void TestChannelWindow::showsMarkupAsPlainText()
{
    // Rich text would load the image: from a FIFO that nobody writes, the window would hang.
    const QString fifo = m_desk->filePath(u"fifo"_s);
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::unique_ptr<Form1> form = startForm();
    QVERIFY(form);
    const QByteArray name = "<img src=\"" + QFile::encodeName(fifo) + "\"><b>x</b>";
    m_desk->writeCookie(name + "\nwel\nclinic/\n0\n<style>p{}</style>\n", 1);
    QTRY_COMPARE(Form1::caption(form->Label1), QString::fromUtf8(name + "<style>p{}</style>"));
    QCOMPARE(form->Label1->textFormat(), Qt::PlainText);
    QCOMPARE(form->Label1->text(), QString::fromUtf8(name + "<style>p{}</style>"));
    QVERIFY(!form->Label1->grab().isNull()); // laid out and painted as text
}

QTEST_MAIN(TestChannelWindow)
#include "tst_channel_window.moc"
