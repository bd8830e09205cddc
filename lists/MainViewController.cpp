#include "lists/MainViewController.h"

#include "controls/AppShell.h"
#include "controls/TabBarBackgroundView.h"
#include "controls/TableView.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "lists/AddButton.h"
#include "lists/HeaderController.h"
#include "lists/ListCreator.h"
#include "lists/ListViewController.h"
#include "lists/PresentationAnimator.h"
#include "lists/ReplacementSegue.h"
#include "lists/SearchResultsViewController.h"
#include "lists/SearchViewPresentationAnimator.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace tanvill {

namespace {

const QString &kSelectedList = SettingsKeys::SelectedList;
const QColor kTabBarColor(0x2a, 0x2a, 0x2c);
// The List submenu's item that opens the new-list sheet.
constexpr int kNewListMenuItem = 0;

// The shake: at rest for 1.75 s, two swings left and right within 0.475 s, at rest again until
// the 5 s are over.
constexpr std::pair<qreal, qreal> kShakeKeys[] = {
    { 0.0, 0.0 },     { 0.35, 0.0 },  { 0.375, -0.45 }, { 0.4, 0.45 },
    { 0.415, -0.45 }, { 0.43, 0.45 }, { 0.445, 0.0 },   { 1.0, 0.0 },
};

} // namespace

MainViewController::MainViewController(const MainWindowServices &services, QWidget *parent)
    : QWidget(parent), m_services(services),
      m_headerController(new HeaderController(services.listsController, this)),
      m_mainContentView(new QWidget(this)),
      m_listViewController(new ListViewController(services.listsController, services.settings,
                                                  services.detailWindowManager, m_mainContentView)),
      m_tabBar(new TabBarBackgroundView(this)), m_addButton(new AddButton(m_tabBar)),
      m_addButtonMenu(new QMenu(this))
{
    setAutoFillBackground(true);
    setMinimumSize(kMinimumWidth, kHeaderHeight + kTabBarHeight + 140);

    m_headerController->setObjectName(QStringLiteral("headerController"));

    m_mainContentView->setObjectName(QStringLiteral("mainContentView"));
    m_mainContentView->setAutoFillBackground(true);
    m_mainContentView->setBackgroundRole(QPalette::Base);
    auto *contentLayout = new QVBoxLayout(m_mainContentView);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->addWidget(m_listViewController);

    m_tabBar->setObjectName(QStringLiteral("tabBar"));
    m_tabBar->setColor(kTabBarColor);
    m_tabBar->installEventFilter(this);
    m_addButton->setToolTip(Strings::localized(QStringLiteral("Add App")));
    m_addButtonMenu->addAction(Strings::localized(QStringLiteral("Add App…")), this,
                               &MainViewController::addApp);
    m_addButtonMenu->addAction(Strings::localized(QStringLiteral("New List…")), this,
                               &MainViewController::addList);
    m_addButton->setPopUpMenu(m_addButtonMenu);
    connect(m_addButton, &QAbstractButton::clicked, this, &MainViewController::addApp);

    ListsController *lists = &m_services.listsController;
    m_services.settings.observe(kSelectedList, this,
                                [this](const QVariant &) { updateShakeAnimation(); });
    NotificationCenter &center = m_services.notificationCenter;
    center.addObserver(
        ListsControllerDidUpdateList, this,
        [this](const Notification &notification) {
            const std::optional<ListUpdate> update
                = ListUpdate::fromUserInfo(notification.userInfo);
            List *selected = m_services.listsController.selectedList();
            if (update && selected && update->listIndex == selected->index())
                updateShakeAnimation();
        },
        lists);
    // A deleted list can change which list is selected without a new position; a moved one keeps
    // its selection, whose new position is stored.
    for (const QString &name : { ListsControllerDidAddList, ListsControllerDidDeleteList }) {
        center.addObserver(
            name, this, [this](const Notification &) { updateShakeAnimation(); }, lists);
    }
    center.addObserver(
        ListsControllerDidDeleteList, this, [this](const Notification &) { listWasDeleted(); },
        lists);
}

MainViewController::~MainViewController()
{
    // The new-list sheet tells this view when it goes: it goes while the view is still whole
    // (quitting with the sheet open).
    delete m_listCreator.data();
}

