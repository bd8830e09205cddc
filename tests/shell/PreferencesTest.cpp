// The preferences window driven through its widgets: panes, bindings to the settings file,
// launch at login, the store country, the affiliate token and the extension page.
#include "controls/ControlsTestSupport.h"
#include "controls/KeyboardFocus.h"
#include "platform/Strings.h"
#include "shell/AdvancedPreferencesViewController.h"
#include "shell/DefaultSettings.h"
#include "shell/GeneralPreferencesViewController.h"
#include "shell/IntegrationViewController.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "shell/NotificationsViewController.h"
#include "shell/PreferencesPane.h"
#include "shell/PreferencesWindowController.h"
#include "store/AppUpdater.h"
#include "support/RecordingAppShell.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct PreferencesTest : ::testing::Test
{
    PreferencesTest()
    {
        PreferencesViewController::setInstantAnimationsByDefault(true);
        services.appUpdater().setRefreshFunction([this](AppUpdater::RefreshCompletion done) {
            ++refreshes;
            done(std::nullopt, std::vector<AppUpdate>());
        });
    }
    ~PreferencesTest() override { PreferencesViewController::setInstantAnimationsByDefault(false); }

    // What the settings file holds for key, read afresh from the disk.
    QVariant stored(const QString &key) const
    {
        services.settings().sync();
        return QSettings(UserDefaults::defaultFilePath(), QSettings::IniFormat).value(key);
    }

    PreferencesViewController &window()
    {
        if (!controller)
            controller = std::make_unique<PreferencesWindowController>(
                PreferencesServices { services.settings(), services.alerts(), services.appUpdater(),
                                      services.workspace(), loginItem });
        return *controller->window();
    }

    void render(const QString &name)
    {
        window().grab().save(QDir(test::testOutputDir("windows")).filePath(name + ".png"));
    }

    test::TestServices services { { .defaults = defaultSettings(), .listsController = false } };
    LoginItem loginItem { services.homePath() + "/.config/autostart", "/opt/tanvill/bin/tanvill" };
    std::unique_ptr<PreferencesWindowController> controller;
    int refreshes = 0;
};

} // namespace

TEST_F(PreferencesTest, ToolbarSwitchesPanesAndTheWindowTakesEachPanesFirstSize)
{
    test::RecordingAppShell shell;
    window();
    PreferencesWindowController &prefs = *controller;
    prefs.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(prefs.window()));
    PreferencesViewController &view = *prefs.window();
    const QRect screen = view.screen()->availableGeometry();
    EXPECT_LE((view.frameGeometry().center() - screen.center()).manhattanLength(), 2) << "centred";
    const QStringList labels { "General", "Notifications", "Advanced", "Integration" };
    ASSERT_EQ(view.tabCount(), 4);
    const QPoint topLeft = view.pos();
    for (int i = 0; i < 4; ++i) {
        QTest::mouseClick(view.tabButton(i), Qt::LeftButton);
        EXPECT_EQ(view.selectedTabIndex(), i);
        EXPECT_EQ(view.windowTitle(), labels[i]);
        EXPECT_EQ(shell.windowsItems.value(&view), labels[i]);
        const std::optional<QSize> paneSize = view.originalSize(labels[i]);
        ASSERT_TRUE(paneSize);
        EXPECT_EQ(view.size(), view.windowSizeForPane(*paneSize)) << i;
        EXPECT_EQ(view.pos(), topLeft) << "the top-left corner stays";
        EXPECT_TRUE(view.pane(i)->isVisible());
        render("preferences-" + labels[i].toLower());
    }
    EXPECT_NE(view.originalSize("General")->height(), view.originalSize("Advanced")->height());

    // A pane shown again keeps the size it had at first, whatever happened to it since.
    const QSize generalSize = *view.originalSize("General");
    view.pane(0)->resize(900, 900);
    QTest::mouseClick(view.tabButton(0), Qt::LeftButton);
    EXPECT_EQ(view.size(), view.windowSizeForPane(generalSize));

    // Closed on the last pane, the window opens again on the first, at its size.
    QTest::mouseClick(view.tabButton(3), Qt::LeftButton);
    view.close();
    EXPECT_FALSE(shell.windowsItems.contains(&view));
    prefs.showWindow();
    EXPECT_EQ(view.selectedTabIndex(), 0);
    EXPECT_EQ(view.windowTitle(), "General");
    EXPECT_EQ(view.size(), view.windowSizeForPane(generalSize));
    EXPECT_EQ(view.pos(), topLeft);
    services.settings().sync();
    for (const QString &key :
         QSettings(UserDefaults::defaultFilePath(), QSettings::IniFormat).allKeys())
        EXPECT_FALSE(key.contains("Frame")) << "the window keeps no frame of its own";
}

