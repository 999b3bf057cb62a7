#include "support/privatecups.h"

#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace orvane::test {
namespace {

const QByteArray kPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "ORVDESK.PPD"
*Manufacturer: "Orvane"
*Product: "(Desk)"
*ModelName: "Orvane Desk"
*ShortNickName: "Orvane Desk"
*NickName: "Orvane Desk"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsFilter2: "application/pdf application/vnd.orvane-pdf 0 @FILTER@"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: Letter
*PageSize Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*PageSize A5/A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: Letter
*PageRegion Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*PageRegion A5/A5: "<</PageSize[420 595]>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: Letter
*ImageableArea Letter/Letter: "18 36 594 756"
*ImageableArea A5/A5: "12 18 400 580"
*DefaultPaperDimension: Letter
*PaperDimension Letter/Letter: "612 792"
*PaperDimension A5/A5: "420 595"
)ppd";

} // namespace

PrivateCups::PrivateCups()
{
    for (const char* folder : {"root", "state", "cache", "spool/tmp", "log", "out", "home/.cups"})
        QDir().mkpath(m_dir.filePath(QString::fromLatin1(folder)));
    // The scheduler's user writes the device file and reads the spool.
    for (const char* folder : {"out", "spool", "spool/tmp"})
        QFile::setPermissions(m_dir.filePath(QString::fromLatin1(folder)), QFileDevice::Permissions(0x7777));
    const QByteArray root = QFile::encodeName(m_dir.path());
    writeFile(
        m_dir.filePath(QStringLiteral("root/cupsd.conf")),
        "Listen " + root +
            "/cups.sock\nLogLevel info\nWebInterface No\nDefaultAuthType None\n"
            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n  </Limit>\n</Policy>\n");
    writeFile(m_dir.filePath(QStringLiteral("root/cups-files.conf")),
              "ServerRoot " + root + "/root\nStateDir " + root + "/state\nCacheDir " + root +
                  "/cache\nRequestRoot " + root + "/spool\nTempDir " + root + "/spool/tmp\nAccessLog " +
                  root + "/log/access_log\nErrorLog " + root + "/log/error_log\nPageLog " + root +
                  "/log/page_log\nFileDevice Yes\nSandboxing Relaxed\n");
    // The scheduler runs a filter even to pass a document through (with none it writes nothing): one
    // that copies the PDF as it is. Its user must reach it.
    const QString filter = m_dir.filePath(QStringLiteral("passthrough"));
    // The test's switches beside it: "paper-out" holds the job with the printer's paper-out reason until
    // it goes, "failing" makes the job fail as a printer that is off does.
    const QByteArray dir = QFile::encodeName(m_dir.path());
    writeFile(filter, "#!/bin/sh\n"
                      "[ -e " +
                          dir +
                          "/failing ] && { echo 'ERROR: the printer does not answer' >&2; exit 1; }\n"
                          "if [ -e " +
                          dir +
                          "/paper-out ]; then\n"
                          "  echo 'STATE: +media-empty-error' >&2\n"
                          "  while [ -e " +
                          dir +
                          "/paper-out ]; do sleep 0.2; done\n"
                          "  echo 'STATE: -media-empty-error' >&2\n"
                          "fi\n"
                          "if [ -n \"$6\" ]; then exec cat \"$6\"; else exec cat; fi\n");
    QFile::setPermissions(filter, QFileDevice::Permissions(0x7555));
    QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
    writeFile(m_dir.filePath(QStringLiteral("desk.ppd")),
              QByteArray(kPpd).replace("@FILTER@", QFile::encodeName(filter)));
    writeFile(m_dir.filePath(QStringLiteral("home/.cups/lpoptions")), "Default desk\n");
    qputenv("CUPS_SERVER", QFile::encodeName(socket()));
    qputenv("HOME", QFile::encodeName(home()));
}

PrivateCups::~PrivateCups()
{
    stop();
}

bool PrivateCups::start()
{
    QFile::remove(socket());
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    m_cupsd.start(QStringLiteral("cupsd"),
                  {QStringLiteral("-f"), QStringLiteral("-c"),
                   m_dir.filePath(QStringLiteral("root/cupsd.conf")), QStringLiteral("-s"),
                   m_dir.filePath(QStringLiteral("root/cups-files.conf"))});
    if (!m_cupsd.waitForStarted()) {
        m_error = QStringLiteral("cupsd cannot be started: ") + m_cupsd.errorString();
        return false;
    }
    if (!QTest::qWaitFor([this] { return QFile::exists(socket()) || m_cupsd.state() != QProcess::Running; },
                         10000) ||
        m_cupsd.state() != QProcess::Running) {
        m_error = QStringLiteral("cupsd did not start: ") + QString::fromLocal8Bit(m_cupsd.readAll()) +
                  QString::fromLocal8Bit(readFile(m_dir.filePath(QStringLiteral("log/error_log"))));
        return false;
    }
    return true;
}

void PrivateCups::stop()
{
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.terminate();
    if (!m_cupsd.waitForFinished(10000))
        m_cupsd.kill();
    m_cupsd.waitForFinished(2000);
}

QString PrivateCups::log() const
{
    return QString::fromLocal8Bit(readFile(m_dir.filePath(QStringLiteral("log/error_log"))));
}

bool PrivateCups::addQueue()
{
    return run(QStringLiteral("lpadmin"),
               {QStringLiteral("-p"), QStringLiteral("desk"), QStringLiteral("-E"), QStringLiteral("-v"),
                u"file://" + output(), QStringLiteral("-P"), m_dir.filePath(QStringLiteral("desk.ppd"))}) &&
           run(QStringLiteral("cupsaccept"), {QStringLiteral("desk")}) &&
           run(QStringLiteral("cupsenable"), {QStringLiteral("desk")});
}

void PrivateCups::setSwitch(const QString& name, bool on)
{
    const QString path = m_dir.filePath(name);
    if (on)
        writeFile(path, "");
    else
        QFile::remove(path);
}

bool PrivateCups::run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace orvane::test
