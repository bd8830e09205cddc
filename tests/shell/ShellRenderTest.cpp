// Renders the welcome window and the main window with its menus open to PNG files under
// <build>/test-output/windows/, for a person to look at.
#include "ShellTestSupport.h"
#include "core/ListsController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindowManager.h"
#include "lists/MainWindowController.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "sharing/ListShareSheet.h"
#include "shell/AppDelegate.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "shell/WelcomeViewController.h"
#include "store/CachedApp.h"
#include "support/FakeListServices.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

void save(const QImage &image, const QString &name)
{
    ASSERT_FALSE(image.isNull());
    const QString path = QDir(test::testOutputDir(QStringLiteral("windows")))
                             .filePath(name + QStringLiteral(".png"));
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

// The window with its open menus or sheets drawn where they stand on the screen.
QImage windowWithMenus(QWidget &window, const QList<QWidget *> &menus)
{
    test::drainEvents();
    const QPixmap frame = window.grab();
    QRect bounds(QPoint(0, 0), frame.size());
    for (QWidget *menu : menus)
        bounds |= QRect(window.mapFromGlobal(menu->pos()), menu->size());
    QImage image(bounds.size(), QImage::Format_ARGB32_Premultiplied);
    // Where a menu reaches past the window: the desktop behind it.
    image.fill(QColor(0x10, 0x10, 0x12));
    QPainter painter(&image);
    painter.drawPixmap(-bounds.topLeft(), frame);
    for (QWidget *menu : menus)
        painter.drawPixmap(window.mapFromGlobal(menu->pos()) - bounds.topLeft(), menu->grab());
    return image;
}

struct ShellRenderTest : test::ShellTest
{
    ShellRenderTest()
    {
        for (const char *name : { "Wishlist", "Work & Play", "Games" })
            services.listsController().createList(name);
        services.settings().setValue("selectedList", 1);
        services.settings().setValue("listSorting", "price");
        delegate.applicationDidFinishLaunching();
        window.move(200, 120);
        window.showWindow();
    }

    // Opens `menu` from the menu bar, like a click on its title.
    QMenu *openFromBar(QMenu *menu)
    {
        QMenuBar *bar = window.menuBar();
        const QRect title = bar->actionGeometry(menu->menuAction());
        menu->popup(bar->mapToGlobal(title.bottomLeft()));
        test::drainEvents();
        return menu;
    }

    AppDelegate delegate { services };
    MainWindowController &window = delegate.mainWindowController();
};

} // namespace

TEST_F(ShellRenderTest, ListMenu)
{
    QMenu *menu = openFromBar(delegate.mainMenu().listMenu());
    save(windowWithMenus(window, { menu }), "menu-list");
    menu->close();
}

TEST_F(ShellRenderTest, SortByMenu)
{
    QMenu *view = openFromBar(delegate.mainMenu().viewMenu());
    QMenu *sorting = delegate.mainMenu().sortingMenu();
    view->setActiveAction(sorting->menuAction());
    sorting->popup(view->mapToGlobal(view->actionGeometry(sorting->menuAction()).topRight()));
    save(windowWithMenus(window, { view, sorting }), "menu-view-sort-by");
    sorting->close();
    view->close();
}

TEST_F(ShellRenderTest, AppMenuOfAFocusedDetailWindow)
{
    CachedApp result;
    result.name = "Things 3";
    result.identifier = "904280696";
    App *app
        = services.listsController().addApp({ result }, services.listsController().lists()[0])[0];
    auto controller = AppSummaryController::create(app, AppSummaryConfiguration::List,
                                                   services.listsController());
    services.notificationCenter().post(DetailWindowManagerFocussedAppChanged, nullptr,
                                       { { DetailWindowManagerResponsibleSummaryController,
                                           QVariant::fromValue<QObject *>(controller.get()) } });
    QMenu *appMenu = openFromBar(delegate.mainMenu().appMenu());
    QMenu *move = delegate.mainMenu().moveAppMenu();
    const QRect moveItem = appMenu->actionGeometry(delegate.mainMenu().moveAppSubmenuItem);
    appMenu->setActiveAction(delegate.mainMenu().moveAppSubmenuItem);
    move->popup(appMenu->mapToGlobal(moveItem.topRight()));
    save(windowWithMenus(window, { appMenu, move }), "menu-app-focused");
    move->close();
    appMenu->close();
}

