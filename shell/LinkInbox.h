#pragma once

// The "tanvill:" links handed to Tanvill, by its own launch or a later one, from the moment a
// launch is told they were taken until each is added or refused for good (the store has no
// such app, or it is no link Tanvill reads). Each link is kept at once in a file of its own in
// a folder beside the settings (LinkFolder), so that what every start and every copy of
// Tanvill keeps is merged, never replaced: a running copy, a copy that cannot open the store,
// and a launch that could not hand its link over each add files. The folder is read when
// links are gathered, and each link remembers its files: the copy that adds or refuses a link
// removes them, an added link's only once the store has committed its app. A passing failure
// (no network, a store that fails or does not answer) leaves the link kept and puts it aside
// until the next refresh or start. A link that cannot be written is not taken, and whoever
// was to take it says so (LinkLoop refuses it; a launch tells its user), but for the start's own
// link in a copy that holds the store, which is held in memory and added. The link loop asks it,
// and a launch that keeps its own link; nothing else reads or writes the folder, or the
// "pendingLinks" setting earlier versions kept links in.

#include "shell/LinkFolder.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace tanvill {

class UserDefaults;

class LinkInbox
{
public:
    enum class Ending {
        // Its app is in memory: it is let go once the store has committed it (committed()).
        Added,
        // For good: it will not go another way later.
        Refused,
        // Kept for the next refresh or start.
        PutAside,
    };

    // Links waiting at most, those added and not committed yet included; a launch whose link
    // would be one more is told so.
    static constexpr int kMaxWaiting = 100;

    // "<settings folder>/PendingLinks".
    static QString defaultFolder();
    // `hook` watches or fails the folder's steps (tests).
    explicit LinkInbox(QString folder = defaultFolder(), LinkFolder::StepHook hook = {});

    // Keeps `link` at once, unless it waits already. False, with why in `error`, when it could
    // not be written: it is then not taken.
    bool take(const QString &link, QString *error = nullptr);
    // Holds `link` in this process's memory alone, unless it waits already: a link that could
    // not be kept, which this copy adds itself. keepUnkept() tries to keep it once more.
    void holdUnkept(const QString &link);
    bool isWaiting(const QString &link) const;
    int waitingCount() const { return int(m_entries.size()); }
    // Whether it is in the folder, rather than in memory alone.
    bool isKept(const QString &link) const;
    // Whether it was found kept by an earlier start or another copy, rather than taken here.
    bool wasKeptBefore(const QString &link) const;

    // Takes in what other starts and copies kept meanwhile, and the links an earlier version
    // kept in `settings` (which are then removed from there); where the files that can never be
    // read as links were set aside.
    QStringList gather(UserDefaults *settings = nullptr);
    // The oldest link waiting to be tried, now under way; none when every one is under way or
    // put aside.
    std::optional<QString> next();
    bool hasNext() const;
    void finish(const QString &link, Ending ending);
    // The store has committed the app of a link finished as added: its files go.
    void committed(const QString &link);
    // The links put aside are tried again.
    void retryPutAside();
    // Tries once more to keep the links held in memory alone (those an earlier version kept in
    // the settings that could not be written to the folder); the ones it could not, with why
    // in `error`.
    QStringList keepUnkept(QString *error);

private:
    enum class State { Waiting, UnderWay, PutAside, Added };
    struct Entry
    {
        QString link;
        // Orders the entries: what the name of its first file sorts by, or the name it would
        // have had.
        QByteArray order;
        // The names of its files in the folder; none while it is in memory alone.
        QList<QByteArray> files;
        bool keptBefore = false;
        State state = State::Waiting;
    };

    Entry *find(const QString &link);
    const Entry *find(const QString &link) const;
    void insert(Entry entry);
    void erase(Entry *entry);

    LinkFolder m_folder;
    std::vector<Entry> m_entries;
};

} // namespace tanvill
