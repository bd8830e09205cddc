#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using tanvill::Notification;
using tanvill::NotificationCenter;

TEST(NotificationCenter, DeliversSynchronouslyInRegistrationOrderWithUserInfo)
{
    NotificationCenter center;
    QObject context;
    QStringList calls;
    center.addObserver("A", &context, [&](const Notification &n) {
        calls << "first:" + n.userInfo.value("index").toString();
    });
    center.addObserver("A", &context, [&](const Notification &) { calls << "second"; });
    center.addObserver("B", &context, [&](const Notification &) { calls << "other name"; });

    center.post("A", nullptr, { { "index", 3 } });
    EXPECT_EQ(calls, QStringList({ "first:3", "second" }));
}

TEST(NotificationCenter, FiltersBySenderWhenOneIsGiven)
{
    NotificationCenter center;
    QObject context;
    int fromWanted = 0;
    int fromAny = 0;
    int wanted = 0;
    int other = 0;
    center.addObserver(
        "A", &context, [&](const Notification &) { ++fromWanted; }, &wanted);
    center.addObserver("A", &context, [&](const Notification &) { ++fromAny; });
    center.post("A", &other);
    center.post("A", &wanted);
    EXPECT_EQ(fromWanted, 1);
    EXPECT_EQ(fromAny, 2);
}

TEST(NotificationCenter, ObserverGoesAwayWithItsContext)
{
    NotificationCenter center;
    int calls = 0;
    auto context = std::make_unique<QObject>();
    center.addObserver("A", context.get(), [&](const Notification &) { ++calls; });
    center.post("A");
    context.reset();
    center.post("A");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, ObserversMayBeRemovedAndAddedDuringDelivery)
{
    NotificationCenter center;
    QObject context;
    QStringList calls;
    NotificationCenter::Token second = 0;
    center.addObserver("A", &context, [&](const Notification &) {
        calls << "first";
        center.removeObserver(second);
        center.addObserver("A", &context, [&](const Notification &) { calls << "added"; });
    });
    second = center.addObserver("A", &context, [&](const Notification &) { calls << "second"; });
    center.post("A");
    EXPECT_EQ(calls, QStringList({ "first" }));
    calls.clear();
    center.post("A");
    EXPECT_EQ(calls.count("added"), 1);
}

TEST(NotificationCenter, ContextDestroyedByAnEarlierObserverIsNotCalled)
{
    NotificationCenter center;
    QObject first;
    auto second = std::make_unique<QObject>();
    int secondCalls = 0;
    center.addObserver("A", &first, [&](const Notification &) { second.reset(); });
    center.addObserver("A", second.get(), [&](const Notification &) { ++secondCalls; });
    center.post("A");
    EXPECT_EQ(secondCalls, 0);
}

TEST(NotificationCenter, NothingATeardownPostsReachesWhatIsTornDownWithIt)
{
    QTemporaryDir folder;
    tanvill::UserDefaults settings(folder.filePath("settings.conf"));
    NotificationCenter center;
    QStringList heard;
    QObject outside;
    auto window = std::make_unique<QObject>();
    // Its end posts and writes a setting, as a window's part closed at quit may.
    QObject::connect(new QObject(window.get()), &QObject::destroyed, [&] {
        center.post("A");
        settings.setValue("key", 2);
    });
    // Taken down after the sibling above, whole until then, but going with the window.
    auto *inside = new QObject(window.get());
    for (QObject *context : { inside, &outside }) {
        const QString who = context == inside ? "inside" : "outside";
        center.addObserver("A", context,
                           [&heard, who](const Notification &) { heard << who + " notice"; });
        settings.observe("key", context,
                         [&heard, who](const QVariant &) { heard << who + " setting"; });
    }
    window.reset();
    EXPECT_EQ(heard.join(", ").toStdString(), "outside notice, outside setting");
}
