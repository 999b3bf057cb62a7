#include "window/form1.h"

#include "base/logging.h"
#include "base/settingsfile.h"
#include "channel/statussocket.h"
#include "display/displayfault.h"
#include "phone/callernumber.h"
#include "phone/dialcheck.h"
#include "phone/modem.h"
#include "phone/phonelines.h"
#include "platform/desktopnotifications.h"
#include "platform/dialler.h"
#include "platform/serialport.h"
#include "platform/tcpclient.h"
#include "platform/texteditor.h"
#include "print/printfollowup.h"
#include "print/receipt.h"
#include "print/statement.h"
#include "text/numberformat.h"
#include "totals/dailytotals.h"
#include "window/notifier.h"
#include "window/statusrow.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace orvane {
namespace {

DeviceStatus noBrowserConnected()
{
    return DeviceStatus::problem(QStringLiteral("none-connected"),
                                 QStringLiteral("ブラウザが接続していません。ブラウザを開いてください "
                                                "(開いているのに続くときは orvane-browser-setup --check)"));
}

constexpr int kTimer1IntervalMs = 100;
constexpr int kTimer2IntervalMs = 1000;
constexpr int kTimer3IntervalMs = 20000;

// Places a control by its design position in twips.
template <typename Widget>
Widget* place(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left / Form1::kTwipsPerPixel, top / Form1::kTwipsPerPixel,
                        width / Form1::kTwipsPerPixel, height / Form1::kTwipsPerPixel);
    return widget;
}

// The design's form font, 9 points at 96 dpi, set in pixels: the layout is in fixed twips, so the
// captions must not grow with the desktop's font settings. IPAGothic stands in where the Windows
// typeface is missing: its half-width letters are as narrow as the design expects ("Command2" in a
// 65-pixel button), where IPAPGothic's proportional ones are too wide for it.
QFont formFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAGothic")});
    font.setPixelSize(12);
    return font;
}

DeviceStatus callerIdListening(int port)
{
    return DeviceStatus::ok(QStringLiteral("COM%1 で待ち受け中").arg(port));
}

QTimer* makeTimer(QObject* parent, const char* name, int intervalMs)
{
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    return timer;
}

} // namespace

