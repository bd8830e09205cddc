#include "support/StoreTestSupport.h"

#include "core/ListsControllerError.h"
#include "core/ListsControllerNotifications.h"
#include "platform/Analytics.h"
#include "platform/DockBadge.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

using namespace tanvill;

namespace {

const QString kSelected = QStringLiteral("selectedList");

class Lists : public test::StoreTest
{
protected:
    void makeLists(std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            controller().createList(QString::fromLatin1(name));
    }
    QStringList names()
    {
        QStringList result;
        for (const List *list : controller().lists())
            result << QStringLiteral("%1:%2").arg(list->name()).arg(list->index());
        return result;
    }
    // Names of the notifications posted from now on.
    QStringList &record()
    {
        NotificationCenter::defaultCenter().addObserver(
            {}, &m_observer,
            [this](const Notification &notification) {
                if (notification.name.startsWith("Tanvill.ListsController")) {
                    m_posted << notification.name;
                    m_info.push_back(notification.userInfo);
                }
            },
            &controller());
        return m_posted;
    }

    QObject m_observer;
    QStringList m_posted;
    std::vector<QVariantMap> m_info;
};

} // namespace

TEST_F(Lists, EmptyStoreCreatesTheArchiveOnFirstRequest)
{
    EXPECT_TRUE(controller().lists().empty());
    EXPECT_EQ(controller().selectedList(), nullptr);
    List *archive = controller().archive();
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(archive->index(), -1);
    EXPECT_EQ(archive->name(), "com.tanvill.Tanvill.Archive");
    EXPECT_FALSE(archive->color());
    EXPECT_EQ(controller().archive(), archive);
    EXPECT_TRUE(controller().lists().empty());

    reopen();
    EXPECT_TRUE(controller().lists().empty());
    EXPECT_EQ(controller().archive()->name(), "com.tanvill.Tanvill.Archive");
    EXPECT_EQ(countRows("SELECT count(*) FROM lists"), 1);
}

TEST_F(Lists, SelectedListFallsBackToTheFirst)
{
    makeLists({ "A", "B", "C" });
    UserDefaults::standard().setValue(kSelected, 5);
    EXPECT_EQ(controller().selectedList()->name(), "A");
    UserDefaults::standard().setValue(kSelected, -1);
    EXPECT_EQ(controller().selectedList()->name(), "A");
    UserDefaults::standard().setValue(kSelected, 2);
    EXPECT_EQ(controller().selectedList()->name(), "C");
}

TEST_F(Lists, CreatingAListAppendsAnnouncesThenSelectsIt)
{
    makeLists({ "A", "B" });
    Analytics::shared().clear();
    QVariant selectionWhenAnnounced;
    QObject observer;
    NotificationCenter::defaultCenter().addObserver(
        ListsControllerDidAddList, &observer, [&](const Notification &) {
            selectionWhenAnnounced = UserDefaults::standard().value(kSelected);
        });
    List *list = controller().createList("C", ThemeName::LightGreen);
    EXPECT_EQ(list->index(), 2);
    EXPECT_EQ(list->color(), QString("lightGreen"));
    EXPECT_EQ(selectionWhenAnnounced.toInt(), 1);
    EXPECT_EQ(UserDefaults::standard().integer(kSelected), 2);
    EXPECT_EQ(controller().selectedList(), list);
    EXPECT_EQ(Analytics::shared().eventNames(), QStringList { "Create List" });
    EXPECT_EQ(controller().createList("D")->color(), QString("yellow"));
}

