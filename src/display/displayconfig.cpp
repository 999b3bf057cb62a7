#include "display/displayconfig.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

namespace orvane::display {
namespace {

QString bad(const QString& key, const QString& value)
{
    return QStringLiteral("vfddisp.conf: %1=%2 is not a value vfddisp knows").arg(key, value);
}

// The keys whose value is one word of a list, each word with what it sets (the first row of a key is
// its default when the key is not there or empty).
struct WordValue
{
    const char* key;
    const char16_t* word;
    void (*apply)(DisplayConfig&);
};

const WordValue kWordValues[] = {
    {"type", u"escpos", [](DisplayConfig& c) { c.type = DisplayType::EscPos; }},
    {"type", u"cd5220", [](DisplayConfig& c) { c.type = DisplayType::Cd5220; }},
    {"type", u"screen", [](DisplayConfig& c) { c.type = DisplayType::Screen; }},
    {"type", u"lcdproc", [](DisplayConfig& c) { c.type = DisplayType::LcdProc; }},
    {"parity", u"none", [](DisplayConfig& c) { c.parity = QSerialPort::NoParity; }},
    {"parity", u"even", [](DisplayConfig& c) { c.parity = QSerialPort::EvenParity; }},
    {"parity", u"odd", [](DisplayConfig& c) { c.parity = QSerialPort::OddParity; }},
    {"stopbits", u"1", [](DisplayConfig& c) { c.stopBits = QSerialPort::OneStop; }},
    {"stopbits", u"2", [](DisplayConfig& c) { c.stopBits = QSerialPort::TwoStop; }},
    {"flowcontrol", u"none", [](DisplayConfig& c) { c.flowControl = QSerialPort::NoFlowControl; }},
    {"flowcontrol", u"hardware", [](DisplayConfig& c) { c.flowControl = QSerialPort::HardwareControl; }},
    {"flowcontrol", u"software", [](DisplayConfig& c) { c.flowControl = QSerialPort::SoftwareControl; }},
};

} // namespace

QStringList displayConfigCandidates()
{
    QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + u"/.config";
    QStringList candidates{home + u"/orvane/vfddisp.conf"};
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts))
        candidates.append(dir + u"/orvane/vfddisp.conf");
    candidates.append(QStringLiteral("/etc/orvane/vfddisp.conf"));
    return candidates;
}

Result<DisplayConfig> readDisplayConfig(const QString& path)
{
    const QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return fail(QStringLiteral("%1 cannot be read").arg(path));
    DisplayConfig config;
    const auto text = [&](const char* key) { return ini.value(QLatin1String(key)).toString().trimmed(); };
    const auto number = [&](const char* key, qint64 low, qint64 high, qint64 fallback) -> Result<qint64> {
        const QString value = text(key);
        if (value.isEmpty())
            return fallback;
        bool ok = false;
        const qint64 n = value.toLongLong(&ok);
        if (!ok || n < low || n > high)
            return fail(bad(QLatin1String(key), value));
        return n;
    };

    for (const char* key : {"type", "parity", "stopbits", "flowcontrol"}) {
        const QString value = text(key);
        const auto isKey = [&](const WordValue& row) { return qstrcmp(row.key, key) == 0; };
        const auto row =
            std::find_if(std::begin(kWordValues), std::end(kWordValues), [&](const WordValue& known) {
                return isKey(known) &&
                       (value.isEmpty() ? qstrcmp(key, "type") != 0 : value == QStringView(known.word));
            });
        if (row == std::end(kWordValues))
            return fail(bad(QLatin1String(key), value));
        row->apply(config);
    }

    config.port = text("port");
    if (config.isSerial() && config.port.isEmpty())
        return fail(
            QStringLiteral("vfddisp.conf: type=%1 needs port= (a device path or COMn)").arg(text("type")));
    const Result<qint64> speed = number("speed", 50, 4000000, 9600);
    if (!speed)
        return fail(speed.error());
    config.speed = qint32(*speed);
    const Result<qint64> dataBits = number("databits", 5, 8, 8);
    if (!dataBits)
        return fail(dataBits.error());
    config.dataBits = QSerialPort::DataBits(*dataBits);

    const Result<qint64> screen = number("screen", 0, 63, 0);
    if (!screen)
        return fail(screen.error());
    config.screen = int(*screen);
    if (const QString geometry = text("geometry"); !geometry.isEmpty()) {
        static const QRegularExpression pattern(QStringLiteral(R"(^(\d+)x(\d+)\+(\d+)\+(\d+)$)"));
        const QRegularExpressionMatch match = pattern.match(geometry);
        if (!match.hasMatch() || match.captured(1).toInt() == 0 || match.captured(2).toInt() == 0)
            return fail(bad(QStringLiteral("geometry"), geometry));
        config.geometry = QRect(match.captured(3).toInt(), match.captured(4).toInt(),
                                match.captured(1).toInt(), match.captured(2).toInt());
    }
    if (const QString server = text("server"); !server.isEmpty()) {
        const qsizetype colon = server.lastIndexOf(u':');
        bool ok = colon > 0;
        const uint port = ok ? server.mid(colon + 1).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535)
            return fail(bad(QStringLiteral("server"), server));
        config.serverHost = server.left(colon);
        config.serverPort = quint16(port);
    }
    return config;
}

} // namespace orvane::display
