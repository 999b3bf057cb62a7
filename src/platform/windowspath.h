#pragma once

#include <QString>
#include <optional>

namespace orvane {

// Maps the Windows paths the desk's settings and commands use (drive letter, backslashes) onto this
// system's files through a Wine-style prefix: drive "x:" is the entry "dosdevices/x:" of the prefix;
// where that entry is missing, "c:" is the prefix's "drive_c" and "z:" is "/". Each path component
// that does not exist under its exact name is matched case-insensitively against its folder's entries.
class WindowsPathMapper
{
public:
    explicit WindowsPathMapper(QString prefix);

    // The prefix of $WINEPREFIX, or ~/.wine when it is not set.
    static WindowsPathMapper fromEnvironment();

    const QString& prefix() const { return m_prefix; }

    // True for a text that begins with a drive letter and ":\" (or ":/").
    static bool isDrivePath(const QString& path);

    // The native path of a drive path; nullopt when the drive is not known. Components that do not
    // exist are kept as written, so the result may name a file that does not exist yet.
    std::optional<QString> toNative(const QString& windowsPath) const;

    // The device of serial port number n (COMn): "dosdevices/comn" of the prefix where it exists,
    // else /dev/ttyS(n-1).
    QString serialDevice(int portNumber) const;

private:
    std::optional<QString> driveRoot(QChar letter) const;

    QString m_prefix;
};

} // namespace orvane
