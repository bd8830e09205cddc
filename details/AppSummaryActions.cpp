// The per-application actions of AppSummaryController, started from a row's buttons and menu,
// a detail window or the App menu.
#include "details/AppSummaryController.h"

#include "controls/BorderedButton.h"
#include "controls/HoverButton.h"
#include "controls/ProgressHUD.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "platform/Clipboard.h"
#include "platform/Strings.h"
#include "platform/SupportRequest.h"
#include "platform/Workspace.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QUrl>

#include <algorithm>

namespace tanvill {

bool AppSummaryController::actionsAllowed() const
{
    if (m_app->isDeleted())
        return false;
    // A list row's controller that outlived its row (a detail window, a menu) must not act on
    // an application that went to the archive meanwhile.
    return m_configuration == AppSummaryConfiguration::Archive || !m_app->archived();
}

void AppSummaryController::viewInAppStore(QObject *sender)
{
    if (!actionsAllowed())
        return;
    const QString scheme = m_app->appKind() == AppKind::Mac ? QStringLiteral("macappstore")
                                                            : QStringLiteral("itunes");
    Workspace::shared().openStoreURL(QUrl(m_app->affiliatedStoreUrl()), scheme);

    // A price button that opened the store now offers to archive the application; hover
    // buttons and menu items stay as they are.
    if (!sender || qobject_cast<HoverButton *>(sender))
        return;
    for (BoundView &view : m_views) {
        if (view.kind == ViewKind::BuyButton && view.object == sender) {
            view.archiveMode = true;
            static_cast<BorderedButton *>(view.object.data())
                ->setTitle(Strings::localized(QStringLiteral("ArchiveButtonTitle")));
        }
    }
}

void AppSummaryController::copyLink()
{
    if (actionsAllowed())
        Clipboard::setText(m_app->affiliatedStoreUrl());
}

void AppSummaryController::copyAppID()
{
    if (actionsAllowed())
        Clipboard::setText(m_app->identifier());
}

void AppSummaryController::showMoveMenu(QWidget *sender)
{
    if (!sender || !actionsAllowed())
        return;
    prune();
    for (const BoundView &view : m_views) {
        if (view.kind != ViewKind::Menu)
            continue;
        QMenu *submenu = moveSubmenu(view);
        if (!submenu)
            continue;
        // With the item off, the submenu only says that there is nowhere to move to.
        submenu->popup(sender->mapToGlobal(QPoint(sender->width(), sender->height())));
        return;
    }
}

void AppSummaryController::moveApp(List *list)
{
    if (!list || !actionsAllowed())
        return;
    const std::vector<List *> targets = moveTargets();
    // The entry may name a list deleted since the menu was filled.
    if (std::find(targets.begin(), targets.end(), list) == targets.end())
        return;
    const std::shared_ptr<AppSummaryController> keep = shared_from_this();
    m_lists.moveApp(m_app, list);
}

void AppSummaryController::archiveApp()
{
    if (!actionsAllowed())
        return;
    // The row showing this controller may drop it while the archive is announced.
    const std::shared_ptr<AppSummaryController> keep = shared_from_this();
    // Rows, menus and price buttons act only in the active window: the one the user is in.
    m_lists.archiveApp(m_app, QApplication::activeWindow());
}

void AppSummaryController::deleteApp()
{
    if (!actionsAllowed())
        return;
    Alert alert;
    alert.style = Alert::Style::Informational;
    alert.messageText
        = Strings::localizedFormat(QStringLiteral("DeleteListTitle"), { m_app->name() });
    alert.informativeText = Strings::localized(QStringLiteral("This can't be undone."));
    alert.buttons
        = { Strings::localized(QStringLiteral("Yes")), Strings::localized(QStringLiteral("No")) };
    alert.cancelButton = 1;
    // On the window the user asked in (the list, the archive or the detail window); nothing
    // else takes input until it is answered.
    alert.window = QApplication::activeWindow();
    alert.blocksApplication = true;
    // The question does not hold up the event loop; the row that asked may be reused for
    // another application meanwhile, so the answer keeps this controller (and with it the
    // application it asked about) until it comes.
    AlertPresenter::current().present(alert,
                                      [self = shared_from_this()](const AlertAnswer &answer) {
                                          // While the question was open the application may have
                                          // been deleted or archived elsewhere.
                                          if (answer.buttonIndex == 0 && self->actionsAllowed())
                                              self->m_lists.deleteApp(self->m_app);
                                      });
}

void AppSummaryController::reloadApp()
{
    if (!actionsAllowed())
        return;
    QPointer<ProgressHUD> hud;
    if (QWidget *window = QApplication::activeWindow()) {
        hud = new ProgressHUD(window);
        hud->show();
    }
    m_reloading = true;
    const std::weak_ptr<AppSummaryController> weak = weak_from_this();
    m_lists.reloadApps(
        { m_app },
        [weak, hud](std::optional<Error> error, std::optional<std::vector<AppUpdate>>) {
            // The window under the overlay may have closed meanwhile.
            if (hud)
                hud->hide();
            if (const auto self = weak.lock())
                self->m_reloading = false;
            if (!error)
                return;
            presentErrorOfferingSupport(*error, AlertPresenter::current(), Workspace::shared(),
                                        hud ? hud->window() : nullptr);
        },
        Operation::QueuePriority::High);
}

} // namespace tanvill
