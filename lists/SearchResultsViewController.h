#pragma once

#include "controls/TableView.h"
#include "core/ListsController.h"

#include <QPointer>
#include <QSet>
#include <QWidget>

#include <functional>
#include <optional>

class QVariantAnimation;

namespace tanvill {

class Label;
class MainViewController;
class SearchResultCell;
class SegmentedControl;
class UserDefaults;

// The answer of a store search, shown below the main window's bar while the add field is
// open: one platform at a time (Mac, iPhone, iPad, chosen with a segmented control), a row per
// result with an Add button that puts it into the selected list, and a centred text when the
// platform has nothing. Opens on the platform chosen last when it has results, else on the
// first that has some. The keys work the rows as they do the list table's, Return or Space
// adding the current row's result as its Add button would; Tab goes from the table through the
// Add buttons, top to bottom. The main window's controller makes and presents it.
class SearchResultsViewController : public QWidget,
                                    private TableViewDataSource,
                                    private TableViewDelegate
{
    Q_OBJECT
public:
    SearchResultsViewController(ListsController &listsController, UserDefaults &settings,
                                QWidget *parent = nullptr);
    ~SearchResultsViewController() override;

    const std::optional<SearchResults> &results() const { return m_results; }
    // Chooses the platform to show and reloads.
    void setResults(std::optional<SearchResults> results);

    TableView *tableView() const { return m_tableView; }
    SegmentedControl *scopeSegmentedControl() const { return m_scopeSegmentedControl; }
    Label *placeholderLabel() const { return m_placeholderLabel; }

    // The platform of the selected segment: 1 iPhone, 2 iPad, anything else Mac.
    AppStoreSearchOperationScope selectedScope() const;
    static AppStoreSearchOperationScope scopeForSegment(int segment);
    static int segmentForScope(AppStoreSearchOperationScope scope);

    // Shows the rows of the selected platform, or the placeholder text when it has none.
    void reloadResults();

    // The Add button of a row: the result goes into the selected list.
    void addApp(SearchResultCell *cell);
    // The user chose a platform.
    void didChangeScope();

    // Closes the results (through the window that shows them).
    void dismissController();
    MainViewController *presentingViewController() const;
    void setPresentingViewController(MainViewController *presenting);

    // Draws the placeholder text among the four (tests); uniform by default.
    void setRandomSource(std::function<quint32(quint32 bound)> random);

    static constexpr int kScopeBarHeight = 44;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // TableViewDataSource
    int numberOfRows(TableView *table) override;
    int heightOfRow(TableView *table, int row) override;
    TableRowView *rowView(TableView *table, int row) override;
    // TableViewDelegate
    bool rowActivated(TableView *table, int row) override;

    void selectScope();
    const std::vector<CachedApp> *resultsOfSelectedScope() const;
    bool isAdded(const QString &identifier) const;
    void layoutPlaceholder();
    void scrollToTop();

    ListsController &m_listsController;
    UserDefaults &m_settings;
    SegmentedControl *m_scopeSegmentedControl;
    TableView *m_tableView;
    Label *m_placeholderLabel;
    std::optional<SearchResults> m_results;
    QSet<QString> m_addedApps;
    std::function<quint32(quint32)> m_random;
    QPointer<QVariantAnimation> m_scroll;
    QPointer<MainViewController> m_presenting;
};

} // namespace tanvill
