#pragma once

// The content of the Latest Changes window: a table of AppUpdate records, one row per
// application, sized to show up to four rows without scrolling. Made by the window
// controller each time the window opens; it shows the list it was given and observes nothing.

#include "store/AppUpdate.h"

#include <QWidget>

#include <optional>
#include <vector>

class QTableWidget;

namespace tanvill {

class ChangeCell;

class ChangesViewController : public QWidget
{
    Q_OBJECT

public:
    // Height of the tallest row; up to four rows the view is this many points per update.
    static constexpr double kTallestRowHeight = 114.0;
    static constexpr int kRowsShownWhole = 4;

    explicit ChangesViewController(QWidget *parent = nullptr);

    QTableWidget *tableView() const { return m_tableView; }
    const std::optional<std::vector<AppUpdate>> &updates() const { return m_updates; }
    // Shows the list; with at most four updates the view (and its window, top edge kept)
    // takes the height of four tallest rows per update.
    void setUpdates(const std::optional<std::vector<AppUpdate>> &updates);

    int numberOfRows() const;
    double heightOfRow(int row) const;
    ChangeCell *cellAt(int row) const;

private:
    void reloadData();
    void resizeToRows(int rows);

    QTableWidget *m_tableView;
    std::optional<std::vector<AppUpdate>> m_updates;
};

} // namespace tanvill
