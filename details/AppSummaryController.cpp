// Making a summary controller, binding views to it and keeping them current. The actions are
// in AppSummaryActions.cpp.
#include "details/AppSummaryController.h"

#include "controls/AppIconView.h"
#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "controls/MenuItemTitle.h"
#include "controls/RatingView.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/PriceFormatter.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"
#include "platform/Strings.h"
#include "store/ImageCache.h"
#include "store/widgets/ImageViewBinding.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QSet>

#include <algorithm>

namespace tanvill {

namespace {

// Posted by the list editor when it closes after a rename (or a colour change).
const QString kListEditorDidUpdateList
    = QStringLiteral("Tanvill.ListEditorDidUpateListNotification");

bool isInside(const QObject *object, const QObject *owner)
{
    for (const QObject *current = object; current; current = current->parent()) {
        if (current == owner)
            return true;
    }
    return false;
}

} // namespace

std::shared_ptr<AppSummaryController>
AppSummaryController::create(App *app, AppSummaryConfiguration configuration)
{
    return create(app, configuration, ListsController::sharedController());
}

std::shared_ptr<AppSummaryController>
AppSummaryController::create(App *app, AppSummaryConfiguration configuration,
                             ListsController &lists)
{
    Q_ASSERT(app);
    std::shared_ptr<AppSummaryController> controller(
        new AppSummaryController(app, configuration, lists));
    if (configuration == AppSummaryConfiguration::List)
        controller->startObserving();
    return controller;
}

AppSummaryController::AppSummaryController(App *app, AppSummaryConfiguration configuration,
                                           ListsController &lists)
    : m_app(app), m_identifier(app->identifier()), m_configuration(configuration), m_lists(lists)
{ }

AppSummaryController::~AppSummaryController()
{
    for (BoundView &view : m_views)
        forget(view);
    // Rows make and drop controllers as they scroll: their observations go at once rather than
    // piling up until the next notification.
    if (NotificationCenter *center = SharedInstance<NotificationCenter>::find())
        center->removeObservers(this);
}

void AppSummaryController::startObserving()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    const auto updateMenus = [this](const Notification &) {
        updateMoveMenu();
    };
    center.addObserver(ListsControllerDidAddList, this, updateMenus, &m_lists);
    center.addObserver(ListsControllerDidDeleteList, this, updateMenus, &m_lists);
    center.addObserver(
        ListsControllerDidMoveApp, this,
        [this](const Notification &notification) { appDidMove(notification); }, &m_lists);
    center.addObserver(
        ListsControllerDidReloadApps, this,
        [this](const Notification &notification) { appDidUpdate(notification); }, &m_lists);
    // The submenu is titled by list names in list order: renames and rearrangements change it.
    center.addObserver(ListsControllerDidRearrangeLists, this, updateMenus, &m_lists);
    center.addObserver(kListEditorDidUpdateList, this, updateMenus);
}

AppSummaryController::BoundView &AppSummaryController::bind(ViewKind kind, QObject *object)
{
    prune();
    const auto found = std::find_if(m_views.begin(), m_views.end(), [&](const BoundView &view) {
        return view.kind == kind && view.object == object;
    });
    if (found != m_views.end()) {
        forget(*found);
        found->archiveMode = false;
        return *found;
    }
    m_views.push_back({ kind, object, {}, false });
    return m_views.back();
}

void AppSummaryController::forget(BoundView &view)
{
    for (const QMetaObject::Connection &connection : view.connections)
        QObject::disconnect(connection);
    view.connections.clear();
    if (view.kind == ViewKind::Menu) {
        if (QMenu *submenu = moveSubmenu(view))
            submenu->clear();
    }
}

void AppSummaryController::prune()
{
    std::erase_if(m_views, [](const BoundView &view) { return view.object.isNull(); });
}

void AppSummaryController::releaseViews(const QObject *owner)
{
    if (!owner)
        return;
    for (BoundView &view : m_views) {
        if (view.object && isInside(view.object, owner)) {
            forget(view);
            view.object = nullptr;
        }
    }
    prune();
}

int AppSummaryController::boundViewCount() const
{
    return int(std::count_if(m_views.begin(), m_views.end(),
                             [](const BoundView &view) { return !view.object.isNull(); }));
}

