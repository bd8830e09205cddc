// The rating prompt: its questions and answers, when the list table shows it, and how each
// answer ends it for good.
#include "ListTableTestSupport.h"

#include "controls/BorderedButton.h"
#include "lists/MainViewController.h"
#include "platform/Analytics.h"
#include "platform/Strings.h"

using namespace tanvill;
using test::ListTableTest;

namespace {

struct RecordingPromptDelegate : RatingPromptDelegate
{
    void hideRatingPrompt(RatingPromptView *, RatingPromptState state) override
    {
        calls << "hide " + rawValue(state);
    }
    void leaveRating(RatingPromptView *) override { calls << "rate"; }
    void sendFeedback(RatingPromptView *) override { calls << "feedback"; }
    QStringList calls;
};

struct RatingPromptTest : ListTableTest
{
    // The first launch `age` ago, with `watched` applications in lists and `archived` more.
    void prepare(std::chrono::seconds age, int watched, int archived = 0)
    {
        now = QDateTime(QDate(2024, 3, 10), QTime(9, 30));
        settings().setValue("firstLaunchDate", now.addSecs(-age.count()));
        test::watchMany(lists(), games, watched);
        for (App *app : test::watchMany(lists(), tools, archived, "Old"))
            lists().archiveApp(app);
    }

    ListViewController &openAtNow()
    {
        clock = [this] {
            return now;
        };
        return open();
    }

    QDateTime now;
};

using namespace std::chrono_literals;

} // namespace

TEST(RatingPromptView, EachPathThroughTheTwoQuestionsEndsInOneAnswer)
{
    const struct
    {
        bool first, second; // true: the positive answer
        const char *call;
    } paths[] = { { true, true, "rate" },
                  { false, false, "hide feedback" },
                  { true, false, "hide rate" },
                  { false, true, "feedback" } };
    for (const auto &path : paths) {
        RatingPromptView view;
        RecordingPromptDelegate delegate;
        view.setDelegate(&delegate);
        EXPECT_EQ(view.titleLabel()->fullString(), Strings::localized("RatingPromptEnjoyQuestion"));
        (path.first ? view.continueButton() : view.cancelButton())->click();
        EXPECT_TRUE(delegate.calls.isEmpty());
        (path.second ? view.continueButton() : view.cancelButton())->click();
        EXPECT_EQ(delegate.calls, QStringList(path.call));
    }

    RatingPromptView view;
    view.continueButton()->click();
    EXPECT_EQ(view.titleLabel()->fullString(), Strings::localized("RatingPromptRateQuestion"));
    EXPECT_EQ(view.cancelButton()->title(), Strings::localized("No, thanks"));
    EXPECT_EQ(view.continueButton()->title(), Strings::localized("Sure!"));
    // Without a delegate the last answer does nothing.
    view.continueButton()->click();
    EXPECT_EQ(view.state(), RatingPromptState::Rate);

    EXPECT_EQ(ratingPromptStateFromRawValue("rate"), RatingPromptState::Rate);
    EXPECT_EQ(ratingPromptStateFromRawValue("Enjoy"), std::nullopt);
    EXPECT_EQ(ratingPromptStateFromRawValue(""), std::nullopt);
}

TEST_F(RatingPromptTest, ShowsFromTheSeventhWholeDayWithFiveWatchedApplications)
{
    const struct
    {
        std::chrono::seconds age;
        int watched, archived;
        bool shown;
    } cases[] = { { 6 * 24h + 23h, 5, 0, false },
                  { 7 * 24h, 5, 0, true },
                  { 7 * 24h, 4, 3, false },
                  { 30 * 24h, 8, 0, true } };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.age.count() << "s " << c.watched);
        for (App *app : lists().apps())
            lists().deleteApp(app);
        prepare(c.age, c.watched, c.archived);
        ListViewController &view = openAtNow();
        EXPECT_EQ(view.ratingPrompt() != nullptr, c.shown);
        if (c.shown) {
            // A further check keeps the prompt on screen as it is.
            RatingPromptView *prompt = view.ratingPrompt();
            prompt->continueButton()->click();
            view.showRatingPromptIfNeeded();
            EXPECT_EQ(view.ratingPrompt(), prompt);
            EXPECT_EQ(prompt->state(), RatingPromptState::Rate);
        }
    }
}

TEST_F(RatingPromptTest, AppearsWhenTheShownListGainsItsFifthApplication)
{
    prepare(8 * 24h, 4);
    ListViewController &view = openAtNow();
    EXPECT_EQ(view.ratingPrompt(), nullptr);
    test::watchMany(lists(), tools, 1);
    EXPECT_EQ(view.ratingPrompt(), nullptr) << "another list changed";
    test::watchMany(lists(), games, 1);
    EXPECT_NE(view.ratingPrompt(), nullptr);
}

TEST_F(RatingPromptTest, EveryAnswerEndsThePromptForGoodAndDoesWhatItSays)
{
    const struct
    {
        bool first, second;
        const char *event;
        QVariantMap properties;
        const char *openedScheme;
    } answers[] = { { true, false, "Hide Rating Prompt", { { "state", "rate" } }, nullptr },
                    { false, false, "Hide Rating Prompt", { { "state", "feedback" } }, nullptr },
                    { true, true, "Leave Rating", {}, "macappstore" },
                    { false, true, "Send Feedback", {}, "mailto" } };
    prepare(10 * 24h, 5);
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer.event);
        settings().setValue("completedReviewPrompt", false);
        services.analytics().clear();
        const qsizetype links = services.openedLinks().size();
        ListViewController &view = openAtNow();
        RatingPromptView *prompt = view.ratingPrompt();
        ASSERT_NE(prompt, nullptr);
        (answer.first ? prompt->continueButton() : prompt->cancelButton())->click();
        (answer.second ? prompt->continueButton() : prompt->cancelButton())->click();

        EXPECT_EQ(view.ratingPrompt(), nullptr);
        ASSERT_EQ(services.analytics().events().size(), 1u);
        EXPECT_EQ(services.analytics().events()[0].name, answer.event);
        EXPECT_EQ(services.analytics().events()[0].properties, answer.properties);
        if (answer.openedScheme) {
            ASSERT_EQ(services.openedLinks().size(), links + 1);
            EXPECT_EQ(services.openedLinks().last().scheme(), answer.openedScheme);
        } else {
            EXPECT_EQ(services.openedLinks().size(), links);
        }
        // Answered once, never shown again, also after a restart.
        view.showRatingPromptIfNeeded();
        EXPECT_EQ(view.ratingPrompt(), nullptr);
        UserDefaults restarted(UserDefaults::defaultFilePath());
        EXPECT_TRUE(restarted.boolean("completedReviewPrompt"));
    }
}

TEST_F(RatingPromptTest, EachQuestionIsWholeAtTheMainWindowsSmallestWidth)
{
    prepare(10 * 24h, 5);
    RatingPromptView *prompt = open({ MainViewController::kMinimumWidth, 480 }).ratingPrompt();
    ASSERT_NE(prompt, nullptr);
    for (const auto state :
         { RatingPromptState::Enjoy, RatingPromptState::Rate, RatingPromptState::Feedback }) {
        prompt->setState(state);
        test::drainEvents();
        const Label *question = prompt->titleLabel();
        const QRect wrapped = question->fontMetrics().boundingRect(
            QRect(0, 0, question->width(), 10'000), Qt::TextWordWrap, question->fullString());
        EXPECT_LE(wrapped.height(), question->height()) << "every line of it shows";
        EXPECT_GT(table->tableView()->rowViewAtRow(0)->y(), prompt->geometry().bottom());
    }
}