TEST_F(PreferencesTest, ArrowKeysChangeThePaneAndTheFocusRingGoesWithThem)
{
    PreferencesViewController &view = window();
    controller->showWindow();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.tabButton(0)->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(focusRingTarget(), view.tabButton(0));
    for (const int pane : { 1, 2, 1 }) {
        QTest::keyClick(QApplication::focusWidget(),
                        pane > view.selectedTabIndex() ? Qt::Key_Right : Qt::Key_Left);
        EXPECT_EQ(view.selectedTabIndex(), pane);
        EXPECT_EQ(focusRingTarget(), view.tabButton(pane)) << pane;
    }
    // Opened again on the first pane, the keyboard goes on from that pane's button.
    view.close();
    controller->showWindow();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    EXPECT_TRUE(!focusRingTarget() || focusRingTarget() == view.tabButton(0));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(view.selectedTabIndex(), 1);
}

// A key pressed as the window opens acts on the control that has the focus: the ring shows it
// from the start, each time the window opens. Left with the keyboard on a field of the Advanced
// pane, which is no button, the window opens again on the first pane as usual.
TEST_F(PreferencesTest, TheWindowOpensOnTheFirstPaneWithTheRingOnTheControlThatHasTheKeyboard)
{
    PreferencesViewController &view = window();
    AdvancedPreferencesViewController *advanced = view.advancedPane();
    QWidget *const leftBefore[]
        = { nullptr, nullptr, advanced->localePopUpButton(), advanced->affiliateTokenTextField() };
    for (int opening = 0; opening <= 3; ++opening) {
        SCOPED_TRACE(opening);
        controller->showWindow();
        ASSERT_TRUE(test::activate(&view));
        EXPECT_EQ(view.selectedTabIndex(), 0);
        EXPECT_TRUE(view.pane(0)->isVisible());
        if (!leftBefore[opening]) {
            ASSERT_NE(qobject_cast<QCheckBox *>(QApplication::focusWidget()), nullptr);
            EXPECT_EQ(focusRingTarget(), QApplication::focusWidget());
        }
        if (opening == 0)
            render("preferences-opened");
        if (opening >= 1 && opening <= 2) {
            QTest::mouseClick(view.tabButton(2), Qt::LeftButton);
            leftBefore[opening + 1]->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(QApplication::focusWidget(), leftBefore[opening + 1]);
        }
        view.close();
    }
}

TEST_F(PreferencesTest, ResizingToAnotherPaneAnimatesAndEndsAtItsSize)
{
    PreferencesViewController &view = window();
    view.setInstantAnimations(false);
    controller->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const QPoint topLeft = view.pos();
    QTest::mouseClick(view.tabButton(1), Qt::LeftButton);
    EXPECT_TRUE(view.isAnimating());
    ASSERT_TRUE(test::waitFor([&] { return !view.isAnimating(); }));
    EXPECT_EQ(view.size(), view.windowSizeForPane(*view.originalSize("Notifications")));
    EXPECT_EQ(view.minimumSize(), view.maximumSize()) << "not resizable by hand";
    EXPECT_EQ(view.pos(), topLeft);
}

