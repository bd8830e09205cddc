#pragma once

// The rows of one list (by index; -1 is the archive) for one table: sorted and grouped as
// asked, recomputed whenever the lists controller changes that list, rearranges the lists or
// refreshes applications of a sorted or grouped list, with every change told to a delegate
// as single-row removals, insertions and moves (or as a replacement of all rows). The main
// window's list table keeps one for the selected list, the archive window one for the
// archive.

#include "core/ListGrouping.h"
#include "core/ListSorting.h"
#include "core/TableRow.h"
#include "platform/NotificationCenter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

namespace tanvill {

class App;
class ListRepresentation;
class ListsController;

// Receives the row changes of a ListRepresentation. Within one batch the calls apply one
// after another: each index refers to the rows as they stand after the calls before it.
class ListRepresentationDelegate
{
public:
    virtual ~ListRepresentationDelegate() = default;

    // Changes are about to be told; a table begins a batch of updates.
    virtual void listRepresentationWillChange(ListRepresentation *representation) = 0;
    virtual void listRepresentationDidInsertRowsAtIndexes(ListRepresentation *representation,
                                                          const QList<int> &indexes)
        = 0;
    virtual void listRepresentationDidRemoveRowsAtIndexes(ListRepresentation *representation,
                                                          const QList<int> &indexes)
        = 0;
    virtual void listRepresentationDidMoveRow(ListRepresentation *representation, int fromIndex,
                                              int toIndex)
        = 0;
    // Every row is about to be replaced; listIndex is the list the current rows belong to.
    virtual void listRepresentationWillReplaceAllRowsFromList(ListRepresentation *representation,
                                                              int listIndex)
        = 0;
    virtual void listRepresentationDidReplaceAllRowsFromList(ListRepresentation *representation,
                                                             int listIndex)
        = 0;
    // The change is complete; a table ends its batch.
    virtual void listRepresentationDidChange(ListRepresentation *representation) = 0;
};

class ListRepresentation
{
public:
    // Computes the first rows of the controller's list and starts listening to the
    // controller, which must outlive the representation; no delegate yet.
    ListRepresentation(ListsController &controller, int listIndex, ListGrouping grouping,
                       ListSorting sorting);
    ~ListRepresentation();
    ListRepresentation(const ListRepresentation &) = delete;
    ListRepresentation &operator=(const ListRepresentation &) = delete;

    // Writing a different value replaces the rows and tells the delegate.
    int listIndex() const { return m_listIndex; }
    void setListIndex(int listIndex);
    ListGrouping grouping() const { return m_grouping; }
    void setGrouping(ListGrouping grouping);
    ListSorting sorting() const { return m_sorting; }
    void setSorting(ListSorting sorting);

    // Held weakly: a delegate that is a QObject is forgotten when it is destroyed. Setting
    // it tells nothing; the delegate reads the current rows.
    ListRepresentationDelegate *delegate() const;
    void setDelegate(ListRepresentationDelegate *delegate);

    int numberOfRows() const { return int(m_data.size()); }
    // The application of an application row; null for a title row or a row out of range.
    App *appAtRow(int row) const;
    // The title of a title row; none for an application row or a row out of range.
    std::optional<QString> titleAtRow(int row) const;

    // Recomputes and tells the delegate, bracketed by the will/did change calls.
    void reload();
    // Recomputes and tells the delegate without the bracketing calls: all rows replaced
    // when reload is set (for listIndex, else this representation's own index), else
    // single-row changes.
    void updateRows(bool reload, std::optional<int> listIndex = std::nullopt);

private:
    // True for an update of this representation's list.
    bool isAbout(const Notification &notification) const;
    void listWillUpdate(const Notification &notification);
    void listDidUpdate(const Notification &notification);
    void listsDidRearrange(const Notification &notification);
    void appsDidReload(const Notification &notification);
    void fullRefresh(int fromListIndex);
    TableRows computeRows() const;
    // Stores the rows and tells the delegate as updateRows does.
    void tellRows(TableRows newRows, bool reload, std::optional<int> listIndex);

    ListsController &m_controller;
    TableRows m_data;
    // Owns the notification observers: they end with it.
    std::unique_ptr<QObject> m_observerContext;
    NotificationCenter::Token m_willUpdateObserver = 0;
    NotificationCenter::Token m_didUpdateObserver = 0;
    NotificationCenter::Token m_rearrangementObserver = 0;
    NotificationCenter::Token m_reloadObserver = 0;
    int m_listIndex;
    ListGrouping m_grouping;
    ListSorting m_sorting;
    ListRepresentationDelegate *m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;
};

} // namespace tanvill
