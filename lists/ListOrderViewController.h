#pragma once

#include "controls/TableView.h"

#include <QDialog>
#include <QString>

#include <functional>

namespace tanvill {

class ListsController;

// The sheet in which the user puts the lists in a new order: one coloured pill per list,
// dragged into the gap between two others, or picked with the arrow keys and moved one place
// with Alt+Up and Alt+Down. Each move goes through the lists controller at once (which saves
// and announces it). Rows cannot be selected; a ring marks the one the keys work on, from the
// moment the sheet opens on the list the window behind shows. The sheet follows lists made or
// deleted while it is open, keeps within the screen (its table scrolls) and runs its completion
// once however it closes: Done, Escape or closing the window. The menu bar's Rearrange Lists
// command opens it with present().
class ListOrderViewController : public QDialog, public TableViewDataSource, public TableViewDelegate
{
    Q_OBJECT
public:
    explicit ListOrderViewController(ListsController &lists, QWidget *parent = nullptr);

    // Opens a new sheet over `window`, window-modal and sized to its content; `completion`
    // runs once, after the sheet has gone. The sheet deletes itself once closed.
    static ListOrderViewController *present(ListsController &lists, QWidget *window,
                                            std::function<void()> completion);

    // Width: the view's width now; height: 27 + 4 points per list plus 85 for the title and
    // the Done button, but no taller than the screen leaves room for.
    QSize intrinsicContentSize() const;

    void setCompletionHandler(std::function<void()> completion)
    {
        m_completionHandler = std::move(completion);
    }
    TableView *tableView() const { return m_tableView; }

    // The drag data of a list row.
    static const QString ListDragType;
    static constexpr int kRowHeight = 27;
    static constexpr int kRowSpacing = 4;
    static constexpr int kChromeHeight = 85;
    static constexpr int kWidth = 300;

    // TableViewDataSource
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;
    // TableViewDelegate
    bool shouldSelectRow(TableView *, int) override { return false; }
    // Return is the Done button's.
    bool rowActivated(TableView *, int) override { return false; }
    bool writeRows(TableView *table, const QList<int> &rows, QMimeData *data) override;
    Qt::DropAction validateDrop(TableView *table, const TableDrop &drop) override;
    bool acceptDrop(TableView *table, const TableDrop &drop) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void listsChanged();

    ListsController &m_lists;
    TableView *m_tableView = nullptr;
    std::function<void()> m_completionHandler;
    // Counts the reloads, so that a drag that began before the lists changed is refused.
    qint64 m_generation = 1;
    bool m_moving = false;
};

} // namespace tanvill
