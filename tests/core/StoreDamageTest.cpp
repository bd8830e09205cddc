#include "StoreTestSupport.h"

#include "core/Database.h"
#include "core/StoreSchema.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <thread>

using namespace tanvill;

namespace {

constexpr int kApps = 120;
constexpr qint64 kPageSize = 4096;

class StoreDamage : public test::StoreTest
{
protected:
    // A list of applications with long descriptions, so the file has many pages.
    void fill()
    {
        List *list = controller().createList("Games");
        for (int i = 0; i < kApps; ++i) {
            App *app = addApp(list, QStringLiteral("App %1").arg(i), 2);
            app->setAppStoreDescription(QString(2500, QLatin1Char('a' + i % 26)));
            app->setNotes(QStringLiteral("note %1").arg(i));
        }
        controller().saveWithAsync(false);
    }

    // Overwrites one page with random bytes and counts the file as changed by another
    // writer, so that open connections read it afresh.
    void damagePage(qint64 page)
    {
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_LT(page * kPageSize, file.size());
        QByteArray noise(kPageSize, Qt::Uninitialized);
        QRandomGenerator generator { quint32(page) };
        generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), qsizetype(kPageSize / 4));
        file.seek(page * kPageSize);
        file.write(noise);
        QByteArray counter(4, Qt::Uninitialized);
        file.seek(24);
        ASSERT_EQ(file.read(counter.data(), 4), 4);
        qToBigEndian(qFromBigEndian<quint32>(counter.constData()) + 1, counter.data());
        file.seek(24);
        file.write(counter);
    }

    qint64 middlePage() const { return QFileInfo(storePath()).size() / kPageSize / 2; }
    qint64 indexPage() const
    {
        return countRows("SELECT rootpage FROM sqlite_master WHERE name = 'apps_by_list'") - 1;
    }

    // Every record is still there after a restart, in a file SQLite finds sound.
    void expectEverythingKept()
    {
        reopen();
        EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Opened);
        ASSERT_EQ(controller().lists().size(), 1u);
        const std::vector<App *> apps = controller().lists().front()->apps();
        ASSERT_EQ(apps.size(), size_t(kApps));
        for (int i = 0; i < kApps; ++i) {
            EXPECT_EQ(apps[size_t(i)]->name(), QStringLiteral("App %1").arg(i));
            EXPECT_EQ(apps[size_t(i)]->screenshots().size(), 2u);
        }
        Database database;
        ASSERT_TRUE(database.open(storePath(), false));
        EXPECT_TRUE(StoreSchema::passesQuickCheck(database));
    }

    QStringList setAsideFiles() const
    {
        return QDir(dataFolder()).entryList({ "Tanvill.unreadable-*.sqlite" }, QDir::Files);
    }
};

} // namespace

TEST_F(StoreDamage, AStoreDamagedWhileRunningIsWrittenAnewFromMemory)
{
    for (const bool atIndex : { false, true }) {
        SCOPED_TRACE(atIndex ? "an index page" : "the middle of the file");
        close();
        QDir(dataFolder()).removeRecursively();
        reopen();
        alerts->errors.clear();
        fill();
        damagePage(atIndex ? indexPage() : middlePage());

        // A change to every application touches every page of the file.
        for (App *app : controller().apps()) {
            app->setNotes(app->notes().value_or(QString()) + QStringLiteral(" (edited)"));
            app->setIdentifier(app->identifier() + QStringLiteral("0"));
            app->setAppStoreDescription(app->name());
        }
        controller().saveWithAsync(true);
        ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
        ASSERT_EQ(alerts->errors.size(), 1u);
        EXPECT_EQ(alerts->errors.front().code, 4);
        ASSERT_EQ(setAsideFiles().size(), 1);
        EXPECT_TRUE(alerts->errors.front().recoverySuggestion.contains(setAsideFiles().front()));

        // Later saves succeed and nobody is told anything more.
        controller().lists().front()->apps().front()->setNotes(QStringLiteral("after"));
        controller().saveWithAsync(false);
        test::drainEvents();
        EXPECT_EQ(alerts->errors.size(), 1u);
        EXPECT_FALSE(context().hasChanges());
        expectEverythingKept();
        EXPECT_EQ(controller().lists().front()->apps().front()->notes(), "after");
        EXPECT_EQ(controller().lists().front()->apps().back()->notes(),
                  QStringLiteral("note %1 (edited)").arg(kApps - 1));
    }
}

