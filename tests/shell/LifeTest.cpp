// Start-up, reopen, links from later launches and quitting, through the application delegate.
#include "ShellTestSupport.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/SettingsKeys.h"
#include "core/store/Database.h"
#include "core/store/ObjectStore.h"
#include "lists/MainWindowController.h"
#include "platform/Analytics.h"
#include "platform/SingleInstance.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/LinkFolder.h"
#include "shell/LinkInbox.h"
#include "shell/UnfinishedLaunch.h"
#include "shell/UrlEvent.h"
#include "shell/WelcomeViewController.h"
#include "store/AppUpdater.h"
#include "support/FakeHttpServer.h"
#include "support/FakeStore.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace tanvill;

namespace {

struct LifeTest : test::ShellTest
{
    LifeTest()
    {
        delegate.setQuitHandler([this] { ++quits; });
    }

    bool welcomeShown() { return delegate.welcomeWindowController().isVisible(); }
    bool mainShown() { return delegate.mainWindowController().isVisible(); }
    int events(const QString &name) const
    {
        return int(services.analytics().eventNames().count(name));
    }

    AppDelegate delegate { services };
    int quits = 0;
};

} // namespace

TEST(Links, OnlyAnAddAppPathWithADigitIdentifierIsARequest)
{
    const std::pair<const char *, std::optional<QString>> cases[] = {
        { "tanvill:///addApp?id=123", "123" },
        { "tanvill:/addApp?id=123&x", "123" },
        { "tanvill:///addApp?id=1&id=2", "2" },
        { "tanvill:///addApp?x=1&id=904280696&y=a=b", "904280696" },
        { "tanvill:///addApp?id=1=2", std::nullopt },
        { "tanvill:///addapp?id=1", std::nullopt },
        { "tanvill:///addApp/?id=1", std::nullopt },
        { "tanvill://addApp?id=1", std::nullopt },
        { "tanvill:///addApp", std::nullopt },
        { "tanvill:///addApp?id=", std::nullopt },
        { "tanvill:///addApp?id=12a", std::nullopt },
        { "tanvill:///addApp?id=%31", std::nullopt },
        { "tanvill:///addApp?id=-1", std::nullopt },
        { "tanvill:///addApp?id=12345678901234567890", std::nullopt },
        { "tanvill:///add%41pp?id=1", std::nullopt },
        { "tanvill:///addApp?id%3D1", std::nullopt },
        { "https:///addApp?id=1", std::nullopt },
        { "reopen", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto &[link, identifier] : cases)
        EXPECT_EQ(addAppIdentifierFromLink(QString::fromUtf8(link)), identifier) << link;
}

TEST_F(LifeTest, AFirstStartShowsTheWelcomeWindowAndAStoreWithListsTheMainWindow)
{
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(welcomeShown());
    EXPECT_FALSE(delegate.mainWindowController().isVisible());
    EXPECT_FALSE(delegate.mainMenu().listSubmenuItem->isEnabled());

    delegate.welcomeWindowController().close();
    delegate.applicationShouldHandleReopen();
    EXPECT_TRUE(welcomeShown());

    services.listsController().createList("Games");
    delegate.welcomeWindowController().close();
    for (int reopen = 0; reopen < 3; ++reopen)
        delegate.applicationShouldHandleReopen();
    EXPECT_TRUE(mainShown());
    EXPECT_FALSE(welcomeShown());
    ASSERT_EQ(delegate.windowMenu().itemCount(), 1);
    EXPECT_EQ(delegate.windowMenu().itemForWindow(&delegate.mainWindowController())->text(),
              "&1 Games");
}

TEST_F(LifeTest, TheFirstStartsMainWindowOpensInTheMiddleOfTheScreen)
{
    delegate.applicationDidFinishLaunching();
    auto *name = delegate.welcomeWindowController().findChild<QLineEdit *>();
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, "Games");
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(mainShown());
    const MainWindowController &window = delegate.mainWindowController();
    const QPoint off
        = window.frameGeometry().center() - window.screen()->availableGeometry().center();
    EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
}

