#include "lists/SearchResultsViewController.h"

#include "controls/AppIconView.h"
#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "controls/RatingView.h"
#include "controls/SegmentedControl.h"
#include "core/App.h"
#include "core/SettingsKeys.h"
#include "lists/AddAppViewController.h"
#include "lists/MainViewController.h"
#include "lists/SearchResultCell.h"
#include "lists/TransitionTiming.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "store/AppStoreOperation.h"
#include "store/ImageCache.h"
#include "store/widgets/ImageViewBinding.h"

#include <QKeyEvent>
#include <QRandomGenerator>
#include <QVariantAnimation>

namespace tanvill {

namespace {

const QString &kLastSelectedSearchScope = SettingsKeys::LastSelectedSearchScope;
constexpr int kPlaceholderCount = 4;
constexpr int kPlaceholderInset = 20;
// Segment order: the order the platforms are tried in, too.
constexpr AppStoreSearchOperationScope kSegmentScopes[]
    = { AppStoreSearchOperationScope::Mac, AppStoreSearchOperationScope::Phone,
        AppStoreSearchOperationScope::Pad };

} // namespace

SearchResultsViewController::SearchResultsViewController(ListsController &listsController,
                                                         UserDefaults &settings, QWidget *parent)
    : QWidget(parent), m_listsController(listsController), m_settings(settings),
      m_scopeSegmentedControl(new SegmentedControl({ Strings::localized(QStringLiteral("Mac")),
                                                     Strings::localized(QStringLiteral("iPhone")),
                                                     Strings::localized(QStringLiteral("iPad")) },
                                                   this)),
      m_tableView(new TableView(this)), m_placeholderLabel(new Label(this)),
      m_random([](quint32 bound) { return QRandomGenerator::global()->bounded(bound); })
{
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, palette().color(QPalette::Base));
    setPalette(background);

    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->registerRowView(SearchResultCell::kRatingIdentifier, [] {
        return new SearchResultCell(SearchResultCell::Layout::Rating);
    });
    m_tableView->registerRowView(SearchResultCell::kNoRatingIdentifier, [] {
        return new SearchResultCell(SearchResultCell::Layout::NoRating);
    });
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->setKeyboardNavigation(true);
    m_tableView->setTabsThroughRowControls(true);

    QFont placeholderFont = m_placeholderLabel->font();
    placeholderFont.setPixelSize(18);
    m_placeholderLabel->setFont(placeholderFont);
    QPalette placeholderPalette = m_placeholderLabel->palette();
    placeholderPalette.setColor(QPalette::WindowText, Qt::white);
    m_placeholderLabel->setPalette(placeholderPalette);
    m_placeholderLabel->setAlignment(Qt::AlignCenter);
    m_placeholderLabel->hide();

    connect(m_scopeSegmentedControl, &SegmentedControl::segmentClicked, this,
            &SearchResultsViewController::didChangeScope);
    reloadResults();
}

SearchResultsViewController::~SearchResultsViewController()
{
    // The table must not ask for rows while this controller is half destroyed.
    m_tableView->setDataSource(nullptr);
    m_tableView->setDelegate(nullptr);
}

void SearchResultsViewController::setRandomSource(std::function<quint32(quint32)> random)
{
    m_random = std::move(random);
}

AppStoreSearchOperationScope SearchResultsViewController::scopeForSegment(int segment)
{
    switch (segment) {
    case 1:
        return AppStoreSearchOperationScope::Phone;
    case 2:
        return AppStoreSearchOperationScope::Pad;
    default:
        return AppStoreSearchOperationScope::Mac;
    }
}

int SearchResultsViewController::segmentForScope(AppStoreSearchOperationScope scope)
{
    for (int segment = 0; segment < 3; ++segment) {
        if (kSegmentScopes[segment] == scope)
            return segment;
    }
    return 0;
}

AppStoreSearchOperationScope SearchResultsViewController::selectedScope() const
{
    return scopeForSegment(m_scopeSegmentedControl->selectedSegment());
}