Form1::Form1(FormServices services, QWidget* parent) : QWidget(parent), m_services(std::move(services))
{
    Q_ASSERT(m_services.userName && m_services.launcher && m_services.makeSerialPort &&
             m_services.makeTcpClient && m_services.makePrintSurface && m_services.makeCommandSource);
    m_printer = m_services.makePrintSurface();

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(formFont());
    resize(3615 / kTwipsPerPixel, (2805 + kStatusRowTwips) / kTwipsPerPixel);

    // Created in tab order.
    Label1 = place<QLabel>(this, "Label1", 120, 1800, 3135, 375);
    // The label shows cookie lines from any web site: plain text, never markup that loads files.
    Label1->setTextFormat(Qt::PlainText);
    setCaption(Label1, QStringLiteral("Label1"));
    Label3 = place<QLabel>(this, "Label3", 480, 120, 2775, 255);
    Label3->setTextFormat(Qt::PlainText);
    setCaption(Label3, QStringLiteral("TollaneV2(IE7)"));
    daystart = place<QPushButton>(this, "daystart", 120, 480, 1335, 375);
    daystart->setText(QStringLiteral("日計スタート"));
    nikkeidump = place<QPushButton>(this, "nikkeidump", 2040, 480, 1335, 375);
    nikkeidump->setText(QStringLiteral("日計出力"));
    sctset = place<QPushButton>(this, "sctset", 2040, 2280, 1335, 375);
    sctset->setText(QStringLiteral("印刷設定"));
    tellno = place<QLineEdit>(this, "tellno", 120, 1320, 1935, 375);
    tellno->setText(QStringLiteral("ココに電話番号入力"));
    Command1 = place<QPushButton>(this, "Command1", 2160, 1320, 975, 375);
    Command1->setText(QStringLiteral("電話呼出"));
    Command2 = place<QPushButton>(this, "Command2", 2160, 960, 975, 375);
    Command2->setText(QStringLiteral("Command2"));
    txtInputData = place<QLineEdit>(this, "txtInputData", 120, 960, 1695, 270);
    Command3 = place<QPushButton>(this, "Command3", 840, 1800, 1215, 375);
    Command3->setText(QStringLiteral("テスト電話"));
    m_deskStatus = new DeskStatus(this);
    m_statusRow = new StatusRow(this, 2805 / kTwipsPerPixel, *m_deskStatus);
    QWidget* tabOrder[] = {daystart,     nikkeidump, sctset,
                           tellno,       Command1,   Command2,
                           txtInputData, Command3,   m_statusRow->printUnprinted};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);

    Timer1 = makeTimer(this, "Timer1", kTimer1IntervalMs);
    Timer2 = makeTimer(this, "Timer2", kTimer2IntervalMs);
    Timer3 = makeTimer(this, "Timer3", kTimer3IntervalMs);

    MSComm1 = m_services.makeSerialPort(this);
    MSComm1->setObjectName(QStringLiteral("MSComm1"));
    MSComm2 = m_services.makeSerialPort(this);
    MSComm2->setObjectName(QStringLiteral("MSComm2"));
    Winsock1 = m_services.makeTcpClient(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    Winsock2 = m_services.makeTcpClient(this);
    Winsock2->setObjectName(QStringLiteral("Winsock2"));

    m_commandHandlers.phoneCall = [this](const QString& number) { PhoneCall(number); };
    m_commandHandlers.printReceipt = [this](const QString& t) { printReceipt(t); };
    m_commandHandlers.printStatement = [this](const QString& t) { return printStatement(t); };
    m_commandHandlers.setLabel = [this](const QString& caption) { setCaption(Label1, caption); };
    // The display program may end after this window: the status is looked up, not assumed.
    m_commandHandlers.displayEnded = [status = QPointer<DeskStatus>(m_deskStatus)](int exitStatus,
                                                                                   const QString& errorLine) {
        if (status)
            status->set(Device::Display, display::displayStatus(exitStatus, errorLine));
    };
    m_commandHandlers.refused = [this](const QString& key, const QString& problem,
                                       const QString& commandText) {
        m_deskStatus->refused(key, problem, commandText);
        report(
            QStringLiteral("Web システムの命令 %1 を実行しませんでした (何も印刷していません): %2\n命令: %3")
                .arg(key, problem, commandText));
    };

    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    tellno->installEventFilter(this);
    connect(Winsock1, &TcpClient::ConnectEvent, this, &Form1::Winsock1_Connect);
    connect(Winsock1, &TcpClient::DataArrival, this, &Form1::Winsock1_DataArrival);
    connect(Winsock2, &TcpClient::ConnectEvent, this, &Form1::Winsock2_Connect);
    connect(MSComm2, &SerialPort::OnComm, this, &Form1::MSComm2_OnComm);
    connect(MSComm2, &SerialPort::deviceBack, this, &Form1::MSComm2_deviceBack);
    connect(daystart, &QPushButton::clicked, this, &Form1::daystart_Click);
    connect(nikkeidump, &QPushButton::clicked, this, &Form1::nikkeidump_Click);
    connect(sctset, &QPushButton::clicked, this, &Form1::sctset_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_statusRow->printUnprinted, &QPushButton::clicked, this, &Form1::printUnprinted_Click);
}

Form1::~Form1() = default;

QString Form1::caption(const QLabel* label)
{
    return label->property("caption").toString();
}

void Form1::setCaption(QLabel* label, const QString& caption)
{
    // A label shows a lone carriage return as a blank; the caption itself keeps it.
    label->setProperty("caption", caption);
    QString shown = caption;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(u'\r', u'\n');
    label->setText(shown);
}

void Form1::report(const QString& text)
{
    if (m_services.notifier)
        m_services.notifier->notify(QStringLiteral("Orvane"), text, Notifier::Icon::Warning);
}