void MainViewController::setViewBelowTabBar(QWidget *view)
{
    m_viewBelowTabBar = view;
    layoutViews();
}

void MainViewController::layoutViews()
{
    const int viewWidth = width();
    const int viewHeight = height();
    const bool contentInPlace = m_mainContentViewTop.active;
    const int contentTop = contentInPlace ? m_mainContentViewTop.constant : -viewHeight;
    m_headerController->setGeometry(0, contentTop, viewWidth, kHeaderHeight);
    m_mainContentView->setGeometry(0, contentTop + kHeaderHeight, viewWidth,
                                   std::max(0, viewHeight - kHeaderHeight - kTabBarHeight));
    // Out of sight, they take no keyboard focus either.
    m_headerController->setVisible(contentInPlace);
    m_mainContentView->setVisible(contentInPlace);

    const int barHeight = m_tabBarHeight.constant;
    int barTop = viewHeight - barHeight;
    if (m_tabBarTop.active)
        barTop = m_tabBarTop.constant;
    else if (m_tabBarBottom.active)
        barTop = viewHeight - m_tabBarBottom.constant - barHeight;
    m_tabBar->setGeometry(0, barTop, viewWidth, barHeight);
    if (m_viewBelowTabBar)
        m_viewBelowTabBar->setGeometry(0, barTop + barHeight, viewWidth,
                                       std::max(0, viewHeight - kResultsInset));
}

void MainViewController::layoutTabBar()
{
    const QSize bar = m_tabBar->size();
    m_addButton->move((bar.width() - m_addButton->width()) / 2,
                      (bar.height() - m_addButton->height()) / 2);
    for (auto *field : m_tabBar->findChildren<AddAppViewController *>(Qt::FindDirectChildrenOnly))
        field->setGeometry(0, (bar.height() - field->height()) / 2, bar.width(), field->height());
}

void MainViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutViews();
}

void MainViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateShakeAnimation();
    // The window opens with the keyboard on the list, whatever of the window's own had it
    // before (else the first control that takes Tab, in the header); what was put over the
    // window (the add field, a sheet) keeps it.
    QWidget *focus = window()->focusWidget();
    TableView *table = m_listViewController->tableView();
    if (!event->spontaneous() && table->isVisibleTo(this)
        && (!focus || focus == m_tabBar || focus == m_addButton
            || m_headerController->isAncestorOf(focus) || m_mainContentView->isAncestorOf(focus)))
        table->setFocus(Qt::OtherFocusReason);
}

void MainViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A closed window keeps running in the background for a long time; its shake would keep
    // the animation clock ticking for nobody. It starts again when the window is shown.
    stopShakeAnimation();
}

bool MainViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tabBar && event->type() == QEvent::Resize)
        layoutTabBar();
    // Sent before the window gives the focus back to where it was; what is set now stays.
    if (watched == window() && event->type() == QEvent::WindowActivate
        && std::exchange(m_focusListOnActivation, false)) {
        window()->removeEventFilter(this);
        focusListArea();
    }
    return QWidget::eventFilter(watched, event);
}

void MainViewController::listWasDeleted()
{
    // The deleted list's page may have held the focus, and the question asked before deleting
    // holds it until its window is gone; whichever comes last, the keyboard lands on the list.
    if (!isVisible())
        return;
    if (window()->isActiveWindow()) {
        focusListArea();
        return;
    }
    m_focusListOnActivation = true;
    window()->installEventFilter(this);
    window()->activateWindow();
}

void MainViewController::focusListArea()
{
    TableView *table = m_listViewController->tableView();
    if (table->isVisible() && table->numberOfRows() > 0)
        table->setFocus(Qt::ShortcutFocusReason);
    else if (m_addButton->isVisible())
        m_addButton->setFocus(Qt::ShortcutFocusReason);
}

