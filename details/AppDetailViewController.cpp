#include "details/AppDetailViewController.h"

#include "controls/AppIconView.h"
#include "controls/AppShell.h"
#include "controls/BorderedButton.h"
#include "controls/Images.h"
#include "controls/Label.h"
#include "controls/RatingView.h"
#include "core/App.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/Screenshot.h"
#include "details/AppHistoryViewController.h"
#include "details/AppNotesViewController.h"
#include "details/AppSummaryController.h"
#include "details/DescriptionCell.h"
#include "details/DetailImages.h"
#include "details/DetailPopover.h"
#include "details/ScreenshotsCell.h"
#include "platform/Clipboard.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace tanvill {

namespace {

constexpr int kIconSide = 88;
constexpr int kHeaderMargin = 20;

// A flat button showing one of the detail window's drawings, lit while the pointer is over it.
class HeaderIconButton : public QAbstractButton
{
public:
    HeaderIconButton(const QString &imageName, const QString &title, QWidget *parent)
        : QAbstractButton(parent), m_imageName(imageName)
    {
        setToolTip(title);
        setAccessibleName(title);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_Hover);
    }

    QSize sizeHint() const override { return { 30, 30 }; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool lit = isDown() || underMouse() || hasFocus();
        if (lit) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, isDown() ? 46 : 24));
            painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
        }
        painter.setOpacity(isEnabled() ? (lit ? 1.0 : 0.78) : 0.35);
        Images::draw(painter, m_imageName, QRectF(5, 5, width() - 10, height() - 10));
    }

private:
    QString m_imageName;
};

