#include "core/ListsControllerNotifications.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tanvill;

TEST(NotificationPayloads, ListUpdatesRoundTripAndReadOnlyUsableNumbers)
{
    const ListUpdate move { 2, std::nullopt, 0, 3 };
    EXPECT_EQ(ListUpdate::fromUserInfo(move.userInfo()), move);
    EXPECT_FALSE(move.userInfo().contains(ListUpdateAppIndex)) << "absent values stay absent";

    struct Case
    {
        QVariant listIndex;
        std::optional<int> read;
    };
    const Case cases[] = {
        { 4, 4 },
        { qint64(-1), -1 },
        { 2.0, 2 },
        { "0", std::nullopt },
        { QVariant(), std::nullopt },
        { std::numeric_limits<double>::quiet_NaN(), std::nullopt },
        { qint64(1) << 40, std::nullopt },
    };
    for (const Case &c : cases) {
        const auto update = ListUpdate::fromUserInfo(
            { { ListUpdateListIndex, c.listIndex }, { ListUpdateAppIndex, "x" } });
        EXPECT_EQ(update ? std::optional(update->listIndex) : std::nullopt, c.read)
            << c.listIndex.toString().toStdString();
        if (update) {
            EXPECT_FALSE(update->appIndex);
        }
    }
}

TEST(NotificationPayloads, OtherPayloadsRoundTripAndRefuseWhatTheyCannotRead)
{
    EXPECT_EQ(AppDeletion::fromUserInfo(AppDeletion { "42" }.userInfo())->identifier, "42");
    EXPECT_FALSE(AppDeletion::fromUserInfo({ { AppDeletionIdentifier, 42 } }));

    const QSet<QString> identifiers { "1", "2" };
    EXPECT_EQ(AppReload::fromUserInfo(AppReload { identifiers }.userInfo())->identifiers,
              identifiers);
    EXPECT_FALSE(AppReload::fromUserInfo({ { AppReloadIdentifierSet, "1" } }));

    const auto moved = ListRearrangement::fromUserInfo(ListRearrangement { 3, 1 }.userInfo());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->oldIndex, 3);
    EXPECT_EQ(moved->newIndex, 1);
    EXPECT_FALSE(ListRearrangement::fromUserInfo({ { ListRearrangementOldIndex, 3 } }));
}
