#pragma once

// The one data controller of the process: owns the object store and its context, the
// visible lists in order, the selected list, the archive list and the dock badge, and
// announces every change to lists and applications (ListsControllerNotifications.h).
// Every window, the updater and the import work through the shared instance, on the UI
// thread. Adding, moving and refreshing applications live in further files of this class.

#include "core/ObjectContext.h"
#include "core/ObjectStore.h"
#include "core/Theme.h"
#include "platform/Error.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

class ListsController : public QObject
{
    Q_OBJECT
public:
    // Created on first use; opens the store at defaultStorePath().
    static ListsController &sharedController();
    // $XDG_DATA_HOME/com.tanvill.Tanvill/Tanvill.sqlite
    static QString defaultStorePath();

    // Opens (or creates) the store at storePath. Problems with the store are reported to
    // the user once the event loop runs, never during construction.
    explicit ListsController(const QString &storePath = defaultStorePath(),
                             QObject *parent = nullptr);
    ~ListsController() override;

    ObjectContext *managedObjectContext() { return &m_store.context(); }
    ObjectStore &objectStore() { return m_store; }
    // How opening the store went (tests, diagnostics).
    const ObjectStore::OpenResult &openResult() const { return m_openResult; }

    // Visible lists ordered by index.
    const std::vector<List *> &lists();
    // The list at the position "selectedList" (the first when out of range); none without
    // visible lists.
    List *selectedList();
    // Every application of a visible list, in no particular order.
    std::vector<App *> apps();
    // The archive list, created on first request.
    List *archive();

    // Writes the pending changes; with async false, returns after they reached the file.
    // A failure is reported to the user once; the changes stay pending for the next save.
    void saveWithAsync(bool async);

    List *createList(const QString &name, ThemeName color = ThemeName::Yellow);
    // Deletes a visible list with its applications; refuses the only list (code 3).
    std::optional<Error> deleteList(List *list);
    void moveList(List *list, int toIndex);

    // Shows the number of watched applications on the launcher icon when the user asked
    // for it ("displayAppCountAsIconBadge"), else removes the badge.
    void updateDockTile();

    // Store identifiers whose refresh is under way.
    QSet<QString> reloadingApps;

private:
    void reportOpening();
    void saveFailed(const QString &error);

    ObjectStore m_store;
    ObjectStore::OpenResult m_openResult;
    std::optional<std::vector<List *>> m_lists;
    List *m_archive = nullptr;
    bool m_saveFailureReported = false;
};

} // namespace tanvill
