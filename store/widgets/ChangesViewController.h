#pragma once

// The content of the Latest Changes window: a table of AppUpdate records, one row per
// application, sized to show up to four rows without scrolling. Made by the window
// controller each time the window opens; it shows the list it was given and observes nothing.
// The keyboard moves a ringed current row through it as through the list table (arrows, Page
// Up/Down, Home and End); rows are never selected.

#include "controls/TableView.h"
#include "store/AppUpdate.h"

#include <QWidget>

#include <optional>
#include <vector>

namespace tanvill {

class ChangeCell;

class ChangesViewController : public QWidget, public TableViewDataSource, public TableViewDelegate
{
    Q_OBJECT

public:
    // Height of the tallest row; up to four rows the view is this many points per update.
    static constexpr double kTallestRowHeight = 114.0;
    static constexpr int kRowsShownWhole = 4;

    explicit ChangesViewController(QWidget *parent = nullptr);
    ~ChangesViewController() override;

    TableView *tableView() const { return m_tableView; }
    const std::optional<std::vector<AppUpdate>> &updates() const { return m_updates; }
    // Shows the list; with at most four updates the view (and its window, top edge kept)
    // takes the height of four tallest rows per update.
    void setUpdates(const std::optional<std::vector<AppUpdate>> &updates);

    int numberOfRows() const;
    double heightOfRow(int row) const;
    // The cell of a row in view (rows far out of view have none).
    ChangeCell *cellAt(int row) const;

    // The table's data source and delegate.
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;
    bool shouldSelectRow(TableView *table, int row) override;
    bool rowActivated(TableView *table, int row) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void resizeToRows(int rows);

    TableView *m_tableView;
    std::optional<std::vector<AppUpdate>> m_updates;
};

} // namespace tanvill
