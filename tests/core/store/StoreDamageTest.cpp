#include "support/StoreTestSupport.h"

#include "core/StoreResultRecord.h"
#include "core/store/Database.h"
#include "core/store/StoreCheck.h"
#include "core/store/StoreSchema.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <atomic>
#include <future>
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

    // The files set aside, named for why: "damaged" or "replaced".
    QStringList setAsideFiles(const QString &why = "damaged") const
    {
        return QDir(dataFolder()).entryList({ "Tanvill." + why + "-*.sqlite" }, QDir::Files);
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

TEST_F(StoreDamage, AStoreFileRemovedReplacedOrEmptiedWhileRunningIsWrittenAnewFromMemory)
{
    fill();
    App *app = controller().lists().front()->apps().back();
    enum Fault { Removed, Replaced, Emptied };
    for (const Fault fault : { Removed, Replaced, Emptied }) {
        SCOPED_TRACE(int(fault));
        if (fault == Emptied) {
            // Cut to nothing in place (": > Tanvill.sqlite"): the same file, no tables.
            ASSERT_TRUE(QFile::resize(storePath(), 0));
        } else {
            ASSERT_TRUE(QFile::remove(storePath()));
        }
        if (fault == Replaced) {
            QFile other(storePath());
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
            other.write("another program's file");
        }
        const size_t told = alerts->errors.size();
        app->setNotes(QStringLiteral("fault %1").arg(int(fault)));
        // Whoever waits for the change to be in the file hears so once it is written anew.
        bool committed = false;
        controller().whenCommitted([&] { committed = true; });
        controller().saveWithAsync(true);
        ASSERT_TRUE(test::waitFor([&] { return alerts->errors.size() == told + 1; }));
        EXPECT_EQ(alerts->errors.back().code, 6);
        EXPECT_TRUE(test::waitFor([&] { return committed; }));
    }
    // Later saves succeed and nobody is told anything more.
    app->setNotes(QStringLiteral("later"));
    controller().saveWithAsync(false);
    test::drainEvents();
    EXPECT_EQ(alerts->errors.size(), 3u);
    EXPECT_EQ(setAsideFiles("replaced").size(), 1);
    // Gone, or emptied, with nothing left to save: quitting writes it anew.
    ASSERT_TRUE(QFile::resize(storePath(), 0));
    expectEverythingKept();
    EXPECT_EQ(controller().apps().back()->notes(), "later");
}

TEST_F(StoreDamage, ChangesMadeWhileTheStoreIsWrittenAnewAreSavedOnceItIsInPlace)
{
    fill();
    // The fresh file is held half-written while the program goes on, or until the test ends.
    std::promise<void> release;
    std::atomic<bool> writing = false;
    controller().objectStore().writeStepHook
        = [&, released = release.get_future().share()](ObjectStore::WriteStep) {
              writing = true;
              released.wait();
          };
    ASSERT_TRUE(QFile::remove(storePath()));
    controller().apps().front()->setNotes("before");
    controller().saveWithAsync(true);
    ASSERT_TRUE(test::waitFor([&] { return writing.load(); }));
    controller().apps().front()->setNotes("while written");
    controller().createList("Tools");
    EXPECT_TRUE(alerts->errors.empty()) << "changes that wait for the fresh file are no failure";
    release.set_value();
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(alerts->errors.front().code, 6);
    ASSERT_TRUE(test::waitFor([&] { return !controller().objectStore().hasUnsavedChanges(); }));
    reopen();
    EXPECT_EQ(controller().lists().size(), 2u);
    EXPECT_EQ(countRows("SELECT count(*) FROM apps WHERE notes = 'while written'"), 1);
}

TEST_F(StoreDamage, ReadsFailingByTheHundredRepairTheStoreOnce)
{
    fill();
    reopen();
    // Emptied in place before anything was read: every description read fails.
    ASSERT_TRUE(QFile::resize(storePath(), 0));
    for (const App *app : controller().apps())
        app->appStoreDescription();
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    test::drainEvents();
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.front().code, 6);
    // What the emptied file held but nobody had read is gone; every record is kept.
    reopen();
    EXPECT_EQ(controller().apps().size(), size_t(kApps));
}