QFont pixelFont(const QFont &base, int pixels, bool bold = false)
{
    QFont font = base;
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void dim(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

AppDetailViewController::AppDetailViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists)
{
    loadDetailImages();
    setAutoFillBackground(true);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Header: icon, the texts beside it, the buttons at the top right.
    auto *header = new QWidget(this);
    auto *headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(kHeaderMargin, kHeaderMargin, kHeaderMargin - 6, 16);
    headerRow->setSpacing(16);
    m_iconView = new AppIconView(header);
    m_iconView->setFixedSize(kIconSide, kIconSide);
    headerRow->addWidget(m_iconView, 0, Qt::AlignTop);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->setContentsMargins(0, 2, 0, 0);
    m_appNameLabel = new Label(header);
    m_appNameLabel->setFont(pixelFont(font(), 20, true));
    m_developerNameLabel = new Label(header);
    m_developerNameLabel->setFont(pixelFont(font(), 13));
    dim(m_developerNameLabel, QColor(0xb4, 0xb4, 0xb8));
    m_versionLabel = new Label(header);
    m_versionLabel->setFont(pixelFont(font(), 12));
    dim(m_versionLabel, QColor(0x86, 0x86, 0x8b));
    texts->addWidget(m_appNameLabel);
    texts->addWidget(m_developerNameLabel);
    texts->addWidget(m_versionLabel);
    texts->addSpacing(6);
    auto *priceRow = new QHBoxLayout;
    priceRow->setSpacing(12);
    m_ratingView = new RatingView(header);
    m_ratingView->setFixedSize(m_ratingView->sizeHint());
    m_buyButton = new BorderedButton(header);
    m_buyButton->setTintColor(QColor(0xe4, 0xe4, 0xe6));
    m_buyButton->setWidthConstraint(64);
    m_buyButton->setFixedHeight(22);
    priceRow->addWidget(m_buyButton);
    priceRow->addWidget(m_ratingView, 0, Qt::AlignVCenter);
    priceRow->addStretch(1);
    texts->addLayout(priceRow);
    texts->addStretch(1);
    headerRow->addLayout(texts, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    m_appHistoryButton = new HeaderIconButton(
        QStringLiteral("detail-history"), Strings::localized(QStringLiteral("History")), header);
    m_appNotesButton = new HeaderIconButton(QStringLiteral("detail-notes"),
                                            Strings::localized(QStringLiteral("Notes")), header);
    m_shareButton = new HeaderIconButton(QStringLiteral("detail-share"),
                                         Strings::localized(QStringLiteral("Share")), header);
    for (QAbstractButton *button : { m_appHistoryButton, m_appNotesButton, m_shareButton }) {
        button->setFixedSize(button->sizeHint());
        buttons->addWidget(button);
    }
    headerRow->addLayout(buttons);
    headerRow->setAlignment(buttons, Qt::AlignTop);
    column->addWidget(header);

    auto *separator = new QWidget(this);
    separator->setFixedHeight(1);
    separator->setAutoFillBackground(true);
    QPalette line = separator->palette();
    line.setColor(QPalette::Window, QColor(0x3a, 0x3a, 0x3d));
    separator->setPalette(line);
    column->addWidget(separator);

    m_tableView = new TableView(this);
    m_tableView->setFrameShape(QFrame::NoFrame);
    m_tableView->registerRowView(ScreenshotsCell::kIdentifier, [] { return new ScreenshotsCell; });
    m_tableView->registerRowView(DescriptionCell::kIdentifier, [] { return new DescriptionCell; });
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->viewport()->installEventFilter(this);
    column->addWidget(m_tableView, 1);

    connect(m_appHistoryButton, &QAbstractButton::clicked, this,
            [this] { viewAppHistory(m_appHistoryButton); });
    connect(m_appNotesButton, &QAbstractButton::clicked, this,
            [this] { viewAppNotes(m_appNotesButton); });
    // The menu opens on the press, as a menu button's does.
    connect(m_shareButton, &QAbstractButton::pressed, this, [this] { shareApp(m_shareButton); });

    m_appHistoryButton->hide();
    setUpObservers();
}

AppDetailViewController::~AppDetailViewController()
{
    if (NotificationCenter *center = SharedInstance<NotificationCenter>::find())
        center->removeObservers(this);
    m_tableView->setDataSource(nullptr);
    m_tableView->setDelegate(nullptr);
    if (m_summaryController)
        m_summaryController->releaseViews(this);
}

void AppDetailViewController::setUpObservers()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(
        ListsControllerWillDeleteApp, this,
        [this](const Notification &notification) { appWillBeDeleted(notification); }, &m_lists);
    center.addObserver(
        ListsControllerDidReloadApps, this,
        [this](const Notification &notification) { appsDidReload(notification); }, &m_lists);
    center.addObserver(
        ListsControllerDidUpdateList, this, [this](const Notification &) { listDidUpdate(); },
        &m_lists);
}

void AppDetailViewController::setSummaryController(std::shared_ptr<AppSummaryController> controller)
{
    if (controller != m_summaryController) {
        // Another application: nothing of the one shown before stays open or keeps writing
        // into this header.
        closePopovers();
        if (m_summaryController)
            m_summaryController->releaseViews(this);
    }
    m_summaryController = std::move(controller);
    m_tableView->reloadData();
    if (!m_summaryController)
        return;
    m_summaryController->setIconView(m_iconView);
    m_summaryController->setNameLabel(m_appNameLabel);
    m_summaryController->setDeveloperLabel(m_developerNameLabel);
    m_summaryController->setBuyButton(m_buyButton);
    m_summaryController->setRatingView(m_ratingView);
    updateVersionLabel();
    updateHistoryButton();
}

App *AppDetailViewController::liveApp() const
{
    App *app = m_summaryController ? m_summaryController->app() : nullptr;
    return app && !app->isDeleted() ? app : nullptr;
}

void AppDetailViewController::updateHistoryButton()
{
    const App *app = liveApp();
    m_appHistoryButton->setVisible(app && app->needsAppHistory());
}

void AppDetailViewController::updateVersionLabel()
{
    const App *app = liveApp();
    const QString version = app ? app->version() : QString();
    m_versionLabel->setStringValue(
        version.isEmpty() ? QString()
                          : Strings::localizedFormat(QStringLiteral("DetailVersion"), { version }));
}

void AppDetailViewController::closePopovers()
{
    for (QWidget *content : { static_cast<QWidget *>(m_appHistoryVC.data()),
                              static_cast<QWidget *>(m_appNotesVC.data()) }) {
        if (content && content->window() != window())
            content->window()->close();
    }
    if (m_shareMenu)
        m_shareMenu->close();
    m_appHistoryVC.clear();
    m_appNotesVC.clear();
}

void AppDetailViewController::appWillBeDeleted(const Notification &notification)
{
    if (!m_summaryController)
        return;
    const std::optional<AppDeletion> deletion = AppDeletion::fromUserInfo(notification.userInfo);
    if (deletion && deletion->identifier == m_summaryController->identifier())
        closeWindow();
}

void AppDetailViewController::appsDidReload(const Notification &notification)
{
    const std::optional<AppReload> reload = AppReload::fromUserInfo(notification.userInfo);
    if (!m_summaryController || !reload
        || !reload->identifiers.contains(m_summaryController->identifier()))
        return;
    m_tableView->reloadData();
    updateHistoryButton();
    updateVersionLabel();
    if (m_appHistoryVC)
        m_appHistoryVC->setApp(liveApp());
    if (const App *app = liveApp(); app && window() != this) {
        window()->setWindowTitle(app->name());
        if (AppShell *shell = AppShell::current())
            shell->changeWindowsItem(window(), app->name());
    }
}

void AppDetailViewController::listDidUpdate()
{
    if (const App *app = m_summaryController ? m_summaryController->app() : nullptr;
        app && app->archived())
        closeWindow();
}

void AppDetailViewController::closeWindow()
{
    closePopovers();
    // The window's owner deletes it later, never inside the notification that closed it.
    window()->close();
}

void AppDetailViewController::viewAppHistory(QWidget *sender)
{
    App *app = liveApp();
    if (!app)
        return;
    closePopovers();
    auto *history = new AppHistoryViewController(m_lists);
    history->setApp(app);
    m_appHistoryVC = history;
    auto *popover = new DetailPopover(history, this);
    popover->showBelow(sender ? sender : m_appHistoryButton);
}

void AppDetailViewController::viewAppNotes(QWidget *sender)
{
    App *app = liveApp();
    if (!app)
        return;
    closePopovers();
    auto *notes = new AppNotesViewController(m_lists);
    notes->setApp(app);
    m_appNotesVC = notes;
    auto *popover = new DetailPopover(notes, this);
    popover->showBelow(sender ? sender : m_appNotesButton);
}

void AppDetailViewController::shareApp(QWidget *sender)
{
    if (!liveApp())
        return;
    if (m_shareMenu)
        m_shareMenu->close();
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(Strings::localized(QStringLiteral("Copy Link")), this,
                    &AppDetailViewController::copyLink);
    menu->addAction(Strings::localized(QStringLiteral("Copy Name and Link")), this,
                    &AppDetailViewController::copyNameAndLink);
    menu->addAction(Strings::localized(QStringLiteral("Email…")), this,
                    &AppDetailViewController::emailLink);
    m_shareMenu = menu;
    QWidget *anchor = sender ? sender : m_shareButton;
    menu->popup(anchor->mapToGlobal(QPoint(0, anchor->height())));
    // The button saw the press that opened the menu but will not see its release.
    if (auto *button = qobject_cast<QAbstractButton *>(anchor))
        button->setDown(false);
}

void AppDetailViewController::copyLink()
{
    if (const App *app = liveApp())
        Clipboard::setText(app->affiliatedStoreUrl());
}

void AppDetailViewController::copyNameAndLink()
{
    if (const App *app = liveApp())
        Clipboard::setText(app->name() + QLatin1Char('\n') + app->affiliatedStoreUrl());
}

void AppDetailViewController::emailLink()
{
    if (const App *app = liveApp())
        Workspace::shared().openURL(emailUrl(app->name(), app->affiliatedStoreUrl()));
}

QUrl AppDetailViewController::emailUrl(const QString &name, const QString &link)
{
    const QString body = name + QStringLiteral("\n\n") + link;
    return QUrl::fromEncoded("mailto:?subject=" + QUrl::toPercentEncoding(name)
                                 + "&body=" + QUrl::toPercentEncoding(body),
                             QUrl::StrictMode);
}

ScreenshotGrid *AppDetailViewController::screenshotGrid() const
{
    auto *cell = qobject_cast<ScreenshotsCell *>(m_tableView->rowViewAtRow(0));
    return cell ? cell->screenshotGrid() : nullptr;
}

QWidget *AppDetailViewController::firstFocusControl() const
{
    if (const ScreenshotGrid *grid = screenshotGrid(); grid && !grid->cells().empty()) {
        const int last = int(grid->cells().size()) - 1;
        return grid->cells()[size_t(std::clamp(grid->selectedIndex(), 0, last))];
    }
    return m_tableView;
}

int AppDetailViewController::descriptionRowHeight(const QString &description, int tableWidth)
{
    // A window narrower than the margins still measures on a width of at least one.
    return DescriptionCell::layoutText(description,
                                       std::max(1, tableWidth - 2 * DescriptionCell::kSideMargin))
        + 2 * DescriptionCell::kVerticalMargin;
}

int AppDetailViewController::numberOfRows(TableView *)
{
    return m_summaryController ? 2 : 0;
}

int AppDetailViewController::heightOfRow(TableView *table, int row)
{
    switch (row) {
    case 0:
        return kScreenshotsRowHeight;
    case 1: {
        const App *app = m_summaryController ? m_summaryController->app() : nullptr;
        return descriptionRowHeight(app ? app->appStoreDescription() : QString(),
                                    table->viewport()->width());
    }
    default:
        return 0;
    }
}

TableRowView *AppDetailViewController::rowView(TableView *table, int row)
{
    switch (row) {
    case 0: {
        auto *cell = table->makeView<ScreenshotsCell>(ScreenshotsCell::kIdentifier);
        cell->screenshotGrid()->setDataSource(this);
        return cell;
    }
    case 1: {
        auto *cell = table->makeView<DescriptionCell>(DescriptionCell::kIdentifier);
        const App *app = m_summaryController ? m_summaryController->app() : nullptr;
        cell->setText(app ? app->appStoreDescription() : QString());
        return cell;
    }
    default:
        return nullptr;
    }
}

unsigned AppDetailViewController::numberOfScreenshotsInGrid(ScreenshotGrid *)
{
    const App *app = m_summaryController ? m_summaryController->app() : nullptr;
    return app ? unsigned(app->screenshots().size()) : 0;
}

Screenshot *AppDetailViewController::screenshotAtIndex(ScreenshotGrid *, int index)
{
    const App *app = m_summaryController ? m_summaryController->app() : nullptr;
    if (!app || index < 0 || size_t(index) >= app->screenshots().size())
        return nullptr;
    return app->screenshots()[size_t(index)];
}

namespace {

// The window moves when dragged by its background, as the main window does.
bool startMovingWindow(QWidget *widget, const QMouseEvent *event)
{
    QWindow *window = widget->window()->windowHandle();
    return event->button() == Qt::LeftButton && window && window->startSystemMove();
}

} // namespace

void AppDetailViewController::mousePressEvent(QMouseEvent *event)
{
    if (startMovingWindow(this, event))
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

bool AppDetailViewController::eventFilter(QObject *watched, QEvent *event)
{
    // The rows select nothing: a press on them that no control took (the description, the
    // space around the pictures) is one on the window's background.
    if (watched == m_tableView->viewport() && event->type() == QEvent::MouseButtonPress
        && startMovingWindow(this, static_cast<QMouseEvent *>(event)))
        return true;
    // The description row follows the table's width.
    if (watched == m_tableView->viewport() && event->type() == QEvent::Resize
        && m_tableView->viewport()->width() != m_tableWidth) {
        m_tableWidth = m_tableView->viewport()->width();
        if (m_tableView->numberOfRows() > 1)
            m_tableView->noteHeightOfRowsChanged({ 1 });
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tanvill