TEST_F(LifeTest, ALinkAddsTheAppToTheSelectedListThroughTheMainWindow)
{
    test::FakeHttpServer server;
    server.setRoute(
        "/lookup", test::FakeResponse::file(test::fixturesDir() + "/store/lookup/mac-things.json"));
    qputenv("TANVILL_STORE_URL", server.baseUrl().toString().toUtf8());
    services.listsController().createList("Games");
    services.listsController().createList("Tools");
    services.settings().setValue("selectedList", 0);
    delegate.applicationDidFinishLaunching();
    delegate.mainWindowController().close();

    delegate.takeMessage("tanvill:///addApp?id=904280696&source=browser");
    ASSERT_TRUE(test::waitFor([&] { return !services.listsController().apps().empty(); }));
    EXPECT_TRUE(mainShown());
    EXPECT_EQ(services.listsController().lists()[0]->apps().size(), 1u);
    EXPECT_EQ(events("Safari Extension"), 1);

    // Unusable links do nothing at all, not even an alert, and are not kept.
    delegate.takeMessage("tanvill:///addApp?id=%31");
    delegate.takeMessage("tanvill://addApp?id=1");
    EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
    EXPECT_EQ(events("Safari Extension"), 1);
    EXPECT_TRUE(alerts->alerts.empty());
    EXPECT_TRUE(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).isEmpty());
    qunsetenv("TANVILL_STORE_URL");
}

TEST_F(LifeTest, ALinkWithoutAnyListShowsTheWelcomeWindowAndAddsNothing)
{
    delegate.applicationDidFinishLaunching();
    delegate.welcomeWindowController().close();
    // The link is counted once it was handled, the notice answered.
    alerts->whileShowing = [&](const Alert &) {
        EXPECT_EQ(events("Safari Extension"), 0);
    };
    delegate.takeMessage("tanvill:///addApp?id=123");
    ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 1; }));
    EXPECT_TRUE(welcomeShown());
    EXPECT_FALSE(mainShown());
    EXPECT_EQ(alerts->alerts[0].messageText,
              Strings::localized(QStringLiteral("AddAppNoListNotice")));
    EXPECT_EQ(events("Safari Extension"), 1);
    EXPECT_TRUE(services.listsController().lists().empty());
}

TEST_F(LifeTest, LinksWaitForTheEndOfLaunchAndForTheOneBeforeThem)
{
    // Links that came before the first window are taken after it, in order.
    delegate.takeMessage("tanvill:///addApp?id=1");
    delegate.takeMessage("reopen");
    test::drainEvents();
    EXPECT_EQ(delegate.waitingLinkCount(), 1);
    EXPECT_TRUE(alerts->alerts.empty());
    // While the notice about the first link is open, a third arrives: it waits its turn.
    int alertsWhileFirstOpen = -1;
    alerts->whileShowing = [&](const Alert &) {
        delegate.takeMessage("tanvill:///addApp?id=3");
        alertsWhileFirstOpen = int(alerts->alerts.size());
    };
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(alertsWhileFirstOpen, 1);
    EXPECT_EQ(alerts->alerts.size(), 2u);
    EXPECT_EQ(events("Safari Extension"), 2);
    EXPECT_EQ(delegate.waitingLinkCount(), 0);
}

TEST_F(LifeTest, ALinkWaitsWhileAModalWindowIsOpen)
{
    delegate.applicationDidFinishLaunching();
    QDialog modal;
    modal.setModal(true);
    modal.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &modal);
    delegate.takeMessage("tanvill:///addApp?id=1");
    test::drainEvents();
    EXPECT_EQ(delegate.waitingLinkCount(), 1);
    modal.close();
    EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
    EXPECT_EQ(alerts->alerts.size(), 1u);
}

TEST_F(LifeTest, AFloodOfLinksGivesOneAlertAtATimeAndTheLaunchesBeyondTheLimitAreToldNo)
{
    test::FakeHttpServer server;
    server.setRoute("/lookup", test::FakeResponse::json(R"({"resultCount":0,"results":[]})"));
    qputenv("TANVILL_STORE_URL", server.baseUrl().toString().toUtf8());
    services.listsController().createList("Games");
    delegate.applicationDidFinishLaunching();
    alerts->holdAnswers = true;
    QStringList refused;
    for (int n = 0; n < 450; ++n) { // each link three times
        const QString link = QStringLiteral("tanvill:///addApp?id=%1").arg(1 + n / 3);
        const instance::Answer answer = delegate.takeMessage(link);
        if (answer.kind == instance::Answer::Kind::Refused && !refused.contains(link))
            refused << link;
        EXPECT_TRUE(answer.kind == instance::Answer::Kind::Taken || answer.why.contains("100"));
    }
    EXPECT_EQ(delegate.waitingLinkCount(), LinkInbox::kMaxWaiting);
    ASSERT_EQ(refused.size(), 150 - LinkInbox::kMaxWaiting);
    EXPECT_EQ(refused.front(),
              QStringLiteral("tanvill:///addApp?id=%1").arg(LinkInbox::kMaxWaiting + 1));
    ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 1; }));
    alerts->held.front()({});
    ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 2; }));
    EXPECT_EQ(server.requestCount("/lookup"), 2) << "the next link waits for the answer";
    qunsetenv("TANVILL_STORE_URL");
}