TEST_F(StoreDamage, ARewriteThatFailedIsTriedAgainWithEveryLaterSave)
{
    fill();
    // The folder goes, and cannot be made again for a while.
    ASSERT_TRUE(QDir(dataFolder()).removeRecursively());
    QFile blocker(dataFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    App *app = controller().lists().front()->apps().back();
    app->setNotes("while the folder cannot be made");
    controller().saveWithAsync(false);
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.back().code, 1);
    EXPECT_TRUE(
        alerts->errors.back().recoverySuggestion.contains(QDir::toNativeSeparators(dataFolder())))
        << alerts->errors.back().recoverySuggestion.toStdString();
    EXPECT_TRUE(controller().objectStore().hasUnsavedChanges());

    ASSERT_TRUE(blocker.remove());
    app->setNotes("once it can");
    controller().saveWithAsync(false);
    ASSERT_EQ(alerts->errors.size(), 2u);
    EXPECT_EQ(alerts->errors.back().code, 6);
    EXPECT_FALSE(controller().objectStore().hasUnsavedChanges());
    expectEverythingKept();
    EXPECT_EQ(controller().apps().back()->notes(), "once it can");
}

TEST_F(StoreDamage, WhatTheFileCannotGiveJustNowIsNeverWrittenAsEmpty)
{
    fill();
    reopen();
    // Another process holds the file while it is removed from under the store: nothing of it
    // can be read for the fresh file.
    Database other;
    ASSERT_TRUE(other.open(storePath(), false));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(QFile::remove(storePath()));
    App *app = controller().apps().back();
    app->setNotes("while held");
    controller().saveWithAsync(false);
    EXPECT_FALSE(QFileInfo::exists(storePath()));
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.back().code, 1);

    ASSERT_TRUE(other.exec("COMMIT"));
    other.close();
    app->setNotes("let go");
    controller().saveWithAsync(false);
    EXPECT_EQ(alerts->errors.back().code, 6);
    expectEverythingKept();
    for (const App *kept : controller().apps())
        EXPECT_EQ(kept->appStoreDescription().size(), 2500);
}

TEST_F(StoreDamage, ARefreshWhileAnotherProgramHoldsTheFileNeitherWaitsForItNorDoublesScreenshots)
{
    fill();
    reopen();
    Database other;
    ASSERT_TRUE(other.open(storePath(), false) && other.exec("BEGIN EXCLUSIVE"));
    // The store's answers, applied as a refresh applies them: descriptions and screenshots are
    // still in the file only.
    QElapsedTimer clock;
    clock.start();
    for (App *app : controller().apps()) {
        CachedApp answer;
        answer.name = app->name();
        answer.description = "A newer description.";
        answer.screenshotUrls = { app->name() + "/shot0.png", app->name() + "/shot1.png" };
        copyStoreDetails(*app, answer, context());
    }
    // Each read used to wait a tenth of a second on the UI thread: 24 s for these.
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_TRUE(other.exec("COMMIT"));
    controller().saveWithAsync(false);
    expectEverythingKept();
}

TEST_F(StoreDamage, DamageTheDelayedCheckFindsIsRepairedAndACheckThatCannotRunIsNot)
{
    fill();
    close();
    // Another process keeps the file locked while the check runs: the check cannot run,
    // which says nothing about the file.
    std::vector<StoreCheck::Verdict> verdicts;
    reopenInBackground(0, 10);
    QObject::connect(&controller().objectStore(), &ObjectStore::checked,
                     [&](StoreCheck::Verdict verdict) { verdicts.push_back(verdict); });
    ASSERT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Opened);
    Database other;
    ASSERT_TRUE(other.open(storePath(), false));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    ASSERT_TRUE(test::waitFor([&] { return !verdicts.empty(); }, 10000));
    EXPECT_EQ(verdicts.front(), StoreCheck::Verdict::NotRun);
    ASSERT_TRUE(other.exec("COMMIT"));
    ASSERT_TRUE(
        test::waitFor([&] { return verdicts.back() == StoreCheck::Verdict::Sound; }, 10000));
    test::drainEvents();
    EXPECT_TRUE(alerts->errors.empty());
    EXPECT_TRUE(setAsideFiles().isEmpty());

    // Damage where loading does not look: the check a moment after opening finds it, and the
    // store is written anew.
    close();
    damagePage(middlePage());
    reopenInBackground(0, 60000);
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Opened);
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(alerts->errors.front().code, 4);
    EXPECT_EQ(setAsideFiles().size(), 1);
    expectEverythingKept();
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
    // Whatever becomes of the lock file meanwhile: removed, or put back naming nobody.
    for (const bool putBack : { false, true }) {
        QFile::remove(ObjectStore::lockPath(storePath()));
        ASSERT_TRUE(!putBack
                    || QFile(ObjectStore::lockPath(storePath())).open(QIODevice::WriteOnly));
        EXPECT_EQ(ObjectStore().open(storePath()).outcome, ObjectStore::OpenOutcome::InUse);
    }

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
