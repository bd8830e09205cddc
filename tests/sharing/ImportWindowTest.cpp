#include "SharingTestSupport.h"

#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "core/List.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "core/store/Database.h"
#include "platform/Analytics.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ASDownloadViewController.h"
#include "sharing/ASImportGuideViewController.h"
#include "sharing/AppShopperImportWindow.h"
#include "sharing/SpinningIndicator.h"
#include "support/FakeListServices.h"
#include "support/ManualAnimationClock.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

namespace {

// The window with `alert` as a sheet over it, the way the shell shows it.
void saveWithAlertSheet(QWidget *window, const Alert &shown, const QString &name)
{
    QMessageBox box(QMessageBox::Information, window->windowTitle(), shown.messageText,
                    QMessageBox::Ok, window);
    box.setInformativeText(shown.informativeText);
    box.setTextFormat(Qt::PlainText);
    box.setStyleSheet(QStringLiteral(
        "QLabel#qt_msgbox_label, QLabel#qt_msgbox_informativelabel { min-width: 260px; }"));
    box.show();
    const QPixmap alert = box.grab();
    box.hide();
    QImage image(qMax(window->width(), alert.width() + 40),
                 qMax(window->height(), alert.height() + 20), QImage::Format_ARGB32);
    image.fill(QColor(0x10, 0x10, 0x12));
    {
        QPainter painter(&image);
        painter.drawPixmap(0, 0, window->grab());
        painter.fillRect(QRect(QPoint(0, 0), window->size()), QColor(0, 0, 0, 90));
        painter.drawPixmap((window->width() - alert.width()) / 2, 0, alert);
    }
    image.save(QDir(testOutputDir("windows")).filePath(name + ".png"));
}

class ImportWindowTest : public ListsTest
{
protected:
    ImportWindowTest()
    {
        ASImportGuideViewController::setAnimationDuration(0);
        window = new AppShopperImportWindow(lists());
        window->setCompletionHandler([this] { ++completions; });
        window->showWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    ~ImportWindowTest() override { delete window.data(); }

    ASImportGuideViewController *guide() const { return window->guide(); }
    template<typename Step> Step *step() const
    {
        return window ? qobject_cast<Step *>(guide()->currentStep()) : nullptr;
    }

    void submit(const QString &name)
    {
        auto *user = step<ASUserViewController>();
        ASSERT_NE(user, nullptr);
        user->usernameTextField()->clear();
        QTest::keyClicks(user->usernameTextField(), name);
        QTest::mouseClick(user->startButton(), Qt::LeftButton);
    }

    ASImportViewController *waitForChoice()
    {
        EXPECT_TRUE(waitFor([&] { return step<ASImportViewController>() != nullptr; }, 10000));
        return step<ASImportViewController>();
    }

    // A one-page wish list of these applications, each on the platform given by the store kind.
    void serveWishlist(const QByteArray &user, const QList<std::pair<QString, QString>> &apps)
    {
        QStringList ids;
        for (const auto &[id, kind] : apps) {
            ids << id;
            store.setLookup(storeApp(id, kind));
        }
        site.setWishlistPage(user, 0, FakeListServices::wishlistPage(user, ids));
    }

    std::vector<QString> listNames()
    {
        std::vector<QString> names;
        for (List *list : lists().lists())
            names.push_back(list->name());
        return names;
    }

    FakeListServices site;
    FakeStore store;
    QPointer<AppShopperImportWindow> window;
    int completions = 0;
};

} // namespace

TEST_F(ImportWindowTest, AWishListBecomesOneNewListOfTheAppsNotYetKept)
{
    // The second page and the look-ups wait for the test, which looks at each step meanwhile.
    for (int page = 0; page < 3; ++page) {
        FakeResponse response = FakeResponse::bytes(
            wishlistFixture(QStringLiteral("appfan-%1.html").arg(page)), "text/html");
        if (page == 1)
            response.behaviour = FakeResponse::Behaviour::Held;
        site.setWishlistPage("appfan", page, response);
    }
    for (const QString &id : appfanPageZero() + appfanPageOneNew() + appfanPageTwo())
        store.setLookup(storeApp(id, id == "1289583905" ? "mac-software" : "software"));
    store.server().setHoldingAnswers(true);
    // One application is kept in a list, another in the archive.
    List *mine = lists().createList("Mine", ThemeName::Blue);
    lists().addApp({ cachedApp("409183694") }, mine);
    lists().addApp({ cachedApp("904280696") }, mine);
    lists().archiveApp(mine->apps().back());

    auto *user = step<ASUserViewController>();
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(window->size(), ASUserViewController::kSize);
    QTest::keyClicks(user->usernameTextField(), "appfan");
    saveRender(window, "import-user");
    QTest::mouseClick(user->startButton(), Qt::LeftButton);
    EXPECT_FALSE(user->usernameTextField()->isEnabled());
    EXPECT_TRUE(user->loadingIndicator()->isAnimating());

    // The first page's count shows while the second page is read.
    ASSERT_TRUE(waitFor([&] {
        auto *download = step<ASDownloadViewController>();
        return download && download->text() == Strings::localizedFormat("Found %li apps...", { 4 });
    }));
    EXPECT_EQ(window->size(), ASDownloadViewController::kSize);
    EXPECT_EQ(step<ASDownloadViewController>()->progressIndicator()->maximum(), 0) << "busy";
    ASSERT_TRUE(waitFor([&] { return site.requestedPages().size() == 2; }));
    site.server().releaseHeld();

    // The first five look-ups are answered, the others wait.
    ASSERT_TRUE(waitFor([&] { return store.server().currentConnections() == 5; }));
    store.server().releaseHeld();
    ASSERT_TRUE(waitFor(
        [&] {
            auto *download = step<ASDownloadViewController>();
            return download && download->percentage() > 0 && download->percentage() < 100;
        },
        10000));
    auto *download = step<ASDownloadViewController>();
    const QString text = download->text();
    const int done = QStringView(text).mid(11).toString().section(' ', 0, 0).toInt();
    EXPECT_EQ(text, Strings::localizedFormat("Downloaded %li apps...", { done }));
    EXPECT_EQ(download->progressIndicator()->value(), qRound(done * 100.0 / 8));
    saveRender(window, "import-download-progress");

    store.server().setHoldingAnswers(false);
    store.server().releaseHeld();
    ASImportViewController *choice = waitForChoice();
    ASSERT_NE(choice, nullptr);
    // The keyboard is on the page's first way at once, its ring with it.
    EXPECT_EQ(QApplication::focusWidget(), choice->newListButton());
    EXPECT_EQ(focusRingTarget(), choice->newListButton());
    EXPECT_EQ(choice->appCount(), 6);
    EXPECT_EQ(choice->label()->fullString(),
              Strings::localizedFormat("%li apps are ready to be imported!", { 6 }));
    EXPECT_EQ(window->size(), ASImportViewController::kSize);
    saveRender(window, "import-choice");

    const QPointer<ASImportViewController> guard(choice);
    QTest::mouseClick(choice->newListButton(), Qt::LeftButton);
    if (guard)
        guard->createNewList(); // a second click imports nothing more
    ASSERT_EQ(listNames(), std::vector<QString>({ "Mine", "AppShopper Import" }));
    List *imported = lists().lists().back();
    EXPECT_EQ(imported->color(), "yellow");
    EXPECT_EQ(imported->apps().size(), 6u);
    EXPECT_EQ(lists().selectedList(), imported);
    EXPECT_EQ(services.analytics().eventNames().count("AppShopper Import"), 1);
    EXPECT_EQ(completions, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull()) << "the window closes after the import";
}

TEST_F(ImportWindowTest, SeparateListsAreMadeOnlyForPlatformsWithNewApps)
{
    serveWishlist("mixed",
                  { { "500000001", "software" },
                    { "500000002", "software" },
                    { "500000003", "mac-software" },
                    { "500000004", "iPadSoftware" } });
    List *mine = lists().createList("Mine", ThemeName::Blue);
    lists().addApp({ cachedApp("500000004", AppKind::Pad) }, mine);

    submit("mixed");
    ASImportViewController *choice = waitForChoice();
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->appCount(), 3);
    QTest::mouseClick(choice->separateListsButton(), Qt::LeftButton);