TEST_F(StoreDamage, AStoreFileRemovedOrReplacedWhileRunningIsWrittenAnewFromMemory)
{
    fill();
    App *app = controller().lists().front()->apps().back();
    for (const bool replaced : { false, true }) {
        ASSERT_TRUE(QFile::remove(storePath()));
        EXPECT_TRUE(!replaced || QFile(storePath()).open(QIODevice::WriteOnly));
        app->setNotes(replaced ? QStringLiteral("replaced") : QStringLiteral("removed"));
        controller().saveWithAsync(true);
        ASSERT_TRUE(test::waitFor([&] { return alerts->errors.size() == (replaced ? 2u : 1u); }));
        EXPECT_EQ(alerts->errors.back().code, 6);
    }
    // Later saves succeed and nobody is told anything more.
    app->setNotes(QStringLiteral("later"));
    controller().saveWithAsync(false);
    test::drainEvents();
    EXPECT_EQ(alerts->errors.size(), 2u);
    EXPECT_EQ(setAsideFiles().size(), 1);
    // Removed with nothing left to save: quitting writes it anew.
    ASSERT_TRUE(QFile::remove(storePath()));
    expectEverythingKept();
    EXPECT_EQ(controller().apps().back()->notes(), "later");
}

TEST_F(StoreDamage, AStoreDamagedWhereLoadingDoesNotLookIsRepairedAtOpening)
{
    fill();
    close();
    damagePage(middlePage());
    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Repaired);
    EXPECT_TRUE(alerts->errors.empty()) << "nothing is shown while the controller is built";
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(alerts->errors.front().code, 4);
    EXPECT_EQ(setAsideFiles().size(), 1);
    expectEverythingKept();
}

TEST_F(StoreDamage, OneProcessAtATimeHoldsTheStore)
{
    controller().createList("Mine");
    controller().saveWithAsync(false);
    ObjectStore second;
    const ObjectStore::OpenResult result = second.open(storePath());
    EXPECT_EQ(result.outcome, ObjectStore::OpenOutcome::InUse);
    EXPECT_TRUE(result.error.contains(QString::number(QCoreApplication::applicationPid())));
    EXPECT_FALSE(second.isOpen());
    EXPECT_TRUE(second.context().lists().empty());
    second.context().insertList()->setName("Stale");
    EXPECT_TRUE(second.save(false).has_value()) << "a store in other hands is never written";

    close();
    ObjectStore third;
    EXPECT_EQ(third.open(storePath()).outcome, ObjectStore::OpenOutcome::Opened);
    ASSERT_EQ(third.context().lists().size(), 1u);
    EXPECT_EQ(third.context().lists().front()->name(), "Mine");
}

TEST(StoreSchema, TwoConnectionsCreatingOneNewStoreAtOnceBothSucceed)
{
    QTemporaryDir folder;
    for (int round = 0; round < 20; ++round) {
        const QString path = folder.filePath(QStringLiteral("race%1.sqlite").arg(round));
        bool succeeded[2] = {};
        QString errors[2];
        auto create = [&](int which) {
            Database database;
            succeeded[which] = database.open(path, true)
                && StoreSchema::configure(database, &errors[which])
                && StoreSchema::migrate(database, &errors[which]);
        };
        std::thread first(create, 0);
        std::thread second(create, 1);
        first.join();
        second.join();
        EXPECT_TRUE(succeeded[0] && succeeded[1])
            << errors[0].toStdString() << " / " << errors[1].toStdString();
    }
}