Result<> Form1::Form_Load()
{
    m_userName = m_services.userName();
    setCaption(Label1, u"User:" + m_userName + u'\r' + QStringLiteral("のクッキー参照中"));

    const Result<LoadedSettings> load = loadSettingsFile(QStringLiteral("sct.txt"));
    if (!load)
        return fail(load.error());
    m_settings = load->settings;
    m_dialPort = load->dialPort;
    m_dialCheck = DialCheckConversation(m_settings, m_dialPort);

    setUpStatus();
    m_commandSource = m_services.makeCommandSource(m_settings, m_userName);
    connect(m_commandSource.get(), &CommandSource::commandArrived, this, &Form1::processCommand);
    connect(m_commandSource.get(), &CommandSource::browsersChanged, this,
            [this](const QStringList& connected) {
                m_deskStatus->set(Device::Browser,
                                  connected.isEmpty()
                                      ? noBrowserConnected()
                                      : DeviceStatus::ok(connected.join(u"、") + u" が接続しています"));
            });
    if (Result<> started = m_commandSource->start(); !started)
        return started;

    Timer1->start();
    Timer2->start();

    if (!textOf(m_settings.modemport).isEmpty()) {
        if (Result<> ready = setUpModemLine(*MSComm1, m_settings); !ready)
            return ready;
    }

    if (!textOf(m_settings.nodspport).isEmpty()) {
        if (Result<> ready = setUpCallerNumberLine(*MSComm2, m_settings); !ready)
            return ready;
        const int port = MSComm2->commPort();
        // An absent caller-number device must not stop the desk: report it and open it once it is there.
        // One that is there but taken (another program, another bridge) ends the start.
        if (!MSComm2->setPortOpen(true) && !MSComm2->deviceMissing())
            return fail(QStringLiteral("着信番号装置のポート COM%1 を開けません: %2")
                            .arg(port)
                            .arg(MSComm2->errorString()));
        if (!MSComm2->portOpen()) {
            const QString problem =
                QStringLiteral("着信番号装置のポート COM%1 を開けません: %2\n接続されしだい使用します。")
                    .arg(port)
                    .arg(MSComm2->errorString());
            if (m_services.notifier)
                m_services.notifier->notify(kCallerIdTitle, problem, Notifier::Icon::Warning);
            m_deskStatus->set(Device::CallerId, DeviceStatus::problem(QStringLiteral("no-device"), problem));
            MSComm2->openWhenAvailable();
        } else {
            m_deskStatus->set(Device::CallerId, callerIdListening(port));
        }
    }

    if (!textOf(m_settings.dialurl).isEmpty()) {
        Winsock2->setRemoteHost(textOf(m_settings.dialurl));
        Winsock2->setRemotePort(m_dialPort);
        Winsock2->Connect();
    }
    return {};
}

void Form1::setUpStatus()
{
    m_deskStatus->setBridge(QCoreApplication::applicationPid(), QDir::currentPath(),
                            QCoreApplication::applicationVersion());
    connect(m_deskStatus, &DeskStatus::deviceChanged, this, &Form1::tellTheDesktop);
    m_deskStatus->set(Device::Browser, m_settings.cookiestore != CookieStore::Extension
                                           ? DeviceStatus::unused()
                                           : noBrowserConnected());
    m_deskStatus->set(Device::Server, textOf(m_settings.dialurl).isEmpty()
                                          ? DeviceStatus::unused()
                                          : DeviceStatus::unknown(QStringLiteral("サーバーに問い合わせ中")));
    if (textOf(m_settings.nodspport).isEmpty())
        m_deskStatus->set(Device::CallerId, DeviceStatus::unused());
    // The display program tells how the display is with each text it shows.
    m_deskStatus->set(Device::Display, DeviceStatus::unknown(QStringLiteral("まだ何も表示していません")));
    if (PrintFollowUp* followUp = m_services.printFollowUp) {
        connect(followUp, &PrintFollowUp::statusChanged, this,
                [this](const DeviceStatus& status) { m_deskStatus->set(Device::Printer, status); });
        connect(followUp, &PrintFollowUp::waitingChanged, m_deskStatus, &DeskStatus::setUnprinted);
        followUp->start();
    }
    // orvane --status asks here; a bridge that cannot listen still runs, said in the log.
    const Result<QString> socket = statusSocket(QDir::currentPath(), CreateFolder::Yes);
    m_statusServer = std::make_unique<StatusServer>(*m_deskStatus);
    if (const Result<> listening =
            socket.and_then([this](const QString& path) { return m_statusServer->listen(path); });
        !listening)
        qCWarning(lcApp).noquote() << "orvane --status cannot reach this bridge:" << listening.error();
}

