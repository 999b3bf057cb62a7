#include "support/formservices.h"
#include "window/form1.h"
#include "window/statusrow.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace orvane;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void placesEveryControl_data();
    void placesEveryControl();
    void keepsTheTabOrder();
    void setsUpTheTimers();
    void startsUp();
    void failsWithoutTheSettingsFile();
    void failsOnABadSetting_data();
    void failsOnABadSetting();
    void opensTheCallerNumberPort();
    void goesOnWhenTheCallerNumberPortIsAbsent();
    void showsTheDesksState_data();
    void showsTheDesksState();
    void connectsTheRegistrationClient_data();
    void connectsTheRegistrationClient();
    void opensTheSettingsInTheEditor();
    void startsTheViewerTest();
    void fitsEveryCaptionWhateverTheDesktopFont();

private:
    std::unique_ptr<Form1> makeForm();

    std::unique_ptr<test::WorkingFolder> m_dir;
    test::FakeLauncher m_launcher;
    test::FakeNotifier m_notifier;
    test::FakeDialler m_dialler;
    QList<test::FakeSerialPort*> m_ports;
    QList<test::FakeTcpClient*> m_clients;
};

void TestWindow::init()
{
    m_dir.reset(); // the last one gives back the folder it entered before the next one enters its own
    m_dir = std::make_unique<test::WorkingFolder>();
    m_launcher = {};
    m_notifier = {};
    m_ports.clear();
    m_clients.clear();
}

void TestWindow::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<Form1> TestWindow::makeForm()
{
    FormServices services =
        test::formServices(m_dir->filePath(u"wine"_s), &m_launcher, &m_notifier, &m_dialler);
    services.makeSerialPort = [this](QObject* parent) {
        m_ports.append(new test::FakeSerialPort(parent));
        return m_ports.last();
    };
    services.makeTcpClient = [this](QObject* parent) {
        m_clients.append(new test::FakeTcpClient(parent));
        return m_clients.last();
    };
    return std::make_unique<Form1>(services);
}

void TestWindow::placesEveryControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Label1") << u"Label1"_s << u"Label1"_s << QRect(120, 1800, 3135, 375);
    QTest::newRow("Label3") << u"Label3"_s << u"TollaneV2(IE7)"_s << QRect(480, 120, 2775, 255);
    QTest::newRow("daystart") << u"daystart"_s << u"日計スタート"_s << QRect(120, 480, 1335, 375);
    QTest::newRow("nikkeidump") << u"nikkeidump"_s << u"日計出力"_s << QRect(2040, 480, 1335, 375);
    QTest::newRow("sctset") << u"sctset"_s << u"印刷設定"_s << QRect(2040, 2280, 1335, 375);
    QTest::newRow("tellno") << u"tellno"_s << u"ココに電話番号入力"_s << QRect(120, 1320, 1935, 375);
    QTest::newRow("Command1") << u"Command1"_s << u"電話呼出"_s << QRect(2160, 1320, 975, 375);
    QTest::newRow("Command2") << u"Command2"_s << u"Command2"_s << QRect(2160, 960, 975, 375);
    QTest::newRow("txtInputData") << u"txtInputData"_s << QString() << QRect(120, 960, 1695, 270);
    QTest::newRow("Command3") << u"Command3"_s << u"テスト電話"_s << QRect(840, 1800, 1215, 375);
}

void TestWindow::placesEveryControl()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    const std::unique_ptr<Form1> form = makeForm();
    QCOMPARE(form->windowTitle(), u"Form1"_s);
    QCOMPARE(form->size(), QSize(3615 / 15, (2805 + Form1::kStatusRowTwips) / 15)); // the status row below
    auto* widget = form->findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(),
             QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    QString shown;
    if (auto* label = qobject_cast<QLabel*>(widget))
        shown = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(widget))
        shown = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        shown = edit->text();
    QCOMPARE(shown, text);
}

void TestWindow::keepsTheTabOrder()
{
    const std::unique_ptr<Form1> form = makeForm();
    const QList<QWidget*> expected{form->daystart, form->nikkeidump, form->sctset,       form->tellno,
                                   form->Command1, form->Command2,   form->txtInputData, form->Command3};
    for (qsizetype i = 1; i < expected.size(); ++i) {
        QWidget* next = expected[i - 1]->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), expected[i]->objectName());
    }
}