TEST_F(LifeTest, QuittingAsksOnlyWhileRefreshesAndNotificationsAreOn)
{
    struct Case
    {
        bool automatic, pricing, version, rating, suppressed;
        bool asks;
    };
    const Case cases[] = {
        { true, false, false, false, false, false }, { true, false, false, true, false, true },
        { true, true, false, false, false, true },   { true, false, true, false, false, true },
        { false, true, true, true, false, false },   { true, true, true, true, true, false },
    };
    for (const Case &c : cases) {
        services.settings().setValue("AutomaticallyUpdateApps", c.automatic);
        services.settings().setValue("NotifyAboutChanges.Pricing", c.pricing);
        services.settings().setValue("NotifyAboutChanges.Version", c.version);
        services.settings().setValue("NotifyAboutChanges.Rating", c.rating);
        services.settings().setValue("suppressQuitWarning", c.suppressed);
        alerts->alerts.clear();
        alerts->preparedAnswers = { { 1, false } };
        EXPECT_EQ(delegate.applicationShouldTerminate(), AppDelegate::TerminateReply::Now);
        EXPECT_EQ(alerts->alerts.size(), c.asks ? 1u : 0u);
    }
}

TEST_F(LifeTest, TheQuitWarningDefaultsToNoAndKeepsTheSuppressionWhicheverButton)
{
    services.settings().setValue("NotifyAboutChanges.Rating", true);
    // Return (the first button, "No") keeps the program running.
    alerts->preparedAnswers = { { 0, false } };
    delegate.mainMenu().quitItem->trigger();
    EXPECT_EQ(quits, 0);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    const Alert &warning = alerts->alerts[0];
    EXPECT_EQ(warning.buttons, (QStringList { "No", "Yes" }));
    EXPECT_EQ(warning.cancelButtonIndex(), 0);
    EXPECT_TRUE(warning.showsSuppressionButton);
    EXPECT_EQ(warning.messageText, Strings::localized("NotificationQuitWarningTitle"));

    // "No" with the box ticked: still running, and never asked again.
    alerts->preparedAnswers = { { 0, true } };
    delegate.terminate();
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(services.settings().boolean("suppressQuitWarning"));
    delegate.terminate();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(alerts->alerts.size(), 2u);
}

TEST_F(LifeTest, ClosingTheLastWindowWithoutATrayQuitsTheWayQuitDoes)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    services.listsController().createList("Games");
    services.settings().setValue("NotifyAboutChanges.Version", true);
    delegate.applicationDidFinishLaunching();
    // "No": the program keeps running, and the window comes back to show it.
    delegate.mainWindowController().close();
    alerts->preparedAnswers = { { 0, false } };
    emit qApp->lastWindowClosed();
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(mainShown());
    // "Yes": it quits.
    delegate.mainWindowController().close();
    alerts->preparedAnswers = { { 1, false } };
    emit qApp->lastWindowClosed();
    EXPECT_TRUE(test::waitFor([&] { return quits == 1; }));
    EXPECT_EQ(alerts->alerts.size(), 2u);
}

