#pragma once

// The names and user-info keys of the notifications ListsController posts (with itself as
// the sender). Positions of applications are positions in a list's displayed order, newest
// first; list indexes are List::index() (-1 for the archive).

#include <QString>

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

} // namespace tanvill