void AppSummaryController::setIconView(AppIconView *view)
{
    if (!view)
        return;
    bind(ViewKind::Icon, view);
    fillIcon(view);
}

void AppSummaryController::fillIcon(AppIconView *view) const
{
    setImageUrl(view, m_app->iconUrl(), appPlaceholderImage());
    view->setAppKind(m_app->appKind());
}

void AppSummaryController::setNameLabel(Label *label)
{
    if (!label)
        return;
    bind(ViewKind::Name, label);
    label->setStringValue(m_app->name());
}

void AppSummaryController::setDeveloperLabel(Label *label)
{
    if (!label)
        return;
    bind(ViewKind::Developer, label);
    label->setStringValue(m_app->developer());
}

void AppSummaryController::setRatingView(RatingView *view)
{
    if (!view)
        return;
    bind(ViewKind::Rating, view);
    view->setRating(m_app->rating());
}

QString AppSummaryController::priceText() const
{
    if (m_app->price().isZero())
        return Strings::localized(QStringLiteral("Free"));
    // In its own currency: until the next refresh it need not be the latest answer's.
    return localizedPriceStringInCurrency(m_app->price(), m_app->currencyCode());
}

void AppSummaryController::setBuyButton(BorderedButton *button)
{
    if (!button)
        return;
    BoundView &binding = bind(ViewKind::BuyButton, button);
    binding.connections.push_back(connect(button, &QAbstractButton::clicked, this,
                                          [this, button] { onBuyButtonClicked(button); }));
    fillBuyButton(binding);
}

void AppSummaryController::fillBuyButton(BoundView &binding)
{
    binding.archiveMode = false;
    if (auto *button = qobject_cast<BorderedButton *>(binding.object))
        button->setTitle(priceText());
}

void AppSummaryController::onBuyButtonClicked(QObject *button)
{
    const auto binding = std::find_if(m_views.begin(), m_views.end(), [&](const BoundView &view) {
        return view.kind == ViewKind::BuyButton && view.object == button;
    });
    if (binding != m_views.end() && binding->archiveMode)
        archiveApp();
    else
        viewInAppStore(button);
}

void AppSummaryController::configureButton(QAbstractButton *button,
                                           void (AppSummaryController::*action)())
{
    if (!button)
        return;
    BoundView &binding = bind(ViewKind::ActionButton, button);
    binding.connections.push_back(connect(button, &QAbstractButton::clicked, this, action));
}

void AppSummaryController::configureViewInStoreButton(QAbstractButton *button)
{
    if (!button)
        return;
    BoundView &binding = bind(ViewKind::ActionButton, button);
    binding.connections.push_back(
        connect(button, &QAbstractButton::clicked, this, [this] { viewInAppStore(); }));
}

void AppSummaryController::configureCopyLinkButton(QAbstractButton *button)
{
    configureButton(button, &AppSummaryController::copyLink);
}

void AppSummaryController::configureMoveButton(QAbstractButton *button)
{
    if (!button)
        return;
    BoundView &binding = bind(ViewKind::ActionButton, button);
    binding.connections.push_back(
        connect(button, &QAbstractButton::clicked, this, [this, button] { showMoveMenu(button); }));
}

void AppSummaryController::configureArchiveButton(QAbstractButton *button)
{
    configureButton(button, &AppSummaryController::archiveApp);
}

void AppSummaryController::configureDeleteButton(QAbstractButton *button)
{
    configureButton(button, &AppSummaryController::deleteApp);
}

void AppSummaryController::setContextMenu(QMenu *menu)
{
    if (!menu)
        return;
    BoundView &binding = bind(ViewKind::Menu, menu);
    wireMenu(binding);
}