TEST_F(PreferencesTest, EveryCheckboxWritesItsSettingAndFollowsChangesMadeElsewhere)
{
    PreferencesViewController &view = window();
    struct Case
    {
        QAbstractButton *box;
        QString key;
        bool inverted;
    };
    const std::vector<Case> cases {
        { view.generalPane()->automaticUpdatesCheckbox(), "AutomaticallyUpdateApps", false },
        { view.generalPane()->iconBadgeCheckbox(), "displayAppCountAsIconBadge", false },
        { view.generalPane()->platformIconsCheckbox(), "displayPlatformIcons", false },
        { view.generalPane()->multipleAppWindowsCheckbox(), "multipleAppWindows", false },
        { view.notificationsPane()->priceCheckbox(), "NotifyAboutChanges.Pricing", false },
        { view.notificationsPane()->versionCheckbox(), "NotifyAboutChanges.Version", false },
        { view.notificationsPane()->ratingCheckbox(), "NotifyAboutChanges.Rating", false },
        { view.notificationsPane()->quitWarningCheckbox(), "suppressQuitWarning", true },
    };
    controller->showWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key.toStdString());
        const bool registered = defaultSettings().value(c.key).toBool();
        EXPECT_EQ(c.box->isChecked(), registered != c.inverted);
        view.selectTab(view.generalPane()->isAncestorOf(c.box) ? 0 : 1);
        QTest::mouseClick(c.box, Qt::LeftButton);
        EXPECT_EQ(stored(c.key).toBool(), !registered);
        services.settings().setValue(c.key, registered);
        EXPECT_EQ(c.box->isChecked(), registered != c.inverted);
        EXPECT_EQ(stored(c.key).toBool(), registered) << "showing a change writes nothing back";
    }
}

TEST_F(PreferencesTest, AutomaticRefreshingAndItsIntervalRestartTheUpdater)
{
    GeneralPreferencesViewController &general = *window().generalPane();
    QComboBox *interval = general.updateIntervalPopUpButton();
    services.appUpdater().startUpdater();
    ASSERT_TRUE(services.appUpdater().isRunning());
    EXPECT_EQ(interval->currentText(), "every 15 minutes");

    refreshes = 0;
    interval->setCurrentIndex(interval->findData(3600));
    emit interval->activated(interval->currentIndex());
    EXPECT_EQ(stored("AppUpdateInverval").toInt(), 3600);
    EXPECT_EQ(refreshes, 1) << "a restarted updater refreshes at once";

    general.automaticUpdatesCheckbox()->click();
    EXPECT_FALSE(services.appUpdater().isRunning());
    EXPECT_FALSE(interval->isEnabled());

    // An interval chosen elsewhere that the list does not offer is shown as it is.
    services.settings().setValue("AppUpdateInverval", 600);
    EXPECT_EQ(interval->currentText(), "every 10 minutes");
    EXPECT_EQ(interval->currentData().toInt(), 600);
}

TEST_F(PreferencesTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    QCheckBox *box = window().generalPane()->launchAtLoginCheckbox();
    const QString entry = services.homePath() + "/.config/autostart/com.tanvill.Tanvill.desktop";
    controller->showWindow();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(stored("launchAtLogin").toBool());
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("\nExec=/opt/tanvill/bin/tanvill\n"));
    file.close();

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(stored("launchAtLogin").toBool());
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(services.alerts().alerts.empty());

    // An entry removed by another tool shows as off the next time the pane appears.
    QTest::mouseClick(box, Qt::LeftButton);
    QFile::remove(entry);
    window().close();
    controller->showWindow();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(stored("launchAtLogin").toBool());
}

