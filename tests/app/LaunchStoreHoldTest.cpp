#include "app/LaunchStoreHold.h"
#include "core/ListsController.h"
#include "core/store/ObjectStore.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>

using namespace tanvill;

namespace tanvill {
struct ObjectStoreTestAccess
{
    static auto &awaitingFileChanges(ObjectStore &store) { return store.m_awaitingFileChanges; }
};
} // namespace tanvill

TEST(LaunchStoreHold, OnlyTheLaunchThatRunsOnChangesTheStoresFiles)
{
    // A file that is no store: the launch that keeps the store sets it aside.
    test::TestServices services { { .listsController = false } };
    QTemporaryDir folder;
    const QString storePath = folder.filePath("Tanvill.sqlite");
    const QByteArray unreadable = "this is no store of ours";
    const auto contentsOf = [&](const QString &name) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (const bool runsOn : { false, true }) {
        SCOPED_TRACE(runsOn ? "runs on" : "hands over");
        QFile file(storePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(unreadable) > 0);
        file.close();
        auto store = std::make_unique<ObjectStore>();
        std::atomic<bool> awaiting = false;
        ObjectStoreTestAccess::awaitingFileChanges(*store) = [&awaiting] {
            awaiting = true;
        };
        LaunchStoreHold hold(storePath, std::move(store));
        // The opening has come to the file and waits to set it aside; the event loop runs
        // meanwhile, as it may while the launch asks the running copy.
        ASSERT_TRUE(test::waitFor([&] { return awaiting.load(); }));
        test::drainEvents();
        if (!runsOn) {
            hold.letGoToHandOver();
            test::drainEvents();
            EXPECT_FALSE(ObjectStore::isInUse(storePath)) << "the running copy may have it now";
            EXPECT_EQ(contentsOf("Tanvill.sqlite"), unreadable);
            EXPECT_EQ(QDir(folder.path()).entryList({ "Tanvill.*-*.sqlite" }).size(), 0);
            continue;
        }
        ListsController lists(hold.runOn());
        lists.takeOverStore();
        EXPECT_EQ(lists.openResult().outcome, ObjectStore::OpenOutcome::ReplacedUnreadable);
        const QStringList aside = QDir(folder.path()).entryList({ "Tanvill.unreadable-*.sqlite" });
        ASSERT_EQ(aside.size(), 1);
        EXPECT_EQ(contentsOf(aside.front()), unreadable);
    }
}