void AppSummaryController::wireMenu(BoundView &binding)
{
    auto *menu = qobject_cast<QMenu *>(binding.object);
    const QList<QAction *> items = menu->actions();
    const auto wire = [&](int position, auto action) {
        if (position < items.size())
            binding.connections.push_back(
                connect(items[position], &QAction::triggered, this, action));
    };
    wire(0, [this] { viewInAppStore(); });
    wire(1, &AppSummaryController::copyLink);
    if (m_configuration == AppSummaryConfiguration::List) {
        wire(2, &AppSummaryController::reloadApp);
        updateMoveMenu(binding);
        wire(4, &AppSummaryController::archiveApp);
        wire(5, &AppSummaryController::deleteApp);
        if (items.size() >= 7)
            wire(6, &AppSummaryController::copyAppID);
    } else {
        wire(2, &AppSummaryController::deleteApp);
        if (items.size() >= 4)
            wire(3, &AppSummaryController::copyAppID);
    }
}

QMenu *AppSummaryController::moveSubmenu(const BoundView &binding) const
{
    if (m_configuration != AppSummaryConfiguration::List)
        return nullptr;
    auto *menu = qobject_cast<QMenu *>(binding.object);
    if (!menu || menu->actions().size() <= 3)
        return nullptr;
    return menu->actions().at(3)->menu();
}

std::vector<List *> AppSummaryController::moveTargets() const
{
    std::vector<List *> targets;
    if (m_app->isDeleted())
        return targets;
    for (List *list : m_lists.lists()) {
        if (list != m_app->list())
            targets.push_back(list);
    }
    return targets;
}

void AppSummaryController::updateMoveMenu()
{
    prune();
    for (BoundView &view : m_views) {
        if (view.kind == ViewKind::Menu)
            updateMoveMenu(view);
    }
}

void AppSummaryController::updateMoveMenu(BoundView &binding)
{
    QMenu *submenu = moveSubmenu(binding);
    if (!submenu)
        return;
    // With a single list there is nowhere to move to: the item is off, and its submenu (which
    // the move button shows on its own) says so and offers nothing, so no entry of a deleted
    // list can be picked.
    const bool enabled = m_lists.lists().size() >= 2;
    qobject_cast<QMenu *>(binding.object)->actions().at(3)->setEnabled(enabled);
    submenu->clear();
    submenu->setToolTipsVisible(true);
    if (!enabled)
        submenu->addAction(Strings::localized(QStringLiteral("No other lists")))->setEnabled(false);
    // Filled as it opens: a table makes a menu for every row in view, and each names every list.
    if (enabled && !binding.fillsMoveMenu) {
        binding.fillsMoveMenu = true;
        binding.connections.push_back(connect(submenu, &QMenu::aboutToShow, this,
                                              [this, submenu] { fillMoveMenu(submenu); }));
    }
}

void AppSummaryController::fillMoveMenu(QMenu *submenu)
{
    if (!submenu->isEmpty() || m_lists.lists().size() < 2)
        return;
    for (List *list : moveTargets()) {
        QAction *entry = submenu->addAction(QString());
        setNameMenuItemTitle(entry, list->name());
        entry->setData(QVariant::fromValue(list));
        connect(entry, &QAction::triggered, this, [this, list] { moveApp(list); });
    }
}

void AppSummaryController::appDidMove(const Notification &notification)
{
    const std::optional<AppDeletion> moved = AppDeletion::fromUserInfo(notification.userInfo);
    if (moved && moved->identifier == m_identifier)
        updateMoveMenu();
}

void AppSummaryController::appDidUpdate(const Notification &notification)
{
    const std::optional<AppReload> reload = AppReload::fromUserInfo(notification.userInfo);
    if (reload && reload->identifiers.contains(m_identifier))
        refreshViews();
}

void AppSummaryController::refreshViews()
{
    prune();
    for (BoundView &view : m_views) {
        switch (view.kind) {
        case ViewKind::Name:
            static_cast<Label *>(view.object.data())->setStringValue(m_app->name());
            break;
        case ViewKind::Icon:
            fillIcon(static_cast<AppIconView *>(view.object.data()));
            break;
        case ViewKind::Rating:
            static_cast<RatingView *>(view.object.data())->setRating(m_app->rating());
            break;
        case ViewKind::Developer:
            static_cast<Label *>(view.object.data())->setStringValue(m_app->developer());
            break;
        case ViewKind::BuyButton:
            fillBuyButton(view);
            break;
        case ViewKind::Menu:
        case ViewKind::ActionButton:
            break;
        }
    }
}

} // namespace tanvill
