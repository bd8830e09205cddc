#pragma once

// The folder the links taken are kept in: a file a link ("<time>-<process>-<n>.link", the link
// in UTF-8), and the files being written. A file is written whole under a name of its own,
// locked by its writer, and synced; it then takes its name, and the folder is synced, so that
// the link is on the disk, name included, before anybody is told it was kept. The folder is
// read in one pass, and a file is removed by the name it was read or written under. Only
// regular files are read, never through a symbolic link or from a FIFO, and no more than a
// link's worth of one; a regular file that can never be read as a link (empty, too long, not
// UTF-8) is set aside under a name that no longer reads as one, never deleted: it may be the
// user's. LinkInbox keeps its links here, on the store's own file steps (StoreFiles).

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace tanvill {

class LinkFolder
{
public:
    struct Listing
    {
        // The files that hold links, oldest first: each one's name and link.
        std::vector<std::pair<QString, QString>> links;
        // Where the files that can never be read as links went.
        QStringList setAside;
    };

    explicit LinkFolder(QString path);
    const QString &path() const { return m_path; }

    // A name no other file of the folder has, or will have, that sorts after those of the links
    // kept before it.
    static QString newName();
    // Keeps `link` in a file named `name`; false, with why in `error`, when it is not on the disk.
    bool write(const QString &name, const QString &link, QString *error);
    // Reads the folder once: what it holds, after setting aside what can never be read and
    // removing what writers that are gone left half-written.
    Listing list();
    void remove(const QString &name);

    // What makes the names in a folder durable; tests watch it.
    static void (*syncFolder)(int folderFd);

private:
    QString m_path;
};

} // namespace tanvill