TEST_F(LifeTest, QuittingSavesWhatIsPendingAndAFailedSaveIsOfferedAgain)
{
    List *list = services.listsController().createList("Games");
    services.listsController().saveWithAsync(false);
    const auto runSql = [](const QString &sql) {
        Database database;
        ASSERT_TRUE(database.open(ListsController::defaultStorePath(), true));
        ASSERT_TRUE(database.exec(sql)) << database.lastError().toStdString();
    };
    runSql("CREATE TRIGGER refuse BEFORE UPDATE ON lists BEGIN SELECT RAISE(ABORT, 'disk full'); "
           "END");
    list->setName("Renamed");
    // Retry while the disk still refuses, then Retry once it takes the changes again.
    alerts->preparedAnswers = { { 0, false }, { 0, false } };
    alerts->whileShowing = [&](const Alert &) {
        alerts->whileShowing = [&](const Alert &) {
            runSql("DROP TRIGGER refuse");
        };
    };
    delegate.terminate();
    EXPECT_EQ(quits, 1);
    ASSERT_EQ(alerts->alerts.size(), 2u);
    EXPECT_EQ(alerts->alerts[0].buttons, (QStringList { "Retry", "Quit Anyway" }));
    EXPECT_TRUE(alerts->alerts[0].informativeText.contains("disk full"));
    Database file;
    ASSERT_TRUE(file.open(ListsController::defaultStorePath(), false));
    EXPECT_EQ(file.queryText("SELECT name FROM lists WHERE idx = 0"), "Renamed");

    // Quit Anyway ends the program with the failure shown (the store's own report of the
    // failure takes an answer too); what could not be written is kept in a file beside the
    // store, and the user is told where.
    runSql("CREATE TRIGGER refuse BEFORE UPDATE ON lists BEGIN SELECT RAISE(ABORT, 'no'); END");
    list->setName("Kept");
    alerts->preparedAnswers = { { 1, false }, { 1, false } };
    delegate.terminate();
    EXPECT_EQ(quits, 2);
    ASSERT_EQ(alerts->alerts.size(), 4u);
    const QStringList kept = QDir(QFileInfo(ListsController::defaultStorePath()).path())
                                 .entryList({ "Tanvill.unsaved-*.sqlite" });
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(alerts->alerts.back().informativeText.contains(kept.front()));
    Database keptFile;
    ASSERT_TRUE(keptFile.open(
        QFileInfo(ListsController::defaultStorePath()).path() + "/" + kept.front(), false));
    EXPECT_EQ(keptFile.queryText("SELECT name FROM lists WHERE idx = 0"), "Kept");
}

TEST_F(LifeTest, EveryQuitKeepsChangesThatCannotBeWrittenAndTheNextStartSaysWhereOnce)
{
    List *list = services.listsController().createList("Games");
    services.listsController().saveWithAsync(false);
    Database file;
    ASSERT_TRUE(file.open(ListsController::defaultStorePath(), false)
                && file.exec("CREATE TRIGGER refuse BEFORE UPDATE ON lists BEGIN "
                             "SELECT RAISE(ABORT, 'disk full'); END"));
    // The session ends, but the logout is cancelled: Tanvill runs on.
    list->setName("First");
    EXPECT_TRUE(delegate.saveBeforeQuitting());
    // A later change, then SIGTERM: kept again, once, and nobody is asked.
    list->setName("Second");
    delegate.applicationWillTerminate();
    delegate.applicationWillTerminate();
    EXPECT_TRUE(alerts->alerts.empty());
    const QDir folder = QFileInfo(ListsController::defaultStorePath()).dir();
    QMultiMap<QString, QString> kept; // the files by the name of the list they keep
    for (const QString &name : folder.entryList({ "Tanvill.unsaved-*.sqlite" })) {
        ASSERT_TRUE(file.open(folder.filePath(name), false));
        kept.insert(file.queryText("SELECT name FROM lists").value_or(""), name);
    }
    ASSERT_EQ(kept.keys(), QStringList({ "First", "Second" }));
    // The next start names the latest, and the store it goes in place of; later ones do not.
    for (const size_t told : { 1u, 0u }) {
        alerts->alerts.clear();
        AppDelegate next(services);
        next.applicationDidFinishLaunching();
        ASSERT_EQ(alerts->alerts.size(), told);
        for (const QString &name : { kept.value("Second"), ListsController::defaultStorePath() })
            EXPECT_TRUE(!told || alerts->alerts[0].informativeText.contains(name));
        // The user answers.
        test::drainEvents();
    }
}

