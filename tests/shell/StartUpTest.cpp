// The welcome window, and the whole first run: an empty home, the welcome window, the first
// list, a link handed over by a second launch of the real program, and quitting.
#include "ShellTestSupport.h"
#include "controls/TableView.h"
#include "core/App.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/store/Database.h"
#include "lists/ListViewController.h"
#include "lists/MainWindowController.h"
#include "platform/Analytics.h"
#include "platform/SingleInstance.h"
#include "platform/UserDefaults.h"
#include "shell/AppDelegate.h"
#include "shell/ApplicationRun.h"
#include "shell/LinkInbox.h"
#include "shell/WelcomeViewController.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct WelcomeTest : test::ShellTest
{
    WelcomeTest() { welcome.show(); }

    QStringList listNames()
    {
        QStringList names;
        for (List *list : services.listsController().lists())
            names << list->name();
        return names;
    }

    WelcomeViewController welcome { services.listsController() };
    QLineEdit *field = welcome.wishlistNameTextField();
    QPushButton *create = welcome.createButton();
};

} // namespace

TEST_F(WelcomeTest, CreateIsEnabledExactlyWhileTheNameHasMoreThanSpaces)
{
    EXPECT_FALSE(create->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(listNames().isEmpty());
    QTest::keyClicks(field, "a");
    EXPECT_TRUE(create->isEnabled());
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(create->isEnabled());
    // Spaces alone name nothing; around a name they are kept as typed.
    QTest::keyClicks(field, "   ");
    EXPECT_FALSE(create->isEnabled());
    QTest::keyClicks(field, "a ");
    EXPECT_TRUE(create->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(listNames(), QStringList { "   a " });
    EXPECT_FALSE(welcome.isVisible());
}

TEST_F(WelcomeTest, ADoubleClickCreatesOneYellowList)
{
    int created = 0;
    welcome.setListCreatedHandler([&] { ++created; });
    QTest::keyClicks(field, "Wishlist");
    QTest::mouseDClick(create, Qt::LeftButton);
    QTest::mouseClick(create, Qt::LeftButton);
    welcome.createWishlist();
    EXPECT_EQ(listNames(), QStringList { "Wishlist" });
    EXPECT_EQ(created, 1);
    List *list = services.listsController().lists().front();
    EXPECT_EQ(list->index(), 0);
    EXPECT_EQ(list->color(), "yellow");
    EXPECT_EQ(services.settings().integer("selectedList", -1), 0);
}

TEST(StartUp, FromAnEmptyHomeToAListWithALinkedAppAndBack)
{
    test::IsolatedHome home;
    test::FakeHttpServer server;
    server.setRoute(
        "/lookup", test::FakeResponse::file(test::fixturesDir() + "/store/lookup/mac-things.json"));
    qputenv("TANVILL_STORE_URL", server.baseUrl().toString().toUtf8());
    test::ScriptedAlertPresenter *alerts = nullptr;
    std::optional<Services> services;
    services.emplace(test::recordingServicesOptions(&alerts));

    SingleInstance instance;
    ASSERT_EQ(instance.start(SingleInstance::kReopenMessage), SingleInstance::Role::Primary);
    int quits = 0;
    {
        AppDelegate delegate(*services);
        delegate.setQuitHandler([&] { ++quits; });
        instance.setMessageHandler(
            [&delegate](const QString &message) { return delegate.takeMessage(message); });
        delegate.applicationDidFinishLaunching();

        // The welcome window, and no main window.
        WelcomeViewController &welcome = delegate.welcomeWindowController();
        ASSERT_TRUE(welcome.isVisible());
        EXPECT_FALSE(delegate.mainWindowController().isVisible());
        QTest::keyClicks(welcome.wishlistNameTextField(), "Wishlist");
        QTest::mouseClick(welcome.createButton(), Qt::LeftButton);
        EXPECT_FALSE(welcome.isVisible());
        ASSERT_TRUE(delegate.mainWindowController().isVisible());
        EXPECT_EQ(delegate.windowMenu().itemForWindow(&delegate.mainWindowController())->text(),
                  "&1 Wishlist");
        EXPECT_EQ(delegate.windowMenu().itemCount(), 1);
        EXPECT_TRUE(delegate.mainMenu().listSubmenuItem->isEnabled());
        EXPECT_TRUE(delegate.mainMenu().appSubmenuItem->isEnabled());
        EXPECT_EQ(services->analytics().eventNames().count("Create List"), 1);

        // A link opened in the browser starts a second program, which hands it over and ends.
        QProcess later;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        later.setProcessEnvironment(environment);
        later.start(QStringLiteral(TANVILL_EXECUTABLE),
                    { QStringLiteral("tanvill:///addApp?id=904280696") });
        ASSERT_TRUE(test::waitFor([&] { return later.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.exitCode(), 0) << later.readAll().toStdString();
        ASSERT_TRUE(test::waitFor([&] { return !services->listsController().apps().empty(); }));
        List *list = services->listsController().lists().front();
        ASSERT_EQ(list->apps().size(), 1u);
        EXPECT_EQ(list->apps().front()->identifier(), "904280696");
        // The main window's table shows it.
        TableView *table = delegate.mainWindowController()
                               .contentViewController()
                               ->listViewController()
                               ->tableView();
        EXPECT_TRUE(test::waitFor([&] { return table->numberOfRows() == 1; }));

        // Quit, agreeing to the warning.
        services->settings().setValue("NotifyAboutChanges.Pricing", true);
        alerts->preparedAnswers = { { 1, false } };
        delegate.mainMenu().quitItem->trigger();
        EXPECT_TRUE(test::waitFor([&] { return quits == 1; }));
        EXPECT_EQ(alerts->alerts.size(), 1u);
        delegate.applicationWillTerminate();
    }
    services.reset();
    qunsetenv("TANVILL_STORE_URL");

    Database store;
    ASSERT_TRUE(store.open(ListsController::defaultStorePath(), false));
    EXPECT_EQ(store.queryText("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(store.queryText("SELECT name FROM lists WHERE idx = 0"), "Wishlist");
    EXPECT_EQ(store.queryText("SELECT identifier FROM apps"), "904280696");
}

namespace {

// Runs each modal alert in an event loop of its own, as a message box does, until answered: an
// alert shown while another is up stacks over it.
class StackingAlertPresenter : public RecordingAlertPresenter
{
public:
    AlertAnswer runModal(const Alert &alert) override
    {
        alerts.push_back(alert);
        QEventLoop loop;
        m_loops.push_back(&loop);
        QTimer::singleShot(0, &loop, [this] {
            if (m_loops.size() == 2)
                whenTwoAreUp();
        });
        loop.exec();
        m_loops.pop_back();
        return m_answered ? AlertAnswer() : AlertAnswer::unanswered(alert);
    }
    // The user answers every alert that is up.
    void answerAll()
    {
        m_answered = true;
        for (QEventLoop *loop : m_loops)
            loop->exit();
    }

    std::function<void()> whenTwoAreUp;

private:
    std::vector<QEventLoop *> m_loops;
    bool m_answered = false;
};

} // namespace

TEST(StartUp, AStartThatSaysItQuitsEndsOnceItsStackedAlertsAreAnsweredOrItIsToldToQuit)
{
    for (const bool answered : { true, false }) {
        SCOPED_TRACE(answered ? "answered" : "told to quit");
        test::IsolatedHome home;
        // Neither the store's folder nor the links folder can be made: the store cannot be
        // opened, and the start's link is not taken.
        for (const QString &blocked :
             { QFileInfo(ListsController::defaultStorePath()).path(), LinkInbox::defaultFolder() })
            ASSERT_TRUE(QDir().mkpath(QFileInfo(blocked).path())
                        && QFile(blocked).open(QIODevice::WriteOnly));
        test::ScriptedAlertPresenter *scripted = nullptr;
        ServicesOptions options = test::recordingServicesOptions(&scripted);
        auto stacking = std::make_unique<StackingAlertPresenter>();
        StackingAlertPresenter &alerts = *stacking;
        options.alertPresenter = std::move(stacking);
        Services services(std::move(options));
        SingleInstance instance;
        ASSERT_EQ(instance.start(SingleInstance::kReopenMessage), SingleInstance::Role::Primary);
        // Or told to quit, as a quit signal or the Quit item tells it.
        alerts.whenTwoAreUp = [&] {
            answered ? alerts.answerAll() : QCoreApplication::exit(0);
        };
        // A start that lingers is ended here, with a status of its own.
        QTimer lingering;
        lingering.callOnTimeout([] { QCoreApplication::exit(99); });
        lingering.start(20000);
        EXPECT_EQ(runApplication(services, instance, test::linkTo("904280696")), 1);
        EXPECT_EQ(alerts.alerts.size(), 2u);
    }
}
