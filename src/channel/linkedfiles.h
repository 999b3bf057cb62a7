#pragma once

#include <QByteArray>
#include <QHash>

namespace orvane {

// The cookie poller's safety net for files with more than one link: a write through a name in another
// folder raises no event on the cookie folder, and should a file's own watch be missing (no watches
// left), none at all. Such files are noted with their modification time and looked at on their own.
class LinkedFiles
{
public:
    // Notes what a listing or a look found of a file: kept while it has more than one link.
    void note(const QByteArray& name, quint64 links, qint64 seconds);
    void forget(const QByteArray& name) { m_files.remove(name); }
    void clear() { m_files.clear(); }
    // True when one of them changed (or went) since it was noted, in the folder's native path.
    bool changedIn(const QByteArray& folder) const;

private:
    QHash<QByteArray, qint64> m_files; // name -> modification time (whole seconds)
};

} // namespace orvane
