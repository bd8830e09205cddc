// The archive table: its rows, the summary controllers of its application rows, the settings
// and notifications it follows, the animated changes of its rows and the empty-archive text.
#include "lists/ArchiveViewController.h"

#include "controls/Label.h"
#include "core/App.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/PriceFormatter.h"
#include "core/SettingsKeys.h"
#include "details/AppSummaryController.h"
#include "lists/AppCell.h"
#include "lists/SectionHeaderCell.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QFontMetrics>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include <algorithm>

namespace tanvill {

namespace {

// The archive is the list with index -1.
constexpr int kArchiveListIndex = -1;
constexpr int kPlaceholderTexts = 3;
constexpr int kPlaceholderFontSize = 18;
// The text keeps this far from the window's sides, in all.
constexpr int kPlaceholderInset = 40;

} // namespace

ArchiveViewController::ArchiveViewController(ListsController &lists, UserDefaults &settings,
                                             QWidget *parent)
    : QWidget(parent), m_lists(lists), m_settings(settings),
      m_random([](quint32 bound) { return QRandomGenerator::global()->bounded(bound); })
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tableView = new TableView(this);
    layout->addWidget(m_tableView);
    m_tableView->registerRowView(AppCell::kArchiveIdentifier,
                                 [] { return new AppCell(AppCell::Configuration::Archive); });
    m_tableView->registerRowView(SectionHeaderCell::kIdentifier,
                                 [] { return new SectionHeaderCell; });
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    // The keys move a current row and open its menu; Return opens nothing, as a click does.
    m_tableView->setKeyboardNavigation(true);

    // Over the rows, so that it is never hidden behind a row that fades out.
    m_placeholderLabel = new Label(m_tableView);
    QFont font = m_placeholderLabel->font();
    font.setPixelSize(kPlaceholderFontSize);
    m_placeholderLabel->setFont(font);
    QPalette palette = m_placeholderLabel->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_placeholderLabel->setPalette(palette);
    m_placeholderLabel->setAlignment(Qt::AlignCenter);
    m_placeholderLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_placeholderLabel->hide();

    setUpObservers();
}

ArchiveViewController::~ArchiveViewController()
{
    // The table and its rows go first, while everything they call back into still exists.
    m_tableView->setDelegate(nullptr);
    m_tableView->setDataSource(nullptr);
    delete m_tableView;
}

void ArchiveViewController::setUpObservers()
{
    // Archived rows have summary controllers that follow nothing; a refresh that reached an
    // archived application would otherwise leave its name, icon and price as they were.
    NotificationCenter::defaultCenter().addObserver(
        ListsControllerDidReloadApps, this, [this](const Notification &) { reloadRows(); },
        &m_lists);
    m_settings.observe(SettingsKeys::DisplayPlatformIcons, this,
                       [this](const QVariant &) { reloadRows(); });
    // Values other than the known raw ones leave the rows as they are.
    m_settings.observe(SettingsKeys::ListSorting, this, [this](const QVariant &value) {
        if (const auto sorting = listSortingFromRawValue(value.toString()))
            listRepresentation().setSorting(*sorting);
    });
    m_settings.observe(SettingsKeys::ListGrouping, this, [this](const QVariant &value) {
        if (const auto grouping = listGroupingFromRawValue(value.toString()))
            listRepresentation().setGrouping(*grouping);
    });
}

void ArchiveViewController::reloadRows()
{
    if (m_rowUpdates.isTableLoaded())
        m_tableView->reloadData();
}

ListRepresentation &ArchiveViewController::listRepresentation()
{
    if (!m_listRepresentation) {
        m_listRepresentation = std::make_unique<ListRepresentation>(
            m_lists, kArchiveListIndex, savedListGrouping(), savedListSorting());
        m_listRepresentation->setDelegate(&m_rowUpdates);
    }
    return *m_listRepresentation;
}

void ArchiveViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updatePlaceholder();
}

void ArchiveViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePlaceholder();
}

// The empty-archive text

void ArchiveViewController::updatePlaceholder()
{
    const bool empty = listRepresentation().numberOfRows() == 0;
    m_placeholderLabel->setVisible(empty);
    if (!empty)
        return;
    const quint32 drawn
        = std::min<quint32>(m_random(kPlaceholderTexts), quint32(kPlaceholderTexts - 1));
    m_placeholderLabel->setStringValue(
        Strings::localized(QStringLiteral("EmptyArchivePlaceholder%1").arg(drawn + 1)));
    placePlaceholder();
    m_placeholderLabel->raise();
}

void ArchiveViewController::placePlaceholder()
{
    // One line high, centred in the view and narrower than it by the inset.
    const int lineHeight = QFontMetrics(m_placeholderLabel->font()).height();
    const QRect inView((width() - (width() - kPlaceholderInset)) / 2, (height() - lineHeight) / 2,
                       std::max(0, width() - kPlaceholderInset), lineHeight);
    m_placeholderLabel->setGeometry(inView.translated(m_tableView->mapFrom(this, QPoint(0, 0))));
}

// Rows

int ArchiveViewController::numberOfRows(TableView *)
{
    m_rowUpdates.tableDidLoad(m_tableView);
    return listRepresentation().numberOfRows();
}

int ArchiveViewController::heightOfRow(TableView *, int row)
{
    return listRepresentation().titleAtRow(row) ? SectionHeaderCell::kRowHeight
                                                : AppCell::kArchiveRowHeight;
}

bool ArchiveViewController::isGroupRow(TableView *, int row)
{
    return listRepresentation().titleAtRow(row).has_value();
}

TableRowView *ArchiveViewController::rowView(TableView *table, int row)
{
    ListRepresentation &representation = listRepresentation();
    if (App *app = representation.appAtRow(row)) {
        auto *cell = table->makeView<AppCell>(AppCell::kArchiveIdentifier);
        if (!cell)
            return nullptr;
        // A new menu each time the row is made: it offers "Copy App ID" as the setting now says.
        cell->setConfiguration(AppCell::Configuration::Archive);
        cell->setPlatform(m_settings.boolean(SettingsKeys::DisplayPlatformIcons)
                              ? std::optional<AppKind>(app->appKind())
                              : std::nullopt);
        return cell;
    }
    if (const std::optional<QString> title = representation.titleAtRow(row)) {
        auto *cell = table->makeView<SectionHeaderCell>(SectionHeaderCell::kIdentifier);
        if (cell)
            cell->label()->setStringValue(*title);
        return cell;
    }
    return nullptr;
}

void ArchiveViewController::didAddRowView(TableView *, TableRowView *view, int row)
{
    auto *cell = qobject_cast<AppCell *>(view);
    App *app = listRepresentation().appAtRow(row);
    if (!cell || !app)
        return;
    // The controller belongs to this row widget, not to the store identifier: the archive may
    // hold one application twice, and each row keeps its own until the row goes.
    cell->setSummaryController(
        AppSummaryController::create(app, AppSummaryConfiguration::Archive, m_lists));
    // The price it had when it was archived, in its currency then, as the lists write prices:
    // archived applications are not refreshed.
    const QString price = app->price().isZero()
        ? Strings::localized(QStringLiteral("Free"))
        : localizedPriceStringInCurrency(app->price(), app->currencyCode());
    cell->setToolTip(price);
    cell->setArchivedPriceText(price);
}

void ArchiveViewController::didRemoveRowView(TableView *, TableRowView *view, int)
{
    // Also for rows that were removed (row -1): their controller goes with them.
    if (auto *cell = qobject_cast<AppCell *>(view))
        cell->setSummaryController(nullptr);
}

bool ArchiveViewController::shouldSelectRow(TableView *, int)
{
    return false;
}

} // namespace tanvill