TEST_F(ShellRenderTest, QuitWarning)
{
    services.settings().setValue("NotifyAboutChanges.Pricing", true);
    alerts->preparedAnswers = { { 0, false } };
    delegate.terminate();
    ASSERT_EQ(alerts->alerts.size(), 1u);
    std::unique_ptr<QMessageBox> box(MessageBoxAlertPresenter::messageBox(alerts->alerts[0]));
    box->show();
    test::drainEvents();
    save(box->grab().toImage(), "quit-warning");
    // Return answers "No".
    QTest::keyClick(box.get(), Qt::Key_Return);
    EXPECT_EQ(MessageBoxAlertPresenter::answer(*box, alerts->alerts[0]).buttonIndex, 0);
}

TEST_F(ShellRenderTest, EverySheetFitsTheMainWindowAtItsDefaultAndSmallestSizes)
{
    test::FakeListServices sharing;
    sharing.setShareResponse(
        test::FakeResponse::json(R"({"url":"https://lists.example/l/8d3f2a"})").delayed(200));
    ListShareSheet::setAnimationDuration(0);
    services.settings().setValue("hasSeenListSharingInfo", true);
    const auto inside = [this](const QWidget *sheet) {
        return window.geometry().contains(QRect(sheet->mapToGlobal(QPoint()), sheet->size()));
    };
    const auto openSheet = [](QAction *item) {
        item->trigger();
        test::drainEvents();
        return qobject_cast<QDialog *>(QApplication::activeModalWidget());
    };
    Alert alert = alertForError(Error { {},
                                        0,
                                        "The list could not be shared.",
                                        "The sharing service did not answer in time. Check your "
                                        "connection and try again in a moment." },
                                &window);
    for (const QString size : { "default", "smallest" }) {
        window.resize(size == "default" ? QSize(420, 640) : QSize(1, 1));
        test::drainEvents();
        ListShareSheet *sheet
            = ListShareSheet::present(&window, services.listsController().lists()[1]);
        for (const QString state : { "preparing", "working", "done" }) {
            if (state == "working")
                sheet->share();
            const auto done = [&] {
                return sheet->state() == ListShareSheet::State::Done;
            };
            ASSERT_TRUE(state != "done" || test::waitFor(done));
            EXPECT_TRUE(inside(sheet) && inside(sheet->sendButton()) && inside(sheet->helpButton()))
                << state.toStdString() << " " << size.toStdString();
            save(window.grab().toImage(), "share-sheet-" + state + "-" + size);
        }
        sheet->cancel();
        for (auto [item, name] :
             { std::pair { delegate.mainMenu().addListItem, "new-list-sheet" },
               { delegate.mainMenu().listRearrangementMenuItem, "list-order-sheet" } }) {
            QDialog *dialog = openSheet(item);
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(window.geometry().contains(dialog->geometry())) << name;
            save(windowWithMenus(window, { dialog }), QString(name) + "-" + size);
            dialog->reject();
        }
        std::unique_ptr<QMessageBox> box(MessageBoxAlertPresenter::messageBox(alert));
        box->show();
        test::drainEvents();
        EXPECT_TRUE(window.geometry().contains(box->geometry())) << size.toStdString();
        save(windowWithMenus(window, { box.get() }), "alert-sheet-" + size);
    }
}

TEST(WelcomeRender, EmptyAndTyped)
{
    test::IsolatedHome home;
    test::ScriptedAlertPresenter *alerts = nullptr;
    Services services { test::recordingServicesOptions(&alerts) };
    WelcomeViewController welcome(services.listsController());
    welcome.show();
    test::drainEvents();
    save(welcome.grab().toImage(), "welcome-empty");
    QTest::keyClicks(welcome.wishlistNameTextField(), "Apps to buy");
    save(welcome.grab().toImage(), "welcome-typed");
}