void SearchResultsViewController::setResults(std::optional<SearchResults> results)
{
    m_results = std::move(results);
    // Applications kept since the last search show as added too.
    m_addedApps.clear();
    for (const App *app : m_listsController.apps())
        m_addedApps.insert(app->identifier());
    selectScope();
}

void SearchResultsViewController::selectScope()
{
    // A stored choice outside the three segments (edited by hand) counts as Mac.
    qint64 saved = m_settings.integer(kLastSelectedSearchScope, 0);
    if (saved < 0 || saved > 2)
        saved = 0;
    int segment = int(saved);
    if (m_results) {
        const auto found = m_results->find(scopeForSegment(segment));
        if (found != m_results->end() && found->second.empty()) {
            for (int candidate = 0; candidate < 3; ++candidate) {
                const auto other = m_results->find(kSegmentScopes[candidate]);
                if (other != m_results->end() && !other->second.empty()) {
                    segment = candidate;
                    break;
                }
            }
        }
    }
    m_scopeSegmentedControl->setSelectedSegment(segment);
    // The keys start again on the new results, from the first row seen.
    m_tableView->setCurrentRow(-1);
    reloadResults();
}

const std::vector<CachedApp> *SearchResultsViewController::resultsOfSelectedScope() const
{
    if (!m_results)
        return nullptr;
    const auto found = m_results->find(selectedScope());
    return found == m_results->end() ? nullptr : &found->second;
}

bool SearchResultsViewController::isAdded(const QString &identifier) const
{
    return m_addedApps.contains(identifier);
}

int SearchResultsViewController::numberOfRows(TableView *)
{
    const std::vector<CachedApp> *shown = resultsOfSelectedScope();
    return shown ? int(shown->size()) : 0;
}

int SearchResultsViewController::heightOfRow(TableView *, int)
{
    return SearchResultCell::kHeight;
}

TableRowView *SearchResultsViewController::rowView(TableView *table, int row)
{
    const std::vector<CachedApp> *shown = resultsOfSelectedScope();
    if (!shown || row < 0 || row >= int(shown->size()))
        return nullptr;
    const CachedApp &result = (*shown)[std::size_t(row)];
    auto *cell = table->makeView<SearchResultCell>(result.rating > 0
                                                       ? SearchResultCell::kRatingIdentifier
                                                       : SearchResultCell::kNoRatingIdentifier);
    if (!cell)
        return nullptr;
    cell->setRow(row);
    cell->nameLabel()->setStringValue(result.name);
    cell->iconView()->setAppKind(result.kind);
    setImageUrl(cell->iconView(), result.iconUrl, appPlaceholderImage());

    BorderedButton *button = cell->addButton();
    // A reused cell keeps its button: one connection, to this controller, whatever row.
    button->disconnect(this);
    connect(button, &QAbstractButton::clicked, this, [this, cell] { addApp(cell); });
    const bool added = isAdded(result.identifier);
    button->setEnabled(!added);
    button->setTitle(
        Strings::localized(added ? QStringLiteral("AddedAppButtonTitle") : QStringLiteral("Add")));
    if (RatingView *rating = cell->ratingView())
        rating->setRating(result.rating);
    return cell;
}

bool SearchResultsViewController::rowActivated(TableView *table, int row)
{
    if (auto *cell = qobject_cast<SearchResultCell *>(table->rowViewAtRow(row));
        cell && cell->addButton()->isEnabled())
        cell->addButton()->click();
    return true;
}

void SearchResultsViewController::addApp(SearchResultCell *cell)
{
    BorderedButton *button = cell->addButton();
    button->setEnabled(false);
    button->setTitle(Strings::localized(QStringLiteral("AddedAppButtonTitle")));

    const std::vector<CachedApp> *shown = resultsOfSelectedScope();
    const int row = cell->row();
    if (!shown || row < 0 || row >= int(shown->size()))
        return;
    const CachedApp result = (*shown)[std::size_t(row)];
    m_addedApps.insert(result.identifier);
    // Kept meanwhile (through a link, another window, an earlier search): not a second time.
    if (m_listsController.canAddAppWithIdentifier(result.identifier))
        return;
    // Found in the store chosen before the user chose another: the chosen one is asked for it,
    // as for an identifier typed, and tells what it sells it for (or that it does not).
    if (AppStoreOperation::isAnotherStore(result.countryCode)) {
        if (m_presenting)
            m_presenting->tryAddingApp(result.identifier);
        else
            m_listsController.addAppWithIdentifier(result.identifier, {});
        return;
    }
    m_listsController.addApp({ result });
}

