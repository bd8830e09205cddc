#include "SharingTestSupport.h"

#include "controls/ControlsTestSupport.h"
#include "controls/Label.h"
#include "core/List.h"
#include "platform/Analytics.h"
#include "platform/Clipboard.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ListShareSheet.h"
#include "sharing/SharingHelpPopover.h"
#include "sharing/SpinningIndicator.h"
#include "support/FakeListServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QSvgRenderer>
#include <QTest>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

namespace {

// A dark window with a list header and a few rows, standing in for the main window.
class WindowStandIn : public QWidget
{
public:
    explicit WindowStandIn(const List &list)
    {
        QPalette colours = palette();
        colours.setColor(QPalette::Window, QColor(0x26, 0x26, 0x28));
        colours.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        setPalette(colours);
        setAutoFillBackground(true);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        auto *header = new QLabel(list.name(), this);
        header->setAutoFillBackground(true);
        QPalette headerColours = header->palette();
        headerColours.setColor(QPalette::Window, list.theme().lightColor());
        headerColours.setColor(QPalette::WindowText, list.theme().darkColor());
        header->setPalette(headerColours);
        QFont big = header->font();
        big.setPixelSize(28);
        big.setBold(true);
        header->setFont(big);
        header->setContentsMargins(24, 0, 0, 0);
        header->setFixedHeight(110);
        layout->addWidget(header);
        for (const char *name : { "Keynote", "Pixelmator Pro", "Things 3", "Halide Mark II" }) {
            auto *row = new QLabel(QString::fromLatin1(name), this);
            row->setContentsMargins(24, 0, 0, 0);
            row->setFixedHeight(64);
            layout->addWidget(row);
        }
        layout->addStretch();
        setGeometry(200, 120, 760, 520);
    }
};

class ListShareSheetTest : public ListsTest
{
protected:
    ListShareSheetTest()
    {
        ListShareSheet::setAnimationDuration(0);
        // The help opens by itself on a first share; most tests are not about it.
        services.settings().setValue("hasSeenListSharingInfo", true);
        list = lists().createList("Wish List", ThemeName::Orange);
        lists().addApp({ cachedApp("409183694", AppKind::Phone, 9.99, "Keynote"),
                         cachedApp("904280696", AppKind::Mac, 49.99, "Things 3") },
                       list);
        window = std::make_unique<WindowStandIn>(*list);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    ListShareSheet *present()
    {
        ListShareSheet *sheet
            = ListShareSheet::present(window.get(), list, [this] { ++completions; });
        drainEvents();
        return sheet;
    }

    static bool waitForState(ListShareSheet *sheet, ListShareSheet::State state)
    {
        return waitFor([&] { return sheet->state() == state; }, 8000);
    }

    FakeListServices sharing;
    List *list = nullptr;
    int completions = 0;
    // Last, so that a sheet going with it finds the rest still there.
    std::unique_ptr<WindowStandIn> window;
};

} // namespace

TEST_F(ListShareSheetTest, TabGoesRoundTheSheetAndReturnPressesTheFocusedButton)
{
    ListShareSheet *sheet = present();
    QApplication::setActiveWindow(window.get());
    QList<QWidget *> visited;
    for (int i = 0; i < 7; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    EXPECT_EQ(
        visited,
        (QList<QWidget *> { sheet->allowModificationCheckbox(), sheet->helpButton(),
                            sheet->cancelButton(), sheet->sendButton(), sheet->emailTextField(),
                            sheet->allowModificationCheckbox(), sheet->helpButton() }));
    QTest::keyClick(sheet->helpButton(), Qt::Key_Tab);
    QTest::keyClick(sheet->cancelButton(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([this] { return completions == 1; }));
    EXPECT_TRUE(sharing.sharedBodies().isEmpty()) << "Cancel, not the default button";
}

TEST_F(ListShareSheetTest, PostsTheListAndShowsTheLinkToCopyOrMail)
{
    ListShareSheet *sheet = present();
    EXPECT_EQ(sheet->titleLabel()->fullString(),
              Strings::localizedFormat("ShareSheetTitle", { "Wish List" }));
    EXPECT_EQ(sheet->height(), ListShareSheet::kFormHeight);
    EXPECT_EQ(sheet->geometry().center().x(), window->rect().center().x());
    QTest::keyClicks(sheet->emailTextField(), "me@example.org");
    sheet->allowModificationCheckbox()->setChecked(true);
    saveRender(window.get(), "share-sheet-preparing");

    sharing.setShareResponse(
        FakeResponse::json(R"({"url":"https://lists.example/l/8d3f2a"})").delayed(300));
    QTest::mouseClick(sheet->sendButton(), Qt::LeftButton);
    ASSERT_EQ(sheet->state(), ListShareSheet::State::Working);
    EXPECT_TRUE(sheet->workingIndicator()->isAnimating());
    EXPECT_FALSE(sheet->sendButton()->isEnabled());
    EXPECT_FALSE(sheet->emailTextField()->isVisible());
    saveRender(window.get(), "share-sheet-working");

    ASSERT_TRUE(waitForState(sheet, ListShareSheet::State::Done));
    const QJsonObject body = QJsonDocument::fromJson(sharing.sharedBodies().value(0)).object();
    EXPECT_EQ(body["name"].toString(), "Wish List");
    EXPECT_EQ(body["email"].toString(), "me@example.org");
    EXPECT_EQ(body["allowModification"], QJsonValue(true));
    EXPECT_EQ(body["theme"].toString(), "Orange");
    EXPECT_EQ(body["apps"].toArray().size(), 2);
    EXPECT_EQ(sharing.shareRequests().value(0).method, "POST");
    EXPECT_EQ(services.analytics().events().back().name, "Share List");
    EXPECT_EQ(services.analytics().events().back().properties,
              QVariantMap({ { "useOwnAffiliateToken", false } }));

    // The link bar.
    EXPECT_EQ(sheet->link(), "https://lists.example/l/8d3f2a");
    EXPECT_EQ(sheet->height(), ListShareSheet::kLinkBarHeight);
    EXPECT_EQ(sheet->titleLabel()->fullString(), sheet->link());
    EXPECT_TRUE(sheet->titleLabel()->alignment() & Qt::AlignLeft);
    drainEvents();
    EXPECT_EQ(sheet->emailTextField(), nullptr);
    EXPECT_EQ(sheet->topSeparator(), nullptr);
    EXPECT_EQ(sheet->helpButton()->text(), Strings::localized("Share"));
    EXPECT_EQ(sheet->cancelButton()->text(), Strings::localized("Copy"));
    EXPECT_EQ(sheet->sendButton()->text(), Strings::localized("Done"));
    EXPECT_EQ(sheet->cancelButton()->x(), sheet->helpButton()->geometry().right() + 1 + 8);
    EXPECT_GT(sheet->sendButton()->x(), sheet->cancelButton()->geometry().right());
    saveRender(window.get(), "share-sheet-done");

    QTest::keyClick(sheet, Qt::Key_C);
    EXPECT_EQ(Clipboard::text(), sheet->link());
    // The button says it copied, for a moment.
    EXPECT_EQ(sheet->cancelButton()->text(), Strings::localized("Copied"));
    EXPECT_TRUE(
        waitFor([&] { return sheet->cancelButton()->text() == Strings::localized("Copy"); }));
    QTest::keyClick(sheet, Qt::Key_S);
    ASSERT_NE(sheet->sharingMenu(), nullptr);
    ASSERT_EQ(sheet->sharingMenu()->actions().size(), 2);
    sheet->sharingMenu()->actions().at(1)->trigger();
    ASSERT_EQ(services.openedLinks().size(), 1);
    EXPECT_EQ(services.openedLinks()[0].scheme(), "mailto");
    EXPECT_EQ(QUrlQuery(services.openedLinks()[0]).queryItemValue("body", QUrl::FullyDecoded),
              sheet->link());
    sheet->sharingMenu()->close();

    QPointer<ListShareSheet> guard(sheet);
    QTest::mouseClick(sheet->sendButton(), Qt::LeftButton);
    EXPECT_EQ(completions, 1);
    QTest::mouseClick(sheet->sendButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(guard.isNull()) << "the sheet goes with its dimming layer";
}

TEST_F(ListShareSheetTest, ALinkWithAUserPartShowsTheHostItLeadsTo)
{
    ListShareSheet *sheet = present();
    sharing.setShareResponse(FakeResponse::json(
        R"({"url":"https://lists.example.)" + QByteArray(300, 'a') + R"(@elsewhere.example/x"})"));
    QTest::mouseClick(sheet->sendButton(), Qt::LeftButton);
    ASSERT_TRUE(waitForState(sheet, ListShareSheet::State::Done));
    EXPECT_TRUE(sheet->titleLabel()->stringValue().startsWith("https://elsewhere.example/"));
}

TEST_F(ListShareSheetTest, EveryFailureLeadsBackToTheFormWithAnAlert)
{
    struct Case
    {
        const char *name;
        FakeResponse response;
        QString message;
    };
    const std::vector<Case> cases {
        { "failed status with a link",
          FakeResponse::json(R"({"url":"https://lists.example/l/1"})", 500),
          Strings::localized("UnknownError") },
        { "failed status with a message",
          FakeResponse::json(R"({"error":{"message":"Database down"}})", 503), "Database down" },
        { "service message", FakeResponse::json(R"({"error":{"message":"Too many apps"}})"),
          "Too many apps" },
        { "not JSON", FakeResponse::bytes("<html>oops</html>", "text/html"),
          Strings::localized("UnknownError") },
        { "link of another kind", FakeResponse::json(R"({"url":"file:///etc/passwd"})"),
          Strings::localized("UnknownError") },
        { "dropped", FakeResponse::behaving(FakeResponse::Behaviour::Drop),
          Strings::localized("SharingServiceUnreachable") },
        { "no answer", FakeResponse::behaving(FakeResponse::Behaviour::Stall),
          Strings::localized("SharingServiceUnreachable") },
    };
    ListShareSheet *sheet = present();
    QList<ListShareSheet::State> states;
    QObject::connect(sheet, &ListShareSheet::stateChanged,
                     [&states](ListShareSheet::State state) { states << state; });
    QTest::keyClicks(sheet->emailTextField(), "a@b.cd");
    sheet->allowModificationCheckbox()->setChecked(true);

    for (const Case &c : cases) {
        sharing.setShareResponse(c.response);
        // Only the silent service runs out the request's time: an answer that comes late on a
        // busy machine is still the answer.
        services.httpClient().setDefaultTimeoutMs(
            c.response.behaviour == FakeResponse::Behaviour::Stall ? 400 : 0);
        const size_t alertsBefore = alerts.alerts.size();
        sheet->share();
        ASSERT_EQ(sheet->state(), ListShareSheet::State::Working) << c.name;
        ASSERT_TRUE(waitFor([&] { return alerts.alerts.size() > alertsBefore; }, 8000)) << c.name;
        EXPECT_EQ(sheet->state(), ListShareSheet::State::Preparing) << c.name;
        EXPECT_EQ(alerts.alerts.back().messageText, c.message) << c.name;
        EXPECT_TRUE(sheet->emailTextField()->isVisible()) << c.name;
        EXPECT_EQ(sheet->emailTextField()->text(), "a@b.cd") << c.name;
        EXPECT_TRUE(sheet->allowModificationCheckbox()->isChecked()) << c.name;
        EXPECT_TRUE(sheet->sendButton()->isEnabled()) << c.name;
    }
    EXPECT_FALSE(states.contains(ListShareSheet::State::Done));
    const qsizetype sent = sharing.sharedBodies().size();

    // Without a sharing service nothing is sent and the user is told so.
    qunsetenv("TANVILL_SERVICE_URL");
    sheet->share();
    EXPECT_EQ(sheet->state(), ListShareSheet::State::Preparing);
    EXPECT_EQ(alerts.alerts.back().messageText, Strings::localized("SharingServiceUnavailable"));
    EXPECT_EQ(sharing.sharedBodies().size(), sent);
    EXPECT_EQ(completions, 0);
}

TEST_F(ListShareSheetTest, WhileSendingTheSheetStaysUntilItsRequestEnds)
{
    // The service holds the request until the test lets it fail, as a connection lost.
    FakeResponse held = FakeResponse::behaving(FakeResponse::Behaviour::Held);
    held.releasedAs = FakeResponse::Behaviour::Drop;
    sharing.setShareResponse(held);
    ListShareSheet *sheet = present();
    sheet->share();
    ASSERT_TRUE(waitFor([&] { return sharing.sharedBodies().size() == 1; }));
    EXPECT_FALSE(sheet->cancelButton()->isVisible());
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_EQ(sheet->state(), ListShareSheet::State::Working);
    EXPECT_EQ(completions, 0);

    // The request sent again on a new connection fails as well.
    sharing.setShareResponse(FakeResponse::behaving(FakeResponse::Behaviour::Drop));
    sharing.server().releaseHeld();
    ASSERT_TRUE(waitForState(sheet, ListShareSheet::State::Preparing));
    ASSERT_TRUE(sheet->cancelButton()->isVisible());
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    EXPECT_EQ(completions, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    drainEvents();
    EXPECT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(window->findChildren<ListShareSheet *>().size(), 0);

    // A sheet that goes with its window still ends, once, and stops its request.
    sharing.setShareResponse(held);
    const qsizetype sent = sharing.sharedBodies().size();
    sheet = present();
    sheet->share();
    ASSERT_TRUE(waitFor([&] { return sharing.sharedBodies().size() == sent + 1; }));
    window.reset();
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(services.httpClient().runningRequestCount(), 0);
}

TEST_F(ListShareSheetTest, TheSendButtonFollowsTheEmailAddress)
{
    ListShareSheet *sheet = present();
    QLineEdit *email = sheet->emailTextField();
    const std::vector<std::pair<const char *, bool>> typed {
        { "", true },          { "a", false },      { "a@b", false },  { "a@b.c", true },
        { "a b@c.d.e", true }, { "a@@b.c", false }, { "@b.c", false }, { "a@.c", false },
    };
    for (const auto &[text, enabled] : typed) {
        email->clear();
        QTest::keyClicks(email, QString::fromLatin1(text));
        EXPECT_EQ(sheet->sendButton()->isEnabled(), enabled) << text;
    }
    // A refused address cannot be sent by Return either.
    QTest::keyClick(email, Qt::Key_Return);
    EXPECT_EQ(sheet->state(), ListShareSheet::State::Preparing);
    EXPECT_TRUE(sharing.sharedBodies().isEmpty());
    QTest::keyClick(email, Qt::Key_Escape);
    EXPECT_EQ(completions, 1);
}

TEST_F(ListShareSheetTest, TheHelpOpensByItselfOnlyTheFirstTime)
{
    services.settings().setValue("hasSeenListSharingInfo", false);
    ListShareSheet *first = present();
    ASSERT_TRUE(waitFor([&] { return first->helpPopover() && first->helpPopover()->isVisible(); }));
    EXPECT_TRUE(services.settings().boolean("hasSeenListSharingInfo"));

    // The window with the popover over it, as a person sees it; the popover may reach past
    // the window's edge.
    SharingHelpPopover *popover = first->helpPopover();
    const QRect windowFrame(window->mapToGlobal(QPoint(0, 0)), window->size());
    const QRect popoverFrame(popover->mapToGlobal(QPoint(0, 0)), popover->size());
    const QRect canvas = windowFrame.united(popoverFrame);
    QImage image(canvas.size(), QImage::Format_ARGB32);
    image.fill(QColor(0x10, 0x10, 0x12));
    {
        QPainter painter(&image);
        painter.drawPixmap(windowFrame.topLeft() - canvas.topLeft(), window->grab());
        painter.drawPixmap(popoverFrame.topLeft() - canvas.topLeft(), popover->grab());
    }
    image.save(QDir(testOutputDir("windows")).filePath("share-sheet-help.png"));

    first->helpPopover()->close();
    first->cancel();
    ListShareSheet *second = present();
    // The help opens by itself a quarter of a second after the sheet appears.
    ASSERT_TRUE(waitPastTimer(250));
    EXPECT_EQ(second->helpPopover(), nullptr);
    QTest::mouseClick(second->helpButton(), Qt::LeftButton);
    EXPECT_NE(second->helpPopover(), nullptr) << "the help button still opens it";
}

TEST_F(ListShareSheetTest, WhileTheFirstHelpIsShownTypingReachesTheEmailField)
{
    services.settings().setValue("hasSeenListSharingInfo", false);
    ListShareSheet *sheet = present();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(waitFor([&] { return sheet->helpPopover() && sheet->helpPopover()->isVisible(); }));
    QPointer<SharingHelpPopover> help = sheet->helpPopover();
    // Keys come to the window, as from the keyboard; Escape closes the help only.
    for (const char c : std::string("me@example.org"))
        QTest::keyClick(window->windowHandle(), c);
    EXPECT_EQ(sheet->emailTextField()->text(), "me@example.org");
    EXPECT_TRUE(help && help->isVisible());
    QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(!help || !help->isVisible());
    EXPECT_EQ(completions, 0);
}

// The note opened by itself points at the help button from beside the sheet's controls; where the
// screen has no room for that it waits, and the help button shows it on the screen, off the button
// and the e-mail field.
TEST_F(ListShareSheetTest, TheFirstHelpPointsAtItsButtonFromOutsideTheFormOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const auto globalRect = [](const QWidget *widget) {
        return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    };
    const struct
    {
        const char *name;
        QRect window;
        bool roomBeside;
    } cases[] = {
        { "roomy", QRect(screen.left() + 20, screen.top() + 20, 760, 480), true },
        // At the left of a sheet low on the screen.
        { "low", QRect(screen.right() - 499, screen.bottom() - 299, 500, 300), true },
        // Not quite as low: at its right, the note would be off the field typed in, on the
        // screen, but over the form's other controls.
        { "lowish", QRect(screen.right() - 499, screen.bottom() - 359, 500, 300), true },
        // The main window at twice the scale, low on a small screen, and at its left edge.
        { "cramped", QRect(screen.left() + 46, screen.bottom() - 376, 420, 377), false },
        { "cramped at the left edge", QRect(screen.left(), screen.bottom() - 376, 420, 377),
          false },
    };
    for (const auto &[name, frame, roomBeside] : cases) {
        services.settings().setValue("hasSeenListSharingInfo", false);
        window->setGeometry(frame);
        ASSERT_TRUE(test::activate(window.get()));
        ListShareSheet *sheet = present();
        if (!roomBeside) {
            sheet->showHelp(true);
            EXPECT_FALSE(sheet->helpPopover()) << name;
            EXPECT_FALSE(services.settings().boolean("hasSeenListSharingInfo")) << name;
            QTest::mouseClick(sheet->helpButton(), Qt::LeftButton);
        }
        ASSERT_TRUE(
            waitFor([&] { return sheet->helpPopover() && sheet->helpPopover()->isVisible(); }));
        SharingHelpPopover *popover = sheet->helpPopover();
        const QRect note = globalRect(popover);
        EXPECT_TRUE(screen.contains(note)) << name;
        QList<QWidget *> clear { sheet->helpButton(), sheet->emailTextField() };
        if (roomBeside)
            clear << sheet->emailFieldLabel() << sheet->emailFieldHelpLabel()
                  << sheet->allowModificationCheckbox() << sheet->cancelButton()
                  << sheet->sendButton();
        for (QWidget *control : clear)
            EXPECT_FALSE(note.intersects(globalRect(control)))
                << name << " " << control->metaObject()->className();

        QImage image(screen.size(), QImage::Format_ARGB32);
        image.fill(QColor(0x10, 0x10, 0x12));
        QPainter painter(&image);
        painter.drawPixmap(globalRect(window.get()).topLeft() - screen.topLeft(), window->grab());
        painter.drawPixmap(note.topLeft() - screen.topLeft(), popover->grab());
        painter.end();
        image.save(
            QDir(testOutputDir("windows")).filePath(QString("share-sheet-help-%1.png").arg(name)));
        popover->close();
        sheet->cancel();
        drainEvents();
    }
}

TEST(SharingImagesTest, TheShareListImageIsShipped)
{
    QSvgRenderer image(QStringLiteral(":/images/share-list.svg"));
    ASSERT_TRUE(image.isValid());
    QImage picture(64, 64, QImage::Format_ARGB32);
    picture.fill(Theme { ThemeName::Orange }.lightColor());
    QPainter painter(&picture);
    image.render(&painter);
    painter.end();
    EXPECT_EQ(picture.pixelColor(32, 20), Qt::white) << "the arrow's shaft";
    picture.save(QDir(testOutputDir("windows")).filePath("share-list-image.png"));
}

TEST_F(ListShareSheetTest, TheCheckBoxReadsBothStatesOnTheLightCard)
{
    QCheckBox *box = present()->allowModificationCheckbox();
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator
        = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const QImage unchecked = box->grab().toImage();
    EXPECT_GT(unchecked.pixelColor(indicator.center()).lightness(), 200) << "no black square";
    box->setChecked(true);
    const QColor checked = box->grab().toImage().pixelColor(indicator.center());
    EXPECT_GT(checked.blue(), checked.red() + 60) << "the accent colour";
}

TEST(SharingHelpPopoverTest, NearTheBottomOfTheScreenTheNoteOpensAboveItsButton)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const bool nearBottom : { false, true }) {
        QWidget button;
        button.setGeometry(100, nearBottom ? screen.bottom() - 40 : screen.top() + 20, 24, 24);
        button.show();
        auto *popover = new SharingHelpPopover(&button);
        popover->showBeside(&button);
        const QRect note(popover->mapToGlobal(QPoint(0, 0)), popover->size());
        const QRect anchor = button.geometry();
        EXPECT_EQ(nearBottom ? note.bottom() < anchor.top() : note.top() > anchor.bottom(), true);
        if (nearBottom)
            popover->grab().save(QDir(testOutputDir("windows")).filePath("share-help-above.png"));
    }
}

TEST(SharingHelpPopoverTest, TheNoteKeepsClearOfTheFocusedFieldAndTakesOnlyTheSheetsEscape)
{
    // A sheet low on a small screen, as at twice the scale: no room under its button, and the
    // note over the button would cover the field typed in.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(screen.left(), screen.bottom() - 199, 400, 200);
    auto *outside = new QLineEdit(&window); // the window's own, as its menu bar
    auto *sheet = new QWidget(&window);
    sheet->setGeometry(window.rect());
    auto *field = new QLineEdit(sheet);
    auto *box = new QCheckBox(sheet);
    auto *button = new QPushButton(sheet);
    field->setGeometry(20, 20, 360, 28);
    box->setGeometry(20, 90, 360, 28);
    button->setGeometry(20, 160, 360, 28);
    window.show();
    QApplication::setActiveWindow(&window);
    field->setFocus();
    QPointer<SharingHelpPopover> popover = new SharingHelpPopover(sheet);
    popover->showBeside(button);
    for (QWidget *focused : std::initializer_list<QWidget *> { field, box }) {
        focused->setFocus();
        EXPECT_FALSE(popover->geometry().intersects(
            QRect(focused->mapToGlobal(QPoint(0, 0)), focused->size())));
    }
    QTest::keyClick(outside, Qt::Key_Escape);
    EXPECT_TRUE(popover && popover->isVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(!popover || !popover->isVisible());
}