TEST_F(PreferencesTest, ALoginItemThatCannotBeWrittenLeavesTheBoxOffAndSaysSo)
{
    QFile blocker(services.homePath() + "/plain-file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    loginItem = LoginItem(blocker.fileName() + "/autostart", "/opt/tanvill/bin/tanvill");
    QCheckBox *box = window().generalPane()->launchAtLoginCheckbox();
    controller->showWindow();
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(stored("launchAtLogin").toBool());
    ASSERT_EQ(services.alerts().alerts.size(), 1u) << "reverting the box does not click it again";
    EXPECT_EQ(services.alerts().alerts[0].messageText,
              Strings::localized("LoginItemAddError Title"));
}

TEST_F(PreferencesTest, TheStoreCountryPopUpShowsTheStoredCountryAndAChoiceRefreshesOnce)
{
    AdvancedPreferencesViewController &advanced = *window().advancedPane();
    EXPECT_FALSE(services.settings().hasStoredValue("storeLocale")) << "showing writes nothing";
    QComboBox *popUp = advanced.localePopUpButton();
    const QList<StoreLocale> &locales = advanced.locales();
    ASSERT_EQ(popUp->count(), locales.size());
    const int japan = int(std::find_if(locales.begin(), locales.end(),
                                       [](const StoreLocale &l) { return l.code == "JP"; })
                          - locales.begin());
    EXPECT_EQ(popUp->itemText(japan), "Japan");
    EXPECT_EQ(AdvancedPreferencesViewController::countryTitle({ "Atlantis", "QQ" }), "Atlantis");

    const auto selectedCode = [&] {
        return locales[popUp->currentIndex()].code;
    };
    struct Case
    {
        QVariant stored;
        QString selected;
    };
    for (const Case &c : std::vector<Case> { { "JP", "JP" },
                                             { locales.last().code, locales.last().code },
                                             { "QQ", "US" },
                                             { QVariant(), "US" } }) {
        services.settings().setValue("storeLocale", c.stored);
        EXPECT_EQ(selectedCode(), c.selected) << c.stored.toString().toStdString();
    }

    // Typed, the name passes through another country on its way: one refresh, once it settles.
    refreshes = 0;
    QStringList chosen;
    QObject observer;
    services.settings().observe("storeLocale", &observer,
                                [&](const QVariant &code) { chosen << code.toString(); });
    QTest::keyClicks(popUp, "jap");
    EXPECT_EQ(chosen, QStringList({ "JM", "JP" }));
    EXPECT_EQ(stored("storeLocale").toString(), "JP");
    ASSERT_TRUE(test::waitFor([&] { return refreshes > 0; }));
    emit popUp->activated(japan);
    emit popUp->activated(-1);
    // Long enough for a refresh it would have started.
    QTest::qWait(2 * QApplication::keyboardInputInterval());
    EXPECT_EQ(refreshes, 1) << "the store in use, or no choice, refreshes nothing";
}

TEST_F(PreferencesTest, AffiliateTokensAreCheckedWhenEditingEndsAndWhenThePaneGoes)
{
    PreferencesViewController &view = window();
    controller->showWindow();
    view.selectTab(2);
    QLineEdit *field = view.advancedPane()->affiliateTokenTextField();
    struct Case
    {
        QString typed;
        bool accepted;
    };
    const std::vector<Case> cases {
        { "abcd", true },         { "A1b2C3d4E5f6G7", true },
        { "abc", false },         { "A1b2C3d4E5f6G7h", false },
        { "ab-cd", false },       { "ab cd", false },
        { "abcdé", false },       { "abcd\n", false },
        { "abcde\u0301", false }, { "١٢٣٤", false },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        services.settings().setValue("affiliateToken", "before1");
        services.alerts().alerts.clear();
        field->setText(c.typed);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(stored("affiliateToken"), c.accepted ? QVariant(c.typed) : QVariant());
        EXPECT_EQ(field->text(), c.accepted ? c.typed : QString());
        ASSERT_EQ(services.alerts().alerts.size(), c.accepted ? 0u : 1u);
        if (!c.accepted) {
            EXPECT_EQ(services.alerts().alerts[0].messageText,
                      Strings::localized("Invalid Affiliate Token Message"));
        }
    }

    field->clear();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_FALSE(stored("affiliateToken").isValid()) << "an empty field removes the token";
    EXPECT_EQ(services.alerts().alerts.size(), 1u);

    // Leaving the pane with a bad token rejects it like the end of editing.
    services.alerts().alerts.clear();
    field->setText("no!");
    view.selectTab(0);
    EXPECT_FALSE(stored("affiliateToken").isValid());
    EXPECT_EQ(services.alerts().alerts.size(), 1u);

    // Quitting with the window open asks nothing, and keeps a token typed but not confirmed.
    view.selectTab(2);
    field->setText("typed123");
    controller.reset();
    EXPECT_EQ(stored("affiliateToken").toString(), "typed123");
    EXPECT_EQ(services.alerts().alerts.size(), 1u);
    window();
    controller->showWindow();
    window().selectTab(2);
    window().advancedPane()->affiliateTokenTextField()->setText("bad!");
    controller.reset();
    EXPECT_EQ(services.alerts().alerts.size(), 1u);
    EXPECT_EQ(stored("affiliateToken").toString(), "typed123");
}

TEST_F(PreferencesTest, TheNotificationsTextSaysWhetherRefreshingIsOn)
{
    QLabel *info = window().notificationsPane()->infoLabel();
    EXPECT_EQ(info->text(), Strings::localized("NotificationsPrefsDefaultTitle"));
    EXPECT_FALSE(info->font().bold());
    EXPECT_EQ(info->font().pixelSize(), 13);
    services.settings().setValue("AutomaticallyUpdateApps", false);
    EXPECT_EQ(info->text(), Strings::localized("NotificationsPrefsUpdatesDisabledNotice"));
    EXPECT_TRUE(info->font().bold());
    window().selectTab(1);
    controller->showWindow();
    window().selectTab(1);
    render("preferences-notifications-refreshing-off");
}

TEST_F(PreferencesTest, TheExtensionButtonOpensThePageOnTheServiceSite)
{
    struct Case
    {
        QByteArray service;
        QString page;
    };
    for (const Case &c : std::vector<Case> {
             { "http://127.0.0.1:8123", "http://127.0.0.1:8123/extensions/safari/" },
             { "https://tanvill.example/site/", "https://tanvill.example/site/extensions/safari/" },
             { "", "" },
             { "not a url", "" } }) {
        qputenv("TANVILL_SERVICE_URL", c.service);
        IntegrationViewController pane(services.workspace());
        EXPECT_EQ(pane.downloadButton()->isEnabled(), !c.page.isEmpty()) << c.service.data();
        const qsizetype before = services.openedLinks().size();
        pane.downloadButton()->click();
        if (c.page.isEmpty()) {
            EXPECT_EQ(services.openedLinks().size(), before);
        } else {
            ASSERT_EQ(services.openedLinks().size(), before + 1);
            EXPECT_EQ(services.openedLinks().last().toString(), c.page);
        }
    }
    qunsetenv("TANVILL_SERVICE_URL");
}

// A token that is no token is emptied and named in an alert; once the alert is answered the
// keyboard is back in the token field for another, whether Tab or Return ended the editing.
TEST_F(PreferencesTest, AfterTheInvalidTokenAlertTheKeyboardIsBackInTheTokenField)
{
    MessageBoxAlertPresenter boxes;
    controller = std::make_unique<PreferencesWindowController>(PreferencesServices {
        services.settings(), boxes, services.appUpdater(), services.workspace(), loginItem });
    PreferencesViewController &view = *controller->window();
    controller->showWindow();
    view.selectTab(2);
    QLineEdit *field = view.advancedPane()->affiliateTokenTextField();
    // The alert is answered as soon as it shows, also while its own event loop runs.
    int answered = 0;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box) {
            box->defaultButton()->click();
            ++answered;
        }
    });
    answering.start(10);
    for (const Qt::Key ending : { Qt::Key_Tab, Qt::Key_Return }) {
        SCOPED_TRACE(QKeySequence(ending).toString().toStdString());
        ASSERT_TRUE(test::activate(&view));
        answered = 0;
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field, "abc");
        QTest::keyClick(field, ending);
        ASSERT_TRUE(
            test::waitFor([&] { return answered == 1 && !QApplication::activeModalWidget(); }));
        // Back from the alert, as the desktop makes the window active again.
        ASSERT_TRUE(test::activate(&view));
        EXPECT_EQ(QApplication::focusWidget(), field);
        EXPECT_TRUE(field->text().isEmpty());
    }
}
