#include "lists/ListTableUpdater.h"

#include <utility>

namespace tanvill {

namespace {

QList<int> allRows(int count)
{
    QList<int> rows;
    rows.reserve(count);
    for (int row = 0; row < count; ++row)
        rows.append(row);
    return rows;
}

} // namespace

ListTableUpdater::ListTableUpdater(std::function<void()> didChange)
    : m_didChange(std::move(didChange))
{ }

void ListTableUpdater::tableDidLoad(TableView *table)
{
    m_table = table;
}

bool ListTableUpdater::isTableLoaded() const
{
    return m_table != nullptr;
}

void ListTableUpdater::listRepresentationWillChange(ListRepresentation *)
{
    if (!m_table)
        return;
    ++m_openBrackets;
    m_table->beginUpdates();
}

void ListTableUpdater::listRepresentationDidInsertRowsAtIndexes(ListRepresentation *,
                                                                const QList<int> &indexes)
{
    if (m_table)
        m_table->insertRows(indexes, TableEffect::Gap);
}

void ListTableUpdater::listRepresentationDidRemoveRowsAtIndexes(ListRepresentation *,
                                                                const QList<int> &indexes)
{
    if (m_table)
        m_table->removeRows(indexes, TableEffect::Fade);
}

void ListTableUpdater::listRepresentationDidMoveRow(ListRepresentation *, int fromIndex,
                                                    int toIndex)
{
    if (m_table)
        m_table->moveRow(fromIndex, toIndex);
}

void ListTableUpdater::listRepresentationWillReplaceAllRowsFromList(
    ListRepresentation *representation, int listIndex)
{
    const int shown = representation->listIndex();
    TableEffect removal = TableEffect::SlideDown;
    m_replacementInsertion = TableEffect::SlideUp;
    if (shown > listIndex) {
        removal = TableEffect::SlideLeft;
        m_replacementInsertion = TableEffect::SlideRight;
    } else if (shown < listIndex) {
        removal = TableEffect::SlideRight;
        m_replacementInsertion = TableEffect::SlideLeft;
    }
    m_currentApp = nullptr;
    m_currentAppRow = -1;
    if (!m_table)
        return;
    // The rows are still the old ones here; a new order of the same list keeps the current
    // application current, another list starts from the row number as any reload does.
    if (listIndex == shown)
        m_currentApp = representation->appAtRow(m_table->currentRow());
    m_table->removeRows(allRows(representation->numberOfRows()), removal);
}

void ListTableUpdater::listRepresentationDidReplaceAllRowsFromList(
    ListRepresentation *representation, int)
{
    if (!m_table)
        return;
    if (m_currentApp) {
        for (int row = 0; row < representation->numberOfRows(); ++row) {
            if (representation->appAtRow(row) == m_currentApp) {
                m_currentAppRow = row;
                break;
            }
        }
        m_currentApp = nullptr;
    }
    m_table->insertRows(allRows(representation->numberOfRows()), m_replacementInsertion);
    // Outside a bracket the insertion has been taken already.
    if (m_openBrackets == 0)
        restoreCurrentRow();
}

void ListTableUpdater::restoreCurrentRow()
{
    if (m_currentAppRow < 0 || !m_table)
        return;
    m_table->setCurrentRow(std::exchange(m_currentAppRow, -1));
}

void ListTableUpdater::listRepresentationDidChange(ListRepresentation *)
{
    if (m_openBrackets > 0) {
        --m_openBrackets;
        m_table->endUpdates();
        if (m_openBrackets == 0)
            restoreCurrentRow();
    }
    if (m_didChange)
        m_didChange();
}

} // namespace tanvill