void TestWindow::setsUpTheTimers()
{
    const std::unique_ptr<Form1> form = makeForm();
    QCOMPARE(form->Timer1->interval(), 100);
    QCOMPARE(form->Timer2->interval(), 1000);
    QCOMPARE(form->Timer3->interval(), 20000);
    QVERIFY(!form->Timer1->isActive());
    QVERIFY(!form->Timer2->isActive());
    QVERIFY(!form->Timer3->isActive());
    QCOMPARE(form->MSComm1->objectName(), u"MSComm1"_s);
    QCOMPARE(form->Winsock2->objectName(), u"Winsock2"_s);
}

void TestWindow::startsUp()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "name1=Clinic\r\nmodemport=3\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY_RESULT(form->Form_Load());
    QCOMPARE(form->userName(), u"alice"_s);
    QCOMPARE(Form1::caption(form->Label1), u"User:alice\rのクッキー参照中"_s);
    QCOMPARE(form->Label1->text(), u"User:alice\nのクッキー参照中"_s);
    QCOMPARE(textOf(form->settings().name1), u"Clinic"_s);
    QVERIFY(form->Timer1->isActive());
    QVERIFY(form->Timer2->isActive());
    QVERIFY(!form->Timer3->isActive());

    auto* modem = qobject_cast<test::FakeSerialPort*>(form->MSComm1);
    QCOMPARE(modem->commPort(), 3);
    QCOMPARE(modem->settings(), u"9600,n,8,1"_s);
    QVERIFY(!modem->portOpen());
    auto* device = qobject_cast<test::FakeSerialPort*>(form->MSComm2);
    QVERIFY(device->log.isEmpty()); // no nodspport: left alone
}

void TestWindow::failsWithoutTheSettingsFile()
{
    const std::unique_ptr<Form1> form = makeForm();
    const Result<> loaded = form->Form_Load();
    QVERIFY(!loaded);
    QVERIFY(loaded.error().contains(u"sct.txt"_s));
    QVERIFY(!form->Timer1->isActive());
}

void TestWindow::failsOnABadSetting_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("key");
    QTest::newRow("modem port out of range") << QByteArray("modemport=99999") << u"modemport"_s;
    QTest::newRow("device port refused") << QByteArray("nodspport=0") << u"nodspport"_s;
    QTest::newRow("a sizef without two slashes") << QByteArray("sizef4=10/1800") << u"sizef4"_s;
    QTest::newRow("a command source the bridge does not know")
        << QByteArray("cookiestore=chrome") << u"cookiestore: 「chrome」"_s;
}

void TestWindow::failsOnABadSetting()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, key);
    QVERIFY(test::writeFile(u"sct.txt"_s, line + "\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    const Result<> loaded = form->Form_Load();
    QVERIFY(!loaded);
    QVERIFY2(loaded.error().contains(key), qPrintable(loaded.error()));
    QVERIFY(loaded.error().contains(u"sct.txt"_s));
}

void TestWindow::opensTheCallerNumberPort()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "nodspport=2\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form->Form_Load());
    auto* device = qobject_cast<test::FakeSerialPort*>(form->MSComm2);
    QCOMPARE(device->commPort(), 2);
    QCOMPARE(device->settings(), u"9600,E,7,1"_s);
    QCOMPARE(device->handshakingValue, 0);
    QCOMPARE(device->rThreshold, 1);
    QCOMPARE(device->sThreshold, 1);
    QCOMPARE(device->log, (QStringList{u"RTS off"_s, u"open"_s}));
    QVERIFY(m_notifier.messages.isEmpty());
}

void TestWindow::goesOnWhenTheCallerNumberPortIsAbsent()
{
    QVERIFY(test::writeFile(u"sct.txt"_s, "nodspport=2\r\n"));
    const std::unique_ptr<Form1> form = makeForm();
    qobject_cast<test::FakeSerialPort*>(form->MSComm2)->failOpen = true;
    QVERIFY(form->Form_Load());
    QCOMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"COM2"_s));
    QVERIFY(qobject_cast<test::FakeSerialPort*>(form->MSComm2)->waitingForDevice);
    QVERIFY(form->Timer1->isActive());
    // The status row names the port until the device is back; then the box goes too.
    QLabel* indicator = form->statusRow()->indicator(Device::CallerId);
    QCOMPARE(indicator->text(), u"着信 ×"_s);
    QVERIFY(indicator->toolTip().contains(u"COM2"_s));
    emit form->MSComm2->deviceBack();
    QCOMPARE(indicator->text(), u"着信 ○"_s);
    QCOMPARE(m_notifier.withdrawn, (QStringList{u"通信エラー"_s, Form1::kCallerIdTitle}));
    QCOMPARE(form->deskStatus().device(Device::CallerId).text, u"COM2 で待ち受け中"_s);
}