void Form1::tellTheDesktop(Device device)
{
    // What needs the staff now: a page not printed, the display not taking texts.
    if (!m_services.desktopNotifications || (device != Device::Printer && device != Device::Display))
        return;
    const DeviceStatus& status = m_deskStatus->device(device);
    if (status.state == DeviceState::Problem)
        m_services.desktopNotifications->show(deviceKey(device), u"Orvane: "_s + deviceCaption(device),
                                              status.text);
    else
        m_services.desktopNotifications->close(deviceKey(device));
}

void Form1::printUnprinted_Click()
{
    if (m_services.printFollowUp)
        m_services.printFollowUp->printWaiting();
}

void Form1::processCommand(const std::optional<QString>& text)
{
    m_deskStatus->count(DeskStatus::Counted::Command);
    CommandOutcome outcome;
    if (text && !m_repeats.admit(*text)) {
        qCDebug(lcChannel) << "the same cookie again within a second (a double click); carried out once";
        outcome = {true, reasons::kRepeated.toString(),
                   QStringLiteral("1 秒以内の同じ命令 (ダブルクリック) のため、一度だけ実行しました")};
    } else {
        m_printed = false;
        outcome =
            ProcessCommandFile(text, m_cookieLines, m_settings, *m_services.launcher, m_commandHandlers);
        // Printed, but the printer has a problem at this moment: the page waits, and the page that set
        // the command hears why.
        if (const DeviceStatus& printer = m_deskStatus->device(Device::Printer);
            outcome.ok && m_printed && printer.state == DeviceState::Problem)
            outcome = CommandOutcome::notCarriedOut(reasons::kPrinterProblem, printer.text);
    }
    if (m_commandSource)
        m_commandSource->commandDone(outcome);
}

void Form1::Timer1_Timer()
{
    if (m_commandSource)
        m_commandSource->tick();
}

void Form1::printReceipt(const QString& commandText)
{
    const ReceiptOutcome outcome = orvane::printReceipt(*m_printer, commandText, m_settings,
                                                        QDate::currentDate(), QStringLiteral("counter.txt"));
    m_printed = true;
    m_deskStatus->count(DeskStatus::Counted::Receipt);
    if (!outcome.counterSaved)
        report(QStringLiteral("counter.txt に次の領収書番号を書き込めません。\n"
                              "次の領収書も同じ番号 %1 になります。ファイルを確認してください。")
                   .arg(text::formatNumber(outcome.number, QStringLiteral("0000-###0"))));
}

std::optional<double> Form1::printStatement(const QString& commandText)
{
    const StatementOutcome outcome = orvane::printStatement(*m_printer, commandText, m_settings);
    m_printed = true;
    m_deskStatus->count(DeskStatus::Counted::Statement);
    const QString line = dailyTotalsLine(outcome.statementText, m_cookieLines[4]);
    if (!appendDailyTotal(QStringLiteral("nikkei.txt"), line))
        report(QStringLiteral("日計ファイル nikkei.txt に書き込めません。\n"
                              "この明細書の行を手で記録してください:\n%1")
                   .arg(line));
    return outcome.fee;
}

void Form1::daystart_Click()
{
    const Result<> result = startNewDay(QStringLiteral("nikkei.txt"), QStringLiteral("nikkei.bak"));
    if (!result)
        report(result.error());
}

void Form1::nikkeidump_Click()
{
    openInEditor(QStringLiteral("nikkei.txt"));
}

void Form1::openInEditor(const QString& fileName)
{
    const Result<> result = openInTextEditor(*m_services.launcher, fileName);
    if (!result)
        report(QStringLiteral("%1 を開けません: %2").arg(fileName, result.error()));
}