    ASSERT_EQ(
        listNames(),
        std::vector<QString>({ "Mine", "iPhone AppShopper Import", "Mac AppShopper Import" }));
    const std::vector<List *> all = lists().lists();
    EXPECT_EQ(all[1]->apps().size(), 2u);
    EXPECT_EQ(all[2]->apps().size(), 1u);
    EXPECT_EQ(all[1]->color(), "yellow");
    EXPECT_EQ(all[2]->color(), "yellow");
    EXPECT_EQ(lists().selectedList(), all[2]);
    EXPECT_EQ(completions, 1);
}

TEST_F(ImportWindowTest, ANewListIsSavedTogetherWithItsApps)
{
    serveWishlist("saved", { { "510000001", "software" } });
    // A file that refuses the applications: a list saved before them would stay there, empty.
    Database file;
    ASSERT_TRUE(file.open(lists().objectStore().path(), false));
    ASSERT_TRUE(
        file.exec("CREATE TRIGGER no BEFORE INSERT ON apps BEGIN SELECT RAISE(FAIL, ''); END"));
    submit("saved");
    ASSERT_NE(waitForChoice(), nullptr);
    QTest::mouseClick(step<ASImportViewController>()->newListButton(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !alerts.errors.empty(); }));
    EXPECT_EQ(file.queryInteger("SELECT count(*) FROM lists"), 0);
}

