#pragma once

// The folder the links taken are kept in: a file a link ("<time>-<process>-<n>.link", its
// numbers zero-padded so that names sort in the order the links were taken; the link in UTF-8),
// and the files being written. A file is written whole under a name of its own, locked by its
// writer, and synced; it then takes its name, and the folder is synced, so that the link is on
// the disk, name included, before anybody is told it was kept. The folder is read in one pass,
// and a file is removed by the name it was read or written under: its bytes, whatever their
// encoding. Only regular files are read, never through a symbolic link or from a FIFO, and no
// more than a link's worth of one; a regular file that can never be read as a link (empty, too
// long, not UTF-8) is set aside under a name that no longer reads as one, never deleted: it may
// be the user's. LinkInbox keeps its links here, on the store's own file steps (StoreFiles).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

namespace tanvill {

class LinkFolder
{
public:
    struct Listing
    {
        // The files that hold links, oldest first: each one's name and link.
        std::vector<std::pair<QByteArray, QString>> links;
        // Where the files that can never be read as links went.
        QStringList setAside;
    };

    // The steps of keeping a link that tests watch or make fail: making its file in the folder,
    // and syncing the folder once a name is there.
    enum class Step { Write, SyncFolder };
    // Runs before each step, with the folder's descriptor; an errno makes the step fail with it,
    // 0 lets it go on.
    using StepHook = std::function<int(Step step, int folderFd)>;

    explicit LinkFolder(QString path, StepHook hook = {});
    const QString &path() const { return m_path; }

    // A name no other file of the folder has, or will have, that sorts after those of the links
    // kept before it.
    static QByteArray newName();
    // What `name` sorts by among the links kept: the name, its numbers zero-padded as newName()
    // pads them (earlier versions did not pad the last two).
    static QByteArray orderOf(const QByteArray &name);
    // Keeps `link` in a file named `name`; false, with why in `error`, when it is not on the disk
    // with its name (and then it is not in the folder at all).
    bool write(const QByteArray &name, const QString &link, QString *error);
    // Reads the folder once: what it holds, after setting aside what can never be read and
    // removing what writers that are gone left half-written.
    Listing list();
    void remove(const QByteArray &name);

private:
    // 0, or the errno the folder's sync failed with.
    int syncFolder(int folderFd) const;

    QString m_path;
    StepHook m_hook;
};

} // namespace tanvill