void SearchResultsViewController::didChangeScope()
{
    reloadResults();
    // The rows scroll to the top: the keys start from there.
    m_tableView->setCurrentRow(0, false);
    // The scroll bar shows for a moment, so that a longer list reads as one.
    m_tableView->flashScrollers();
    scrollToTop();
    m_settings.setValue(kLastSelectedSearchScope, m_scopeSegmentedControl->selectedSegment());
}

void SearchResultsViewController::scrollToTop()
{
    if (m_scroll)
        m_scroll->stop();
    const int from = m_tableView->scrollPosition();
    if (from == 0 || transitions::instant()) {
        m_tableView->setScrollPosition(0);
        return;
    }
    m_scroll = new QVariantAnimation(this);
    m_scroll->setDuration(200);
    m_scroll->setEasingCurve(QEasingCurve::OutCubic);
    m_scroll->setStartValue(from);
    m_scroll->setEndValue(0);
    connect(m_scroll, &QVariantAnimation::valueChanged, this,
            [this, placed = from](const QVariant &value) mutable {
                // The keys or the wheel scrolled meanwhile: theirs is the last word.
                if (m_tableView->scrollPosition() != placed) {
                    m_scroll->stop();
                    return;
                }
                placed = value.toInt();
                m_tableView->setScrollPosition(placed);
            });
    m_scroll->start(QAbstractAnimation::DeleteWhenStopped);
}

void SearchResultsViewController::reloadResults()
{
    m_tableView->reloadData();
    const bool empty = m_tableView->numberOfRows() == 0;
    m_placeholderLabel->setVisible(empty);
    if (empty) {
        const quint32 drawn = m_random ? m_random(kPlaceholderCount) % kPlaceholderCount : 0;
        m_placeholderLabel->setStringValue(
            Strings::localized(QStringLiteral("EmptySearchPlaceholder%1").arg(drawn + 1)));
        m_placeholderLabel->raise();
        layoutPlaceholder();
    }
}

void SearchResultsViewController::layoutPlaceholder()
{
    const int height = m_placeholderLabel->sizeHint().height();
    const int width = std::max(0, this->width() - 2 * kPlaceholderInset);
    m_placeholderLabel->setGeometry((this->width() - width) / 2, (this->height() - height) / 2,
                                    width, height);
}

void SearchResultsViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize control = m_scopeSegmentedControl->sizeHint();
    m_scopeSegmentedControl->setGeometry((width() - control.width()) / 2,
                                         (kScopeBarHeight - control.height()) / 2, control.width(),
                                         control.height());
    m_tableView->setGeometry(0, kScopeBarHeight, width(), std::max(0, height() - kScopeBarHeight));
    layoutPlaceholder();
}

MainViewController *SearchResultsViewController::presentingViewController() const
{
    return m_presenting;
}

void SearchResultsViewController::setPresentingViewController(MainViewController *presenting)
{
    m_presenting = presenting;
}

void SearchResultsViewController::keyPressEvent(QKeyEvent *event)
{
    // From any control of the results (the platform switch, a row, an Add button): Escape ends
    // the search as the add field's Done does, closing field and results together.
    if (event->key() != Qt::Key_Escape || !m_presenting) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (AddAppViewController *field = m_presenting->addAppViewController()) {
        if (field->isEnabled())
            field->dismissController();
        return;
    }
    dismissController();
}

void SearchResultsViewController::dismissController()
{
    if (m_presenting)
        m_presenting->dismissViewController(this);
}

} // namespace tanvill
