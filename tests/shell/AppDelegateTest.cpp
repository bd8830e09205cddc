#include "shell/AppDelegate.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// A delegate over a store with the lists "Games" (selected) and "Tools".
struct AppDelegateTest : ::testing::Test
{
    AppDelegateTest()
    {
        alerts = &RecordingAlertPresenter::installNew();
        ListsController &controller = ListsController::sharedController();
        controller.createList("Games");
        controller.createList("Tools");
        UserDefaults::standard().setValue("selectedList", 0);
    }

    static QStringList listNames()
    {
        QStringList names;
        for (List *list : ListsController::sharedController().lists())
            names << list->name();
        return names;
    }

    AppDelegate delegate;
    RecordingAlertPresenter *alerts = nullptr;
};

} // namespace

TEST_F(AppDelegateTest, DeletingAListAsksFirstAndOnlyYesDeletes)
{
    ASSERT_EQ(AppDelegate::sharedAppDelegate(), &delegate);
    alerts->preparedAnswers = { { 1, false } };
    delegate.deleteList();
    ASSERT_EQ(alerts->alerts.size(), 1u);
    const Alert &alert = alerts->alerts.front();
    EXPECT_EQ(alert.messageText, Strings::localizedFormat("DeleteListTitle", { "Games" }));
    EXPECT_EQ(alert.buttons, (QStringList { Strings::localized("Yes"), Strings::localized("No") }));
    EXPECT_EQ(listNames(), (QStringList { "Games", "Tools" }));

    alerts->preparedAnswers = { { 0, false } };
    delegate.deleteList();
    EXPECT_EQ(listNames(), QStringList { "Tools" });
    EXPECT_TRUE(alerts->errors.empty());
}

TEST_F(AppDelegateTest, TheOnlyListIsNotDeletedAndTheUserIsTold)
{
    alerts->preparedAnswers = { { 0, false }, { 0, false } };
    delegate.deleteList();
    delegate.deleteList();
    EXPECT_EQ(listNames(), QStringList { "Tools" });
    EXPECT_EQ(alerts->alerts.size(), 2u);
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.front().code, 3);
}