TEST_F(ImportWindowTest, AnExistingListIsChosenByTheListItselfNotItsName)
{
    serveWishlist("two", { { "600000001", "software" }, { "600000002", "mac-software" } });
    List *first = lists().createList("Same", ThemeName::Red);
    List *second = lists().createList("Same", ThemeName::Green);
    List *gone = lists().createList("Gone", ThemeName::Pink);
    services.settings().setValue("selectedList", 0);
    QObject observer;
    qint64 selectedWhenUpdated = -1;
    NotificationCenter::defaultCenter().addObserver(
        ListsControllerDidUpdateList, &observer, [&](const Notification &) {
            selectedWhenUpdated = services.settings().integer("selectedList");
        });

    submit("two");
    ASImportViewController *choice = waitForChoice();
    ASSERT_NE(choice, nullptr);
    QComboBox *popUp = choice->listSelectionPopUpButton();
    ASSERT_EQ(popUp->count(), 4) << "one item before the lists";
    lists().createList("Later", ThemeName::Cyan);
    EXPECT_EQ(popUp->count(), 4) << "the lists of the moment the step was made";

    // A list deleted meanwhile is no choice.
    ASSERT_FALSE(lists().deleteList(gone));
    popUp->setCurrentIndex(3);
    emit popUp->activated(3);
    EXPECT_TRUE(first->apps().empty());
    EXPECT_EQ(completions, 0);

    popUp->setCurrentIndex(2);
    emit popUp->activated(2);
    EXPECT_TRUE(first->apps().empty());
    EXPECT_EQ(second->apps().size(), 2u);
    EXPECT_EQ(selectedWhenUpdated, second->index());
    EXPECT_EQ(completions, 1);
}

TEST_F(ImportWindowTest, NothingToImportOrAFailureLeadsBackToTheUserStepWithTheNameTyped)
{
    serveWishlist("kept", { { "700000001", "software" }, { "700000002", "software" } });
    List *mine = lists().createList("Mine", ThemeName::Blue);
    lists().addApp({ cachedApp("700000001") }, mine);
    lists().addApp({ cachedApp("700000002") }, mine);
    lists().archiveApp(mine->apps().back());
    const size_t listsBefore = lists().lists().size();
    const size_t alertsBefore = alerts.alerts.size(); // the first-archive notice

    submit("kept");
    ASSERT_TRUE(waitFor([&] { return alerts.alerts.size() == alertsBefore + 1; }, 10000));
    EXPECT_EQ(alerts.alerts.back().messageText, Strings::localized("No apps to import!"));
    EXPECT_EQ(alerts.alerts.back().informativeText, Strings::localized("ASImportNoAppsHint"));
    auto *fresh = step<ASUserViewController>();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->usernameTextField()->text(), "kept");
    EXPECT_TRUE(fresh->usernameTextField()->isEnabled());
    EXPECT_TRUE(fresh->startButton()->isEnabled());
    EXPECT_EQ(lists().lists().size(), listsBefore);

    saveWithAlertSheet(window, alerts.alerts.back(), "import-no-apps");

    AppShopperImporter *before = guide()->importer();
    submit("nobody");
    EXPECT_NE(guide()->importer(), before) << "each submission has its own importer";
    ASSERT_TRUE(waitFor([&] { return alerts.alerts.size() == alertsBefore + 2; }, 10000));
    EXPECT_EQ(alerts.alerts.back().messageText, Strings::localized("No wish list found!"));
    ASSERT_NE(step<ASUserViewController>(), nullptr);
    EXPECT_EQ(step<ASUserViewController>()->usernameTextField()->text(), "nobody");
    EXPECT_TRUE(step<ASUserViewController>()->usernameTextField()->isEnabled());
    EXPECT_EQ(completions, 0);
}

TEST_F(ImportWindowTest, OpensWhollyOnTheScreenAndAfterAnEmptyWishListShowsTheWholeUserStep)
{
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry()));
    EXPECT_LE((window->frameGeometry().center() - screen.center()).manhattanLength(), 2);

    // The download step shows and goes at once; its change of size must not outlast it.
    ManualAnimationClock clock;
    ASImportGuideViewController::setAnimationDuration(120);
    site.setWishlistPage("nobody", 0, FakeResponse::bytes("<html><p>None</p></html>", "text/html"));
    submit("nobody");
    ASSERT_TRUE(waitFor([&] { return !alerts.alerts.empty(); }));
    EXPECT_EQ(alerts.alerts.back().messageText, Strings::localized("No wish list found!"));
    EXPECT_EQ(alerts.alerts.back().window, window) << "a sheet on the import window";
    clock.advance(400);
    EXPECT_EQ(window->size(), ASUserViewController::kSize);
    saveWithAlertSheet(window, alerts.alerts.back(), "import-no-wish-list");

    QTest::keyClick(window->focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(completions, 1);
}