TEST_F(LifeTest, AStartThatCannotOpenTheStoreKeepsTheNoticeAndMergesItsLinksWithTheKeptOnes)
{
    const QString keptFile = home.path() + "/Tanvill.unsaved-20260101-000000.sqlite";
    ASSERT_TRUE(QFile(keptFile).open(QIODevice::WriteOnly));
    services.settings().setValue(SettingsKeys::KeptUnsavedChanges, keptFile);
    services.listsController().createList("Games");
    services.listsController().saveWithAsync(false);
    test::FakeStore store;
    for (const char *identifier : { "11", "12", "13", "14" })
        store.setLookup({ identifier });
    // Kept before: by an earlier start, and by a version that kept them in the settings.
    ASSERT_TRUE(LinkInbox().take(test::linkTo("11")));
    services.settings().setValue(SettingsKeys::PendingLinks, QStringList { test::linkTo("12") });
    {
        // This test's own services hold the store, as another copy would.
        RecordingAlertPresenter *blockedAlerts = nullptr;
        const std::unique_ptr<Services> blocked = test::anotherStart(&blockedAlerts);
        AppDelegate start(*blocked);
        start.setQuitHandler([] {});
        // Links clicked one after another while it tells the user.
        for (const char *identifier : { "13", "14", "11" })
            EXPECT_EQ(start.takeMessage(test::linkTo(identifier)).kind,
                      instance::Answer::Kind::Taken);
        start.applicationDidFinishLaunching();
        test::drainEvents();
        start.applicationWillTerminate();
        // It says only that it cannot open the store.
        ASSERT_EQ(blockedAlerts->alerts.size(), 1u);
        EXPECT_EQ(blockedAlerts->alerts[0].messageText, Strings::localized("StoreInUseNotice"));
    }
    // The next start tells of the kept changes, then adds every link once.
    AppDelegate next(services);
    next.applicationDidFinishLaunching();
    ASSERT_TRUE(test::waitFor([&] { return services.listsController().apps().size() == 4; }));
    EXPECT_EQ(test::identifiersIn(services.listsController()),
              QStringList({ "11", "12", "13", "14" }));
    ASSERT_EQ(alerts->alerts.size(), 1u);
    EXPECT_TRUE(alerts->alerts[0].informativeText.contains(keptFile));
    // Each link goes once the store has its app.
    EXPECT_TRUE(test::waitFor([&] { return next.waitingLinkCount() == 0; }));
    EXPECT_TRUE(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(services.settings().hasStoredValue(SettingsKeys::PendingLinks));
}

TEST_F(LifeTest, AStartWhoseStoreIsHeldNamesOnlyARunningCopyKeepsItsLinkAndOpensNoWindow)
{
    // The test's own services hold the store; the lock file names whoever each case says.
    const QString lockFile = ObjectStore::lockPath(ListsController::defaultStorePath());
    const QString folder = QDir::toNativeSeparators(QFileInfo(lockFile).absolutePath());
    // A copy of this program that runs, and one that ran and ended.
    struct Child
    {
        pid_t pid;
        ~Child()
        {
            if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                ::waitpid(pid, nullptr, 0);
        }
    };
    const Child running { ::fork() };
    if (running.pid == 0) {
        ::pause();
        ::_exit(0);
    }
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ASSERT_GT(running.pid, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    // Another program, which has the number of a copy that quit.
    QProcess other;
    other.start("sleep", { "60" });
    ASSERT_TRUE(other.waitForStarted());
    const struct
    {
        const char *holder;
        QByteArray record;
        const char *link;
        std::optional<qint64> namedCopy;
    } cases[] = {
        { "a running copy", QByteArray::number(running.pid) + "\ntanvill\n", "31", running.pid },
        { "a copy that ended", QByteArray::number(ended) + "\ntanvill\n", "32", std::nullopt },
        { "another program", QByteArray::number(other.processId()) + "\ntanvill\n", nullptr,
          std::nullopt },
        { "nobody named", QByteArray(), "33", std::nullopt },
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.holder);
        QFile record(lockFile);
        ASSERT_TRUE(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
        record.write(testCase.record);
        record.close();
        test::ScriptedAlertPresenter *blockedAlerts = nullptr;
        const std::unique_ptr<Services> blocked = test::anotherStart(&blockedAlerts);
        AppDelegate start(*blocked);
        start.setQuitHandler([] {});
        if (testCase.link) {
            ASSERT_EQ(start.takeMessage(test::linkTo(testCase.link)).kind,
                      instance::Answer::Kind::Taken);
        }
        // Launch finishes while the alert is up, as it does in its event loop.
        QStringList windowsBehindAlert { "none yet" };
        blockedAlerts->whileShowing = [&](const Alert &) {
            start.applicationDidFinishLaunching();
            test::drainEvents();
            windowsBehindAlert.clear();
            for (const QWidget *window : QApplication::topLevelWidgets()) {
                if (window->isVisible())
                    windowsBehindAlert << window->windowTitle();
            }
        };
        test::drainEvents();
        start.applicationWillTerminate();

        ASSERT_EQ(blockedAlerts->alerts.size(), 1u);
        const Alert &alert = blockedAlerts->alerts[0];
        EXPECT_TRUE(windowsBehindAlert.isEmpty()) << windowsBehindAlert.join(", ").toStdString();
        EXPECT_EQ(alert.messageText.toStdString(),
                  Strings::localized(testCase.namedCopy ? "StoreInUseNotice" : "StoreHeldNotice")
                      .toStdString());
        EXPECT_EQ(alert.informativeText.contains(
                      QString("process %1").arg(testCase.namedCopy.value_or(0))),
                  testCase.namedCopy.has_value())
            << alert.informativeText.toStdString();
        EXPECT_NE(alert.informativeText.contains(folder), testCase.namedCopy.has_value());
        const QString linkKept = Strings::localizedFormat(
            testCase.namedCopy ? "StoreLinksKeptForRunningCopy" : "StoreLinksKeptForLaterStart",
            { 1 });
        EXPECT_EQ(alert.informativeText.contains(linkKept), testCase.link != nullptr);
        // Kept indeed, for the start that opens the store.
        LinkInbox kept;
        kept.gather();
        EXPECT_EQ(kept.waitingCount(), testCase.link ? 1 : 0);
        QDir(LinkInbox::defaultFolder()).removeRecursively();
    }
    other.kill();
    other.waitForFinished();
}

TEST_F(LifeTest, AKeptLinkThatMeetsAPassingFailureStaysKeptAndIsAddedAtTheNextRefresh)
{
    services.listsController().createList("Games");
    services.listsController().saveWithAsync(false);
    using Behaviour = test::FakeResponse::Behaviour;
    const std::pair<const char *, std::optional<test::FakeResponse>> failures[] = {
        { "offline", std::nullopt },
        { "500", test::FakeResponse::withStatus(500) },
        { "503", test::FakeResponse::withStatus(503, "busy") },
        { "cut off", test::FakeResponse::behaving(Behaviour::Drop) },
    };
    int identifier = 20;
    for (const auto &[name, failure] : failures) {
        SCOPED_TRACE(name);
        const QStringList links = { test::linkTo(QString::number(++identifier)),
                                    test::linkTo(QString::number(++identifier)) };
        for (const QString &link : links)
            ASSERT_TRUE(LinkInbox().take(link));
        alerts->alerts.clear();
        std::optional<test::FakeStore> store;
        if (failure) {
            store.emplace();
            store->setDefaultResponse(*failure);
        } else {
            qputenv("TANVILL_STORE_URL", "http://127.0.0.1:9");
        }
        AppDelegate start(services);
        start.setQuitHandler([] {});
        start.applicationDidFinishLaunching();
        // One alert names both apps; both stay kept.
        ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 1; }));
        EXPECT_TRUE(alerts->alerts[0].informativeText.contains(QString::number(identifier - 1)));
        EXPECT_TRUE(alerts->alerts[0].informativeText.contains(QString::number(identifier)));
        EXPECT_EQ(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).size(), 2);
        EXPECT_EQ(start.waitingLinkCount(), 2);
        // The store answers again by the next refresh: both are added, without another word.
        store.emplace();
        QStringList identifiers, looked;
        for (const QString &link : links) {
            identifiers << *addAppIdentifierFromLink(link);
            store->setLookup({ identifiers.back() });
        }
        services.appUpdater().update();
        ASSERT_TRUE(test::waitFor([&] { return start.waitingLinkCount() == 0; }));
        // Each is tried again, the oldest first.
        for (const test::FakeRequest &request : store->server().requests()) {
            if (identifiers.contains(request.query.queryItemValue("id")))
                looked << request.query.queryItemValue("id");
        }
        EXPECT_EQ(looked, identifiers);
        for (const QString &added : identifiers)
            EXPECT_TRUE(test::identifiersIn(services.listsController()).contains(added))
                << added.toStdString();
        EXPECT_TRUE(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).isEmpty());
        EXPECT_EQ(alerts->alerts.size(), 1u);
    }
    qunsetenv("TANVILL_STORE_URL");
}