TEST_F(Lists, TheOnlyListCannotBeDeleted)
{
    makeLists({ "A" });
    QStringList &posted = record();
    const std::optional<Error> error = controller().deleteList(controller().lists().front());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 3);
    EXPECT_EQ(error->domain, "com.tanvill.Tanvill.ListsController");
    EXPECT_EQ(error->description, Strings::localized("DelteOnlyListNotice"));
    EXPECT_TRUE(posted.isEmpty());
    EXPECT_EQ(names(), QStringList { "A:0" });
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(Lists, DeletingTheSelectedLastListSelectsThePreviousOne)
{
    makeLists({ "A", "B", "C" });
    bool deletedListExistedWhenSelectionMoved = false;
    QObject observer;
    UserDefaults::standard().observe(kSelected, &observer, [&](const QVariant &value) {
        if (value.toInt() == 1)
            deletedListExistedWhenSelectionMoved = controller().lists().size() == 3;
    });
    QStringList &posted = record();
    EXPECT_FALSE(controller().deleteList(controller().selectedList()));
    EXPECT_TRUE(deletedListExistedWhenSelectionMoved);
    EXPECT_EQ(names(), (QStringList { "A:0", "B:1" }));
    EXPECT_EQ(controller().selectedList()->name(), "B");
    EXPECT_EQ(posted, QStringList { ListsControllerDidDeleteList });
}

TEST_F(Lists, DeletingTheSelectedFirstListSelectsTheNextOne)
{
    makeLists({ "A", "B", "C" });
    UserDefaults::standard().setValue(kSelected, 0);
    EXPECT_FALSE(controller().deleteList(controller().selectedList()));
    EXPECT_EQ(names(), (QStringList { "B:0", "C:1" }));
    EXPECT_EQ(controller().selectedList()->name(), "B");

    UserDefaults::standard().setValue(kSelected, 0);
    EXPECT_FALSE(controller().deleteList(controller().selectedList()));
    EXPECT_EQ(controller().selectedList()->name(), "C");
}

TEST_F(Lists, DeletingAnotherListKeepsTheSelection)
{
    makeLists({ "A", "B", "C" });
    UserDefaults::standard().setValue(kSelected, 2);
    EXPECT_FALSE(controller().deleteList(controller().lists().front()));
    EXPECT_EQ(controller().selectedList()->name(), "C");
}

TEST_F(Lists, DeletingAListDeletesItsAppsAndScreenshots)
{
    makeLists({ "A", "B" });
    addApp(controller().lists()[0], "Kept", 2);
    addApp(controller().lists()[1], "Gone", 3);
    addApp(controller().lists()[1], "Gone too", 1);
    controller().saveWithAsync(false);
    ASSERT_EQ(countRows("SELECT count(*) FROM screenshots"), 6);

    controller().deleteList(controller().lists()[1]);
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT count(*) FROM apps"), 1);
    EXPECT_EQ(countRows("SELECT count(*) FROM screenshots"), 2);
    reopen();
    ASSERT_EQ(controller().apps().size(), 1u);
    EXPECT_EQ(controller().apps().front()->name(), "Kept");
}

TEST_F(Lists, MovingAListShiftsTheOnesBetween)
{
    makeLists({ "A", "B", "C" });
    record();
    controller().moveList(controller().lists()[0], 2);
    EXPECT_EQ(names(), (QStringList { "B:0", "C:1", "A:2" }));
    ASSERT_EQ(m_posted, QStringList { ListsControllerDidRearrangeLists });
    EXPECT_EQ(m_info[0].value(ListRearrangementOldIndex).toInt(), 0);
    EXPECT_EQ(m_info[0].value(ListRearrangementNewIndex).toInt(), 2);

    controller().moveList(controller().lists()[2], 0);
    EXPECT_EQ(names(), (QStringList { "A:0", "B:1", "C:2" }));

    controller().saveWithAsync(false);
    controller().moveList(controller().lists()[1], 1);
    EXPECT_EQ(m_posted.size(), 2);
    EXPECT_FALSE(context().hasChanges());

    reopen();
    EXPECT_EQ(names(), (QStringList { "A:0", "B:1", "C:2" }));
}

