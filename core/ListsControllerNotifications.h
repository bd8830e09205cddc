#pragma once

// The names and user-info keys of the notifications ListsController posts (with itself as
// the sender), and the typed payloads that code writes and reads them through. Positions of
// applications are positions in a list's displayed order, newest first; list indexes are
// List::index() (-1 for the archive).

#include <QSet>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace tanvill {

// Before the applications of one list change. Info: ListUpdateListIndex.
inline const QString ListsControllerWillUpdateList
    = QStringLiteral("Tanvill.ListsControllerWillUpdateList");
// After such a change was saved. Info: ListUpdateListIndex and ListUpdateAppIndex, or
// ListUpdateOriginalAppIndex and ListUpdateNewAppIndex for a move within the list.
inline const QString ListsControllerDidUpdateList
    = QStringLiteral("Tanvill.ListsControllerDidUpdateList");
inline const QString ListsControllerDidAddList
    = QStringLiteral("Tanvill.ListsControllerDidAddList");
inline const QString ListsControllerDidDeleteList
    = QStringLiteral("Tanvill.ListsControllerDidDeleteList");
// Info: AppDeletionIdentifier.
inline const QString ListsControllerWillDeleteApp
    = QStringLiteral("Tanvill.ListsControllerWillDeleteApp");
// Info: AppReloadIdentifierSet.
inline const QString ListsControllerDidReloadApps
    = QStringLiteral("Tanvill.ListsControllerDidReloadApps");
// Info: AppDeletionIdentifier.
inline const QString ListsControllerDidMoveApp
    = QStringLiteral("Tanvill.ListsControllerDidMoveApp");
// Info: ListRearrangementOldIndex and ListRearrangementNewIndex.
inline const QString ListsControllerDidRearrangeLists
    = QStringLiteral("Tanvill.ListsControllerDidRearrangeLists");

inline const QString ListUpdateListIndex = QStringLiteral("Tanvill.ListUpdateListIndex");
inline const QString ListUpdateAppIndex = QStringLiteral("Tanvill.ListUpdateAppIndex");
inline const QString ListUpdateOriginalAppIndex
    = QStringLiteral("Tanvill.ListUpdateOriginalAppIndex");
inline const QString ListUpdateNewAppIndex = QStringLiteral("Tanvill.ListUpdateNewAppIndex");
inline const QString AppDeletionIdentifier = QStringLiteral("Tanvill.AppDeletionIdentifier");
// A QSet<QString> of store identifiers.
inline const QString AppReloadIdentifierSet = QStringLiteral("Tanvill.AppReloadIdentifierSet");
inline const QString ListRearrangementOldIndex
    = QStringLiteral("Tanvill.ListRearrangementOldIndex");
inline const QString ListRearrangementNewIndex
    = QStringLiteral("Tanvill.ListRearrangementNewIndex");

// Reading user info: a value that is not a number (or a number out of range) counts as
// missing, and a payload without the values it needs is none.

// ListsControllerWillUpdateList and ListsControllerDidUpdateList.
struct ListUpdate
{
    int listIndex = 0;
    // Where an application was added or removed (did-update).
    std::optional<int> appIndex;
    // Where an application moved from and to within the list (did-update).
    std::optional<int> originalAppIndex;
    std::optional<int> newAppIndex;

    QVariantMap userInfo() const;
    static std::optional<ListUpdate> fromUserInfo(const QVariantMap &userInfo);

    bool operator==(const ListUpdate &) const = default;
};

// ListsControllerWillDeleteApp and ListsControllerDidMoveApp.
struct AppDeletion
{
    QString identifier;

    QVariantMap userInfo() const;
    static std::optional<AppDeletion> fromUserInfo(const QVariantMap &userInfo);
};

// ListsControllerDidReloadApps.
struct AppReload
{
    QSet<QString> identifiers;

    QVariantMap userInfo() const;
    static std::optional<AppReload> fromUserInfo(const QVariantMap &userInfo);
};

// ListsControllerDidRearrangeLists.
struct ListRearrangement
{
    int oldIndex = 0;
    int newIndex = 0;

    QVariantMap userInfo() const;
    static std::optional<ListRearrangement> fromUserInfo(const QVariantMap &userInfo);
};

} // namespace tanvill
