#include "store/widgets/ChangesViewController.h"

#include "store/widgets/ChangeCell.h"

#include <QVBoxLayout>

#include <cmath>

namespace tanvill {

ChangesViewController::ChangesViewController(QWidget *parent)
    : QWidget(parent), m_tableView(new TableView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tableView);

    for (const int changes : { 1, 2, 3 }) {
        const QString identifier = ChangeCell::identifierFor(changes);
        m_tableView->registerRowView(identifier,
                                     [identifier] { return new ChangeCell(identifier); });
    }
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->setKeyboardNavigation(true);
}

ChangesViewController::~ChangesViewController()
{
    m_tableView->setDataSource(nullptr);
    m_tableView->setDelegate(nullptr);
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
    return qobject_cast<ChangeCell *>(m_tableView->rowViewAtRow(row));
}

int ChangesViewController::numberOfRows(TableView *)
{
    return numberOfRows();
}

int ChangesViewController::heightOfRow(TableView *, int row)
{
    return int(std::lround(heightOfRow(row)));
}

TableRowView *ChangesViewController::rowView(TableView *table, int row)
{
    if (!m_updates || row < 0 || row >= int(m_updates->size()))
        return nullptr;
    const AppUpdate &update = (*m_updates)[size_t(row)];
    auto *cell = table->makeView<ChangeCell>(ChangeCell::identifierFor(update.numberOfChanges()));
    if (cell)
        cell->setUpdate(update);
    return cell;
}

bool ChangesViewController::shouldSelectRow(TableView *, int)
{
    return false;
}

bool ChangesViewController::rowActivated(TableView *, int)
{
    // A row has nothing to open.
    return false;
}

void ChangesViewController::setUpdates(const std::optional<std::vector<AppUpdate>> &updates)
{
    m_updates = updates;
    m_tableView->setCurrentRow(-1);
    m_tableView->reloadData();
    if (m_updates && int(m_updates->size()) <= kRowsShownWhole)
        resizeToRows(int(m_updates->size()));
}

void ChangesViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The scroll bar only shows while the rows move: a longer list says so as it opens.
    m_tableView->flashScrollers();
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
