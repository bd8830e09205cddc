#include "shell/LinkInbox.h"

#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QFileInfo>

#include <algorithm>

namespace tanvill {

QString LinkInbox::defaultFolder()
{
    return QFileInfo(UserDefaults::defaultFilePath()).path() + QStringLiteral("/PendingLinks");
}

LinkInbox::LinkInbox(QString folder, LinkFolder::StepHook hook)
    : m_folder(std::move(folder), std::move(hook))
{ }

LinkInbox::Entry *LinkInbox::find(const QString &link)
{
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry &entry) { return entry.link == link; });
    return found == m_entries.end() ? nullptr : &*found;
}

const LinkInbox::Entry *LinkInbox::find(const QString &link) const
{
    return const_cast<LinkInbox *>(this)->find(link);
}

void LinkInbox::insert(Entry entry)
{
    const auto place = std::upper_bound(
        m_entries.begin(), m_entries.end(), entry.order,
        [](const QByteArray &order, const Entry &other) { return order < other.order; });
    m_entries.insert(place, std::move(entry));
}

void LinkInbox::erase(Entry *entry)
{
    // Every file of it that this copy has seen: a file another launch adds meanwhile is found
    // at the next gathering, and added or refused again as one kept before.
    for (const QByteArray &name : std::as_const(entry->files))
        m_folder.remove(name);
    m_entries.erase(m_entries.begin() + (entry - m_entries.data()));
}

bool LinkInbox::isWaiting(const QString &link) const
{
    return find(link) != nullptr;
}

bool LinkInbox::isKept(const QString &link) const
{
    const Entry *entry = find(link);
    return entry && !entry->files.isEmpty();
}

bool LinkInbox::wasKeptBefore(const QString &link) const
{
    const Entry *entry = find(link);
    return entry && entry->keptBefore;
}

bool LinkInbox::take(const QString &link, QString *error)
{
    if (const Entry *entry = find(link))
        return !entry->files.isEmpty();
    const QByteArray name = LinkFolder::newName();
    QString reason;
    if (!m_folder.write(name, link, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    insert({ link, LinkFolder::orderOf(name), { name } });
    return true;
}

void LinkInbox::holdUnkept(const QString &link)
{
    if (!find(link))
        insert({ link, LinkFolder::newName() });
}

QStringList LinkInbox::gather(UserDefaults *settings)
{
    const LinkFolder::Listing listing = m_folder.list();
    for (const auto &[name, link] : listing.links) {
        if (Entry *entry = find(link)) {
            if (!entry->files.contains(name))
                entry->files << name;
        } else {
            insert({ link, LinkFolder::orderOf(name), { name }, true });
        }
    }
    if (!settings || !settings->hasStoredValue(SettingsKeys::PendingLinks))
        return listing.setAside;
    bool allKept = true;
    for (const QString &link : settings->value(SettingsKeys::PendingLinks).toStringList()) {
        if (link.isEmpty() || find(link))
            continue;
        Entry entry { link, LinkFolder::newName() };
        entry.keptBefore = true;
        QString error;
        if (m_folder.write(entry.order, link, &error))
            entry.files << entry.order;
        allKept = allKept && !entry.files.isEmpty();
        insert(entry);
    }
    if (allKept) {
        settings->remove(SettingsKeys::PendingLinks);
        settings->sync();
    }
    return listing.setAside;
}

bool LinkInbox::hasNext() const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const Entry &entry) { return entry.state == State::Waiting; });
}

std::optional<QString> LinkInbox::next()
{
    for (Entry &entry : m_entries) {
        if (entry.state == State::Waiting) {
            entry.state = State::UnderWay;
            return entry.link;
        }
    }
    return std::nullopt;
}

void LinkInbox::finish(const QString &link, Ending ending)
{
    Entry *entry = find(link);
    if (!entry)
        return;
    switch (ending) {
    case Ending::PutAside:
        // Only what is under way: one already put aside may be waiting again for a refresh.
        if (entry->state == State::UnderWay)
            entry->state = State::PutAside;
        return;
    case Ending::Added:
        entry->state = State::Added;
        return;
    case Ending::Refused:
        erase(entry);
        return;
    }
}

void LinkInbox::committed(const QString &link)
{
    if (Entry *entry = find(link); entry && entry->state == State::Added)
        erase(entry);
}

void LinkInbox::retryPutAside()
{
    for (Entry &entry : m_entries) {
        if (entry.state == State::PutAside)
            entry.state = State::Waiting;
    }
}

QStringList LinkInbox::keepUnkept(QString *error)
{
    QStringList unkept;
    for (Entry &entry : m_entries) {
        if (entry.files.isEmpty() && m_folder.write(entry.order, entry.link, error))
            entry.files << entry.order;
        if (entry.files.isEmpty())
            unkept << entry.link;
    }
    return unkept;
}

} // namespace tanvill
