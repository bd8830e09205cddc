#pragma once

// The table of the archive window: the archived applications as AppCell rows in the Archive
// configuration (reduced menu, the price in a capsule and as tool tip), with SectionHeaderCell
// rows when the archive is sorted or grouped into sections, in the sorting and grouping chosen
// for every list. Like the list table it follows "listSorting", "listGrouping" and
// "displayPlatformIcons" and shows every change of the archive as an animated change of its
// rows; unlike it, rows are never selected or dragged and a click (or Return on the row the
// keys have made current) opens nothing. While the archive is empty one centred text lies
// over the table.
//
// ArchiveWindowController makes it as the content of the archive window.

#include "controls/TableView.h"
#include "core/ListRepresentation.h"
#include "lists/ListTableUpdater.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace tanvill {

class Label;
class ListsController;
class UserDefaults;

class ArchiveViewController : public QWidget, public TableViewDataSource, public TableViewDelegate
{
    Q_OBJECT
public:
    // Draws a whole number below the bound, uniformly.
    using RandomSource = std::function<quint32(quint32 bound)>;

    // `lists` and `settings` must outlive the controller.
    ArchiveViewController(ListsController &lists, UserDefaults &settings,
                          QWidget *parent = nullptr);
    ~ArchiveViewController() override;

    TableView *tableView() const { return m_tableView; }
    // The empty-archive text; one label for the controller's life, shown or hidden.
    Label *placeholderLabel() const { return m_placeholderLabel; }
    // The rows of the archive; made on first use.
    ListRepresentation &listRepresentation();
    // Where the empty-archive text is drawn from (tests).
    void setRandomSource(RandomSource random) { m_random = std::move(random); }

    // Shows the empty-archive text with a newly drawn wording while the archive is empty,
    // hides it otherwise. Called whenever the view shows and after every change of the rows.
    void updatePlaceholder();

    // TableViewDataSource
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    bool isGroupRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;

    // TableViewDelegate
    void didAddRowView(TableView *table, TableRowView *view, int row) override;
    void didRemoveRowView(TableView *table, TableRowView *view, int row) override;
    bool shouldSelectRow(TableView *table, int row) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void setUpObservers();
    void reloadRows();
    void placePlaceholder();

    ListsController &m_lists;
    UserDefaults &m_settings;
    TableView *m_tableView;
    Label *m_placeholderLabel;
    // Plays the representation's changes on the table once it has asked for its rows.
    ListTableUpdater m_rowUpdates { [this] {
        updatePlaceholder();
    } };
    std::unique_ptr<ListRepresentation> m_listRepresentation;
    RandomSource m_random;
};

} // namespace tanvill