TEST_F(ImportWindowTest, APlaceOffTheScreenNowIsKeptUntilTheUserMovesTheWindow)
{
    // Left where a larger screen reached: it opens centred, and only a move of the user's
    // replaces that place.
    const QString key = windowFrameSettingsKey(QStringLiteral("ASImportWindowFrame"));
    const QRect screen = window->screen()->availableGeometry();
    const QString leftAt = QStringLiteral("%1 %2").arg(screen.right() + 400).arg(screen.top());
    for (const bool moved : { false, true }) {
        UserDefaults::standard().setValue(key, leftAt);
        AppShopperImportWindow again(lists());
        again.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
        EXPECT_TRUE(screen.contains(again.frameGeometry()));
        if (moved)
            again.move(again.pos() + QPoint(10, 10));
        again.close();
        EXPECT_EQ(UserDefaults::standard().string(key) == leftAt, !moved);
    }
}

TEST_F(ImportWindowTest, ClosingMidDownloadStopsItsRequestsAndCallsNothingMore)
{
    QList<std::pair<QString, QString>> apps;
    for (int i = 0; i < 12; ++i)
        apps.append({ QString::number(800000000 + i), "software" });
    serveWishlist("slow", apps);
    store.setDefaultResponse(FakeResponse::behaving(FakeResponse::Behaviour::Stall));
    for (const auto &[id, kind] : apps)
        store.setLookup(id, FakeResponse::behaving(FakeResponse::Behaviour::Stall));

    submit("slow");
    ASSERT_TRUE(waitFor([&] { return store.lookupRequestCount() >= 5; }));
    ASSERT_NE(step<ASDownloadViewController>(), nullptr);
    window->close();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(services.httpClient().runningRequestCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    // Every look-up was let go, as the store sees it, and an answer asked for later has come.
    ASSERT_TRUE(waitForLaterAnswer(store.server()));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(alerts.alerts.empty());
    EXPECT_TRUE(lists().lists().empty());
}

TEST(ImportStepsTest, TheUserStepSubmitsOnceAndOnlyWithAName)
{
    struct Recorder : ASUserViewControllerDelegate
    {
        QStringList names;
        void userViewControllerDidSubmitUsername(ASUserViewController *,
                                                 const QString &name) override
        {
            names << name;
        }
    } recorder;
    ASUserViewController step;
    step.delegate = &recorder;
    EXPECT_FALSE(step.startButton()->isEnabled());
    QTest::keyClick(step.usernameTextField(), Qt::Key_Return);
    QTest::keyClicks(step.usernameTextField(), "a");
    EXPECT_TRUE(step.startButton()->isEnabled());
    QTest::keyClick(step.usernameTextField(), Qt::Key_Backspace);
    EXPECT_FALSE(step.startButton()->isEnabled());
    QTest::keyClicks(step.usernameTextField(), " a ");
    step.startLoading();
    step.startLoading();
    EXPECT_EQ(recorder.names, QStringList({ " a " }));
    EXPECT_FALSE(step.usernameTextField()->isEnabled());
    EXPECT_FALSE(step.startButton()->isEnabled());
    EXPECT_TRUE(step.loadingIndicator()->isAnimating());
    step.stopLoading();
    EXPECT_TRUE(step.startButton()->isEnabled());
    EXPECT_FALSE(step.loadingIndicator()->isAnimating());
}

TEST_F(ImportWindowTest, LongListNamesAreShortenedInTheListPopUpWithTheWholeNameAsToolTip)
{
    const QString longName = "Apps for the whole family to try out over the summer holidays";
    lists().createList(longName, ThemeName::Green);
    ASImportViewController step(lists().lists());
    EXPECT_TRUE(step.listSelectionPopUpButton()->itemText(1).contains(QChar(0x2026)));
    EXPECT_EQ(step.listSelectionPopUpButton()->itemData(1, Qt::ToolTipRole), longName);
}

TEST(ImportStepsTest, TheCountOfAppsReadyIsSingularForOneApp)
{
    ASImportViewController step({});
    step.setAppCount(1);
    EXPECT_EQ(step.label()->fullString(), "1 app is ready to be imported!");
    step.setAppCount(2);
    EXPECT_EQ(step.label()->fullString(), "2 apps are ready to be imported!");
}
