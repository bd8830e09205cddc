#include "store/widgets/ChangesViewController.h"

#include "store/widgets/ChangeCell.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace tanvill {

ChangesViewController::ChangesViewController(QWidget *parent)
    : QWidget(parent), m_tableView(new QTableWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tableView);

    m_tableView->setColumnCount(1);
    m_tableView->horizontalHeader()->hide();
    m_tableView->horizontalHeader()->setStretchLastSection(true);
    m_tableView->verticalHeader()->hide();
    m_tableView->setShowGrid(false);
    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->setSelectionMode(QAbstractItemView::NoSelection);
    m_tableView->setFocusPolicy(Qt::NoFocus);
    m_tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_tableView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
}

int ChangesViewController::numberOfRows() const
{
    return m_updates ? int(m_updates->size()) : 0;
}

double ChangesViewController::heightOfRow(int row) const
{
    if (!m_updates || row < 0 || row >= int(m_updates->size()))
        return 0.0;
    return ChangeCell::rowHeightFor((*m_updates)[size_t(row)].numberOfChanges());
}

ChangeCell *ChangesViewController::cellAt(int row) const
{
    return qobject_cast<ChangeCell *>(m_tableView->cellWidget(row, 0));
}

void ChangesViewController::setUpdates(const std::optional<std::vector<AppUpdate>> &updates)
{
    m_updates = updates;
    reloadData();
    if (m_updates && int(m_updates->size()) <= kRowsShownWhole)
        resizeToRows(int(m_updates->size()));
}

void ChangesViewController::reloadData()
{
    m_tableView->clearContents();
    const int rows = numberOfRows();
    m_tableView->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const AppUpdate &update = (*m_updates)[size_t(row)];
        auto *cell = new ChangeCell(ChangeCell::identifierFor(update.numberOfChanges()));
        cell->setUpdate(update);
        m_tableView->setCellWidget(row, 0, cell);
        m_tableView->setRowHeight(row, int(std::lround(heightOfRow(row))));
    }
}

void ChangesViewController::resizeToRows(int rows)
{
    // resize() keeps the window's top-left corner, so its top edge, left edge and width stay.
    const int height = int(std::lround(rows * kTallestRowHeight));
    const int delta = height - this->height();
    resize(width(), height);
    if (QWidget *window = this->window(); window != this)
        window->resize(window->width(), window->height() + delta);
}

} // namespace tanvill