TEST_F(LifeTest, AKeptChangesNoticeIsForgottenOnlyByTheStartThatToldIt)
{
    // Two other copies kept changes: one with its folder moved, one at a logout.
    QStringList files;
    for (const char *name :
         { "Tanvill.unsaved-20260101-000000.sqlite", "Tanvill.unsaved-20260102-000000.sqlite" }) {
        files << home.path() + "/" + name;
        ASSERT_TRUE(QFile(files.back()).open(QIODevice::WriteOnly));
    }
    services.settings().setValue(SettingsKeys::KeptUnsavedChanges, files);
    // This copy's own quit saves what it has: the notices are not its to forget.
    delegate.applicationWillTerminate();
    // A start that ends under its alerts (a logout) has told nothing.
    alerts->preparedAnswers = { AlertAnswer::unanswered({}), AlertAnswer::unanswered({}) };
    {
        AppDelegate ended(services);
        ended.applicationDidFinishLaunching();
        test::drainEvents();
    }
    EXPECT_EQ(services.settings().value(SettingsKeys::KeptUnsavedChanges).toStringList(), files);
    alerts->alerts.clear();
    AppDelegate next(services);
    next.applicationDidFinishLaunching();
    ASSERT_EQ(alerts->alerts.size(), 2u);
    for (int n = 0; n < 2; ++n)
        EXPECT_TRUE(alerts->alerts[n].informativeText.contains(files[n]));
    test::drainEvents();
    EXPECT_FALSE(services.settings().hasStoredValue(SettingsKeys::KeptUnsavedChanges));
}