void MainViewController::mousePressEvent(QMouseEvent *event)
{
    // The window moves when dragged by its background (header and bar included).
    if (event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

// Presenting

void MainViewController::presentViewController(QWidget *controller, PresentationAnimator *animator)
{
    animator->setParent(this);
    if (auto *field = qobject_cast<AddAppViewController *>(controller))
        field->setPresentingViewController(this);
    else if (auto *results = qobject_cast<SearchResultsViewController *>(controller))
        results->setPresentingViewController(this);
    m_presentations.push_back({ controller, animator });
    animator->animatePresentation(controller, this);
}

void MainViewController::dismissViewController(QWidget *controller)
{
    const auto found
        = std::find_if(m_presentations.begin(), m_presentations.end(),
                       [controller](const Presentation &p) { return p.controller == controller; });
    if (found == m_presentations.end())
        return;
    const QPointer<PresentationAnimator> animator = found->animator;
    m_presentations.erase(found);
    if (auto *field = qobject_cast<AddAppViewController *>(controller))
        field->setDismissing();
    if (animator)
        animator->animateDismissal(controller, this);
}

AddAppViewController *MainViewController::addAppViewController() const
{
    for (const Presentation &presentation : m_presentations) {
        if (auto *field = qobject_cast<AddAppViewController *>(presentation.controller.data()))
            return field;
    }
    return nullptr;
}

SearchResultsViewController *MainViewController::searchResultsViewController() const
{
    for (const Presentation &presentation : m_presentations) {
        if (auto *results
            = qobject_cast<SearchResultsViewController *>(presentation.controller.data()))
            return results;
    }
    return nullptr;
}

void MainViewController::finishTransitionsOf(const char *className)
{
    for (PresentationAnimator *animator : findChildren<PresentationAnimator *>()) {
        if (animator->inherits(className) && animator->isDismissing())
            animator->finishNow();
    }
}

void MainViewController::addApp()
{
    if (AddAppViewController *open = addAppViewController()) {
        open->searchTextField()->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The bar takes one add field at a time: one still leaving goes at once.
    finishTransitionsOf("tanvill::ReplacementSegue");
    auto *field = new AddAppViewController;
    prepareAddAppViewController(field);
    (new ReplacementSegue(this))->perform(this, field);
}

void MainViewController::prepareAddAppViewController(AddAppViewController *controller)
{
    controller->setDelegate(this);
    stopShakeAnimation();
}

void MainViewController::stopShakeAnimation()
{
    delete m_shake;
    m_shake = nullptr;
    m_addButton->setRotation(0.0);
}

void MainViewController::addList()
{
    if (m_listCreator) {
        m_listCreator->raise();
        m_listCreator->activateWindow();
        return;
    }
    auto *creator = new ListCreator(m_services.listsController, this);
    creator->setDelegate(this);
    m_listCreator = creator;
    creator->open();
}

ListCreator *MainViewController::listCreator() const
{
    return m_listCreator.data();
}

// While the new-list sheet is open, the List menu's command that opens it is off.
void MainViewController::listEditorDidAppear(ListEditor *)
{
    if (AppShell *shell = AppShell::current())
        shell->setListMenuItemEnabled(kNewListMenuItem, false);
}

void MainViewController::listEditorDidDisappear(ListEditor *)
{
    m_listCreator = nullptr;
    if (AppShell *shell = AppShell::current())
        shell->setListMenuItemEnabled(kNewListMenuItem, true);
}

// The shake

bool MainViewController::isShaking() const
{
    return m_shake && m_shake->state() == QAbstractAnimation::Running;
}

void MainViewController::startShakeAnimation()
{
    delete m_shake;
    m_shake = new QVariantAnimation(this);
    m_shake->setDuration(kShakeDuration);
    m_shake->setLoopCount(-1);
    m_shake->setEasingCurve(QEasingCurve::Linear);
    for (const auto &[time, angle] : kShakeKeys)
        m_shake->setKeyValueAt(time, angle);
    connect(m_shake, &QVariantAnimation::valueChanged, m_addButton,
            [this](const QVariant &angle) { m_addButton->setRotation(angle.toReal()); });
    m_shake->start();
}

void MainViewController::updateShakeAnimation()
{
    List *selected = m_services.listsController.selectedList();
    const std::size_t count = selected ? selected->apps().size() : 0;
    const bool shaking = isShaking();
    if (!shaking && count == 0 && isVisible()) {
        startShakeAnimation();
    } else if (count > 0 && shaking) {
        stopShakeAnimation();
    }
}

} // namespace tanvill