void Form1::PhoneCall(const QString& number)
{
    if (!m_services.dialler)
        return;
    const Result<> result = m_services.dialler->dial(number);
    if (!result)
        qCWarning(lcPhone) << "call to" << number << "not placed:" << result.error();
}

void Form1::PhoneCall2(const QString& number)
{
    modemDial(number);
}

bool Form1::modemDial(const QString& number)
{
    switch (dialModem(*MSComm1, number)) {
    case ModemDial::Dialled:
        Timer3->start();
        return true;
    case ModemDial::AlreadyOpen:
        return false;
    case ModemDial::OpenFailed:
        report(QStringLiteral("モデムのポート COM%1 を開けません: %2")
                   .arg(MSComm1->commPort())
                   .arg(MSComm1->errorString()));
        return false;
    case ModemDial::WriteFailed:
        report(QStringLiteral("モデムに発信コマンドを送れません: %1").arg(MSComm1->errorString()));
        return false;
    }
    return false;
}

void Form1::Timer3_Timer()
{
    MSComm1->setPortOpen(false);
    Timer3->stop();
}

void Form1::Command1_Click()
{
    PhoneCall(tellno->text());
}

void Form1::Command3_Click()
{
    if (modemDial(QString::fromUtf16(kTestCallNumber)) && m_services.notifier)
        m_services.notifier->notify(QStringLiteral("Orvane"), QStringLiteral("ok"), Notifier::Icon::None);
}

void Form1::tellno_Click()
{
    tellno->clear();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tellno && event->type() == QEvent::MouseButtonPress)
        tellno_Click();
    return QWidget::eventFilter(watched, event);
}

void Form1::Timer2_Timer()
{
    m_dialCheck.restart(*Winsock1);
    if (!textOf(m_settings.dialurl).isEmpty() && m_dialCheck.health().state != DeviceState::Unknown)
        m_deskStatus->set(Device::Server, m_dialCheck.health());
    if (const std::optional<QString> number = m_dialCheck.numberToDial(tellno->text()))
        PhoneCall(*number);
}

void Form1::Winsock1_Connect()
{
    Winsock1->SendData(m_dialCheck.request(txtInputData->text()));
    txtInputData->clear();
}

void Form1::Winsock1_DataArrival()
{
    // A reply may come in several blocks; the box shows the reply so far, joined. What is no reply
    // (an error page) stays out of it: the server's state says it.
    if (const std::optional<QString> reply = m_dialCheck.takeArrived(*Winsock1))
        tellno->setText(*reply);
}

void Form1::Winsock2_Connect()
{
    Winsock2->SendData(registrationRequest(m_settings));
}

void Form1::MSComm2_OnComm()
{
    const int code = MSComm2->commEvent();
    if (code == comm::kEvReceive) {
        txtInputData->setText(txtInputData->text() + receiveAndAcknowledge(*MSComm2));
        return;
    }
    const std::optional<QString> message = commEventMessage(code);
    if (!message)
        return;
    if (m_services.notifier)
        m_services.notifier->notify(commErrorTitle(), *message, Notifier::Icon::Warning);
    if (code == comm::kErDeviceLost)
        m_deskStatus->set(
            Device::CallerId,
            DeviceStatus::problem(
                QStringLiteral("lost"),
                QStringLiteral("着信番号装置 (COM%1) が外れました: %2。接続を確かめてください。")
                    .arg(MSComm2->commPort())
                    .arg(MSComm2->errorString())));
}

void Form1::MSComm2_deviceBack()
{
    if (m_services.notifier) {
        m_services.notifier->withdraw(commErrorTitle());
        m_services.notifier->withdraw(kCallerIdTitle);
    }
    m_deskStatus->set(Device::CallerId, callerIdListening(MSComm2->commPort()));
}

void Form1::sctset_Click()
{
    openInEditor(QStringLiteral("sct.txt"));
}

void Form1::Command2_Click()
{
    const Result<> result =
        m_services.launcher->startCommandLine(viewerTestCommandLine(), WindowStyle::NormalFocus);
    if (!result)
        report(QStringLiteral("DICOM ビューアを起動できません: %1").arg(result.error()));
}

} // namespace orvane