void TestWindow::showsTheDesksState_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("shown"); // 印刷, 客表示, ブラウザ, サーバー, 着信 as the row shows them
    QTest::newRow("cookie folder, no server, no caller-number device")
        << QByteArray("dialurl=\r\n")
        << QStringList{u"印刷 ?"_s, u"客表示 ?"_s, u"ブラウザ -"_s, u"サーバー -"_s, u"着信 -"_s};
    QTest::newRow("the extension with no browser yet, a server")
        << QByteArray("dialurl=127.0.0.1\r\ncookiestore=extension\r\n")
        << QStringList{u"印刷 ?"_s, u"客表示 ?"_s, u"ブラウザ ×"_s, u"サーバー ?"_s, u"着信 -"_s};
}

void TestWindow::showsTheDesksState()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, shown);
    QVERIFY(test::writeFile(u"sct.txt"_s, settings));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form->Form_Load());
    QStringList row;
    for (const Device device : kDevices)
        row.append(form->statusRow()->indicator(device)->text());
    QCOMPARE(row, shown);
    QCOMPARE(form->statusRow()->indicator(Device::Display)->toolTip(), u"客表示: まだ何も表示していません"_s);
    // A problem shows with its text on hover; the pages waiting are counted with their button.
    form->deskStatus().set(Device::Printer,
                           DeviceStatus::problem(u"media-empty"_s, u"プリンタ desk: 用紙がありません。"_s));
    QCOMPARE(form->statusRow()->indicator(Device::Printer)->toolTip(),
             u"印刷: プリンタ desk: 用紙がありません。"_s);
    QVERIFY(!form->statusRow()->printUnprinted->isEnabled());
    form->deskStatus().setUnprinted(2);
    QCOMPARE(form->statusRow()->unprintedCount->text(), u"未印刷 2 枚"_s);
    QVERIFY(form->statusRow()->printUnprinted->isEnabled());
}

void TestWindow::connectsTheRegistrationClient_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("the built-in server, port 0") << QByteArray() << QStringList{u"connect localhost:0"_s};
    QTest::newRow("a configured server")
        << QByteArray("dialurl=127.0.0.1\r\ndialport=8080\r\n") << QStringList{u"connect 127.0.0.1:8080"_s};
    QTest::newRow("an empty dialurl connects nowhere") << QByteArray("dialurl=\r\n") << QStringList{};
}

void TestWindow::connectsTheRegistrationClient()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, log);
    QVERIFY(test::writeFile(u"sct.txt"_s, content));
    const std::unique_ptr<Form1> form = makeForm();
    QVERIFY(form->Form_Load());
    QCOMPARE(qobject_cast<test::FakeTcpClient*>(form->Winsock2)->log, log);
}

void TestWindow::opensTheSettingsInTheEditor()
{
    const std::unique_ptr<Form1> form = makeForm();
    QTest::mouseClick(form->sctset, Qt::LeftButton);
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].program, u"xdg-open"_s);
    QCOMPARE(m_launcher.starts[0].arguments, QStringList{u"sct.txt"_s});

    m_launcher.refuses = true;
    form->sctset_Click();
    QCOMPARE(m_notifier.messages.size(), 1);
    QVERIFY(m_notifier.messages[0].text.contains(u"sct.txt"_s));
}

void TestWindow::startsTheViewerTest()
{
    const std::unique_ptr<Form1> form = makeForm();
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(m_launcher.starts.size(), 1);
    QCOMPARE(m_launcher.starts[0].commandLine,
             u"C:\\Program Files\\Halden\\Pictora\\Pictora.exe C:\\testdicom\\20090313145252.dcm "
             "C:\\testdicom\\20090311141459.dcm"_s);
    QCOMPARE(m_launcher.starts[0].style, WindowStyle::NormalFocus);
    m_launcher.refuses = true;
    form->Command2_Click();
    QCOMPARE(m_notifier.messages.size(), 1);
}

void TestWindow::fitsEveryCaptionWhateverTheDesktopFont()
{
    // A desktop set to a large font: the window keeps its own.
    const QFont desktop = QApplication::font();
    QFont large(u"DejaVu Sans"_s);
    large.setPointSize(16);
    QApplication::setFont(large);
    const auto restore = qScopeGuard([&] { QApplication::setFont(desktop); });
    const std::unique_ptr<Form1> form = makeForm();
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
        QCOMPARE(button->font().pixelSize(), 12);
        // The caption and the button's frame (a few pixels each side) within the design's width.
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width(),
                 qPrintable(button->objectName()));
    }
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
