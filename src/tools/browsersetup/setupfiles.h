#pragma once

#include "text/result.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

namespace orvane::setup {

// Replaces the file at path whole (a temporary file in its folder, renamed over it), so that a browser
// never reads half of it; its folders are made as needed. An existing file keeps its mode; a new one
// is readable by everyone (the browsers read it as the desk's users).
Result<> replaceFile(const QString& path, const QByteArray& bytes);

// One set-up at a time: an exclusive lock on the folder that holds the prepared extension, held while
// this lives (the folder is made when missing).
class SetupLock
{
public:
    SetupLock() = default;
    ~SetupLock();
    SetupLock(const SetupLock&) = delete;
    SetupLock& operator=(const SetupLock&) = delete;

    // Waits for another run to end.
    Result<> lock(const QString& folder);

private:
    int m_fd = -1;
};

// The files the set-up made in its output folder, as paths relative to it, kept in a list there: a
// later run or --remove removes only what is on it.
class MadeFiles
{
public:
    explicit MadeFiles(QString folder);

    QStringList read() const;
    Result<> write(const QStringList& files) const;
    // Removes the files of the list and the list, then the folders they leave empty (the output folder
    // too); a file that is not on the list stays. Returns the paths removed.
    QStringList removeAll() const;
    // Removes the files of the list that are not in keep; returns their paths.
    QStringList removeAllBut(const QStringList& keep) const;

private:
    QString m_folder;
};

} // namespace orvane::setup
