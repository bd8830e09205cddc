#pragma once

// Plays the row changes of a list representation on the table that shows it: inserted rows
// open a gap, removed rows fade, moved rows move, and when all rows are replaced the old ones
// slide out and the new ones slide in by where the new list stands: for a later list the old
// rows slide out to the left and the new ones slide right into place, for an earlier list the
// other way round, and for the same list in a new order the old rows slide down and the new
// ones up. A new order of the same list keeps the keyboard's current row on its application,
// scrolled into view, so that Return or the row's menu still acts on the application the user
// picked. Changes before the table first asked for its rows are not played; the table reads
// them then.
//
// The list table and the archive table each own one and make it their representation's
// delegate.

#include "controls/TableView.h"
#include "core/ListRepresentation.h"

#include <functional>

namespace tanvill {

class App;

class ListTableUpdater final : public ListRepresentationDelegate
{
public:
    // `didChange` runs at the end of every change of the rows, played or not.
    explicit ListTableUpdater(std::function<void()> didChange = {});

    // The table has asked for its rows: later changes are played on it.
    void tableDidLoad(TableView *table);
    bool isTableLoaded() const;

    void listRepresentationWillChange(ListRepresentation *representation) override;
    void listRepresentationDidInsertRowsAtIndexes(ListRepresentation *representation,
                                                  const QList<int> &indexes) override;
    void listRepresentationDidRemoveRowsAtIndexes(ListRepresentation *representation,
                                                  const QList<int> &indexes) override;
    void listRepresentationDidMoveRow(ListRepresentation *representation, int fromIndex,
                                      int toIndex) override;
    void listRepresentationWillReplaceAllRowsFromList(ListRepresentation *representation,
                                                      int listIndex) override;
    void listRepresentationDidReplaceAllRowsFromList(ListRepresentation *representation,
                                                     int listIndex) override;
    void listRepresentationDidChange(ListRepresentation *representation) override;

private:
    // Makes the current application's new row current, once the table took the new rows.
    void restoreCurrentRow();

    std::function<void()> m_didChange;
    TableView *m_table = nullptr;
    int m_openBrackets = 0;
    TableEffect m_replacementInsertion = TableEffect::None;
    // The application of the current row while the same list's rows are replaced, and then
    // the row it stands at in the new order, made current once the table took the change.
    App *m_currentApp = nullptr;
    int m_currentAppRow = -1;
};

} // namespace tanvill
