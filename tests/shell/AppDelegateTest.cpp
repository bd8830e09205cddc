#include "shell/AppDelegate.h"
#include "ShellTestSupport.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// A delegate over a store with the lists "Games" (selected) and "Tools".
struct AppDelegateTest : test::ShellTest
{
    AppDelegateTest()
    {
        ListsController &controller = services.listsController();
        controller.createList("Games");
        controller.createList("Tools");
        services.settings().setValue("selectedList", 0);
    }

    QStringList listNames() const
    {
        QStringList names;
        for (List *list : services.listsController().lists())
            names << list->name();
        return names;
    }

    AppDelegate delegate { services };
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