TEST(Life, LinksNotAddedYetWhenTheProgramQuitsAreAddedAtTheNextStart)
{
    // Each start is a process of its own: its services, its delegate, its store.
    test::IsolatedHome home;
    const QStringList links = { test::linkTo("904280696"), test::linkTo("1") };
    RecordingAlertPresenter *alerts = nullptr;
    {
        auto stalled = std::make_unique<test::FakeHttpServer>();
        stalled->setRoute("/lookup",
                          test::FakeResponse::behaving(test::FakeResponse::Behaviour::Stall));
        qputenv("TANVILL_STORE_URL", stalled->baseUrl().toString().toUtf8());
        std::unique_ptr<Services> first = test::anotherStart(&alerts);
        first->listsController().createList("Games");
        AppDelegate delegate(*first);
        delegate.setQuitHandler([] {});
        delegate.applicationDidFinishLaunching();
        // The first link waits for the store's answer, the second for its turn: then a quit.
        for (const QString &link : links)
            delegate.takeMessage(link);
        ASSERT_TRUE(test::waitFor([&] { return stalled->requestCount("/lookup") == 1; }));
        delegate.applicationWillTerminate();
    }
    // The next start, and a store that answers.
    test::FakeStore store;
    store.setLookup({ "904280696" });
    store.setLookup({ "1" });
    std::unique_ptr<Services> next = test::anotherStart(&alerts);
    AppDelegate delegate(*next);
    delegate.setQuitHandler([] {});
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(test::waitFor([&] { return next->listsController().apps().size() == 2; }));
    EXPECT_EQ(test::identifiersIn(next->listsController()), QStringList({ "1", "904280696" }));
    // Both are gone from the kept links: a later start adds nothing.
    EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
    EXPECT_TRUE(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(alerts->alerts.empty());
}

TEST(Life, AQuitDuringAStoreCountrysRefreshIsFinishedByTheNextStartThoughRefreshingIsOff)
{
    test::IsolatedHome home;
    const QStringList identifiers = { "11", "12", "13" };
    const auto answerOf = [](const QString &identifier, const QString &country) {
        test::FakeStoreApp answer { identifier };
        answer.version = "1." + country;
        return answer;
    };
    RecordingAlertPresenter *alerts = nullptr;
    {
        // Japan is chosen and its refresh asked; the store has not answered when the program quits.
        test::FakeStore store;
        for (const QString &identifier : identifiers) {
            store.setLookup("US", answerOf(identifier, "US"), false);
            store.setLookup("JP", answerOf(identifier, "JP"), true);
        }
        std::unique_ptr<Services> first = test::anotherStart(&alerts);
        first->settings().setValue("AutomaticallyUpdateApps", false);
        first->settings().setValue("storeLocale", "US");
        first->listsController().createList("Games");
        AppDelegate delegate(*first);
        delegate.setQuitHandler([] {});
        delegate.applicationDidFinishLaunching();
        for (const QString &identifier : identifiers)
            first->listsController().addAppWithIdentifier(identifier, {});
        ASSERT_TRUE(test::waitFor([&] { return first->listsController().apps().size() == 3; }));
        first->settings().setValue("storeLocale", "JP");
        first->appUpdater().update();
        ASSERT_TRUE(test::waitFor([&] { return store.heldLookupCount("JP") == 3; }));
        delegate.applicationWillTerminate();
    }
    // Each later start asks the store chosen for what no answer of it has reached, once.
    test::FakeStore store;
    for (const QString &identifier : identifiers)
        store.setLookup("JP", answerOf(identifier, "JP"), false);
    for (const bool asks : { true, false }) {
        SCOPED_TRACE(asks ? "the start after the quit" : "the start after that");
        std::unique_ptr<Services> next = test::anotherStart(&alerts);
        AppDelegate delegate(*next);
        delegate.setQuitHandler([] {});
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(next->listsController().isReloadingApps(), asks);
        ASSERT_TRUE(test::waitFor([&] { return !next->listsController().isReloadingApps(); }));
        for (const App *app : next->listsController().apps())
            EXPECT_EQ(app->version(), "1.JP") << app->identifier().toStdString();
        delegate.applicationWillTerminate();
    }
}

TEST_F(LifeTest, ALinkThatCannotBeKeptIsNotTakenAndItsLaunchHearsWhy)
{
    // A read-only folder, a full disk, a folder whose sync fails.
    using Step = LinkFolder::Step;
    for (const auto &[failing, error] :
         { std::pair(Step::Write, EROFS), std::pair(Step::Write, ENOSPC),
           std::pair(Step::SyncFolder, EIO) }) {
        SCOPED_TRACE(error);
        AppDelegate start(services, [failing = failing, error = error](Step step, int) {
            return step == failing ? error : 0;
        });
        const instance::Answer answer = start.takeMessage(test::linkTo("31"));
        EXPECT_EQ(answer.kind, instance::Answer::Kind::Refused);
        EXPECT_TRUE(answer.why.contains(describeError(error))) << answer.why.toStdString();
        EXPECT_EQ(start.waitingLinkCount(), 0);
        EXPECT_TRUE(QDir(LinkInbox::defaultFolder()).entryList(QDir::Files).isEmpty());
    }
    EXPECT_TRUE(alerts->alerts.empty()) << "the launch tells its user";
}

// A regular file where the folder would be: the start's own link goes straight into the store,
// without a word; a later launch's is still refused.
TEST_F(LifeTest, ThisStartsOwnLinkThatCannotBeKeptIsAddedAllTheSame)
{
    services.listsController().createList("Games");
    test::FakeStore store;
    store.setLookup({ "31" });
    ASSERT_TRUE(QDir().mkpath(QFileInfo(LinkInbox::defaultFolder()).path()));
    ASSERT_TRUE(QFile(LinkInbox::defaultFolder()).open(QIODevice::WriteOnly));
    EXPECT_EQ(delegate.takeMessage(test::linkTo("31"), LinkLoop::From::ThisLaunch).kind,
              instance::Answer::Kind::Taken);
    delegate.applicationDidFinishLaunching();
    EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
    EXPECT_EQ(test::identifiersIn(services.listsController()), QStringList { "31" });
    EXPECT_TRUE(alerts->alerts.empty());
    EXPECT_EQ(delegate.takeMessage(test::linkTo("32")).kind, instance::Answer::Kind::Refused);
}

TEST(Life, ALaunchWhoseLinkIsNotTakenSaysSoAndKeepsTheLinkWhereItCan)
{
    struct Case
    {
        const char *name;
        QString message;
        bool refusing; // the running copy refuses; else it is quitting and stays so
        bool folderBlocked;
        const char *title;
        QString text;
        bool kept;
    };
    const QString link = QStringLiteral("tanvill:///addApp?id=41");
    const Case cases[] = {
        { "still quitting", link, false, false, "LaunchLinkKeptTitle", "quitting", true },
        { "refused", link, true, false, "LaunchLinkNotTakenTitle", "Nine is too many.", false },
        { "not kept", link, false, true, "LaunchLinkNotTakenTitle", "PendingLinks", false },
        { "reopen", "reopen", false, false, "LaunchNotAnsweredTitle", "quitting", false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        test::IsolatedHome home;
        if (c.folderBlocked) {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(LinkInbox::defaultFolder()).path()));
            ASSERT_TRUE(QFile(LinkInbox::defaultFolder()).open(QIODevice::WriteOnly));
        }
        SingleInstance running;
        ASSERT_EQ(running.start("reopen"), SingleInstance::Role::Primary);
        running.setMessageHandler(
            [](const QString &) { return instance::Answer::refused("Nine is too many."); });
        if (!c.refusing)
            running.beginQuitting();
        SingleInstance launch;
        launch.setQuittingWaitMs(300);
        std::optional<SingleInstance::Role> role;
        std::unique_ptr<QThread> thread(
            QThread::create([&] { role = launch.start(c.message, 3000); }));
        thread->start();
        ASSERT_TRUE(test::waitFor([&] { return thread->isFinished(); }, 10000));
        RecordingAlertPresenter alerts;
        LinkInbox inbox;
        EXPECT_EQ(endUnfinishedLaunch(launch, *role, c.message, inbox, alerts), 1);
        ASSERT_EQ(alerts.alerts.size(), 1u);
        EXPECT_EQ(alerts.alerts[0].messageText, Strings::localized(c.title));
        EXPECT_TRUE(alerts.alerts[0].informativeText.contains(c.text))
            << alerts.alerts[0].informativeText.toStdString();
        LinkInbox next;
        next.gather();
        EXPECT_EQ(next.isKept(link), c.kept);
    }
}