TEST_F(Lists, DockBadgeCountsWatchedAppsWhenAskedTo)
{
    makeLists({ "A", "B" });
    for (int i = 0; i < 12; ++i)
        addApp(controller().lists()[i % 2], QStringLiteral("App %1").arg(i));
    for (int i = 0; i < 3; ++i)
        addApp(controller().archive(), QStringLiteral("Old %1").arg(i));
    controller().updateDockTile();
    EXPECT_FALSE(DockBadge::label());

    UserDefaults::standard().setValue("displayAppCountAsIconBadge", true);
    EXPECT_EQ(DockBadge::label(), QString("12"));
    UserDefaults::standard().setValue("displayAppCountAsIconBadge", false);
    EXPECT_FALSE(DockBadge::label());

    UserDefaults::standard().setValue("displayAppCountAsIconBadge", true);
    for (App *app : controller().apps())
        app->setList(controller().archive());
    controller().updateDockTile();
    EXPECT_FALSE(DockBadge::label());
}

TEST_F(Lists, ListsAppsAndScreenshotsSurviveAReopen)
{
    makeLists({ "A", "B" });
    List *a = controller().lists()[0];
    App *first = addApp(a, "First", 3);
    addApp(a, "Second");
    App *third = addApp(a, "Third", 1);
    first->setPrice(*Decimal::fromString("1234.99"));
    first->setLastPrice(*Decimal::fromString("0.99"));
    first->setRating(4.5f);
    first->setLastRating(4.1f);
    first->setVersion("2.0");
    first->setLastVersion("1.9");
    first->setAppKind(AppKind::Mac);
    first->setNotes(QString("Wait for a sale"));
    first->setAppStoreDescription(QString::fromUtf8("Ünïcödé — 説明"));
    a->setApps({ third, first, a->apps()[1] });
    controller().saveWithAsync(false);

    reopen();
    List *reread = controller().lists()[0];
    ASSERT_EQ(reread->apps().size(), 3u);
    EXPECT_EQ(reread->apps()[0]->name(), "Third");
    EXPECT_EQ(reread->apps()[2]->name(), "Second");
    const App *app = reread->apps()[1];
    EXPECT_EQ(app->price().toString(), "1234.99");
    EXPECT_EQ(app->lastPrice().toString(), "0.99");
    EXPECT_EQ(app->rating(), 4.5f);
    EXPECT_EQ(app->lastRating(), 4.1f);
    EXPECT_EQ(app->lastVersion(), "1.9");
    EXPECT_EQ(app->appKind(), AppKind::Mac);
    EXPECT_EQ(app->notes(), QString("Wait for a sale"));
    EXPECT_FALSE(reread->apps()[0]->notes());
    EXPECT_EQ(app->appStoreDescription(), QString::fromUtf8("Ünïcödé — 説明"));
    ASSERT_EQ(app->screenshots().size(), 3u);
    EXPECT_EQ(app->screenshots()[0]->url(), "First/shot0.png");
    EXPECT_EQ(app->screenshots()[2]->url(), "First/shot2.png");
    EXPECT_EQ(app->screenshots()[1]->app(), app);
}

TEST_F(Lists, ControllerErrorsCarryTheirTexts)
{
    const Error duplicate
        = listsControllerError(ListsControllerErrorCode::AlreadyInList, { "Games" });
    EXPECT_TRUE(duplicate.description.contains("Games"));
    EXPECT_EQ(duplicate.recoverySuggestion, Strings::localized("MoveAppTutorial"));
    // It names the item of the app's menu as that menu titles it.
    EXPECT_TRUE(duplicate.recoverySuggestion.contains(Strings::localized("Move to List")));
    EXPECT_TRUE(duplicate.recoveryOptions.isEmpty());
    const Error reload = listsControllerError(ListsControllerErrorCode::RefreshFailed, { 1 });
    EXPECT_EQ(reload.description, "Failed to reload " + Strings::localized("app") + "!");
    EXPECT_EQ(reload.recoveryOptions,
              (QStringList { Strings::localized("OK"), Strings::localized("Request Support") }));
    EXPECT_EQ(listsControllerError(ListsControllerErrorCode::RefreshFailed, { 3 }).description,
              "Failed to reload " + Strings::localized("apps") + "!");
    EXPECT_EQ(listsControllerError(ListsControllerErrorCode::ListNotFound).description,
              "List not found");
}
