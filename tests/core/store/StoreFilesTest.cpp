// What stands beside the store, or where its folder was, never hides, splits or replaces the
// user's lists.
#include "support/StoreTestSupport.h"

#include "core/store/Database.h"
#include "core/store/StoreSchema.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace tanvill;

namespace {

class FilesBesideTheStore : public test::StoreTest
{
protected:
    QString fresh() const { return storePath() + ".new"; }
    QStringList names(const QString &pattern) const
    {
        return QDir(dataFolder()).entryList({ pattern }, QDir::Files);
    }
    QStringList listNames()
    {
        QStringList names;
        for (const List *list : controller().lists())
            names << list->name();
        return names;
    }
    // A store of its own at path with one list of that name, the identity given or its own.
    static void makeStore(const QString &path, const QString &list,
                          std::optional<quint32> identity = std::nullopt)
    {
        {
            ListsController other(path);
            other.createList(list);
            other.saveWithAsync(false);
        }
        if (identity) {
            Database database;
            ASSERT_TRUE(database.open(path, false)
                        && StoreSchema::setIdentity(database, *identity));
        }
    }
    quint32 identity() const { return StoreSchema::identityInFile(storePath()).value_or(0); }
};

} // namespace

TEST_F(FilesBesideTheStore, OnlyTheStoresOwnUnfinishedRewriteTakesItsPlace)
{
    controller().createList("Mine");
    controller().saveWithAsync(false);
    const quint32 own = identity();
    ASSERT_NE(own, 0u);
    close();
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray mine = file.readAll();
    file.close();

    using Outcome = ObjectStore::OpenOutcome;
    enum Leftover { FromAnotherHome, OfNoIdentity, OwnButOlderThanTheStore, OwnAndNewer };
    enum AtPath { TheStore, Nothing, DamagedHeader };
    struct Case
    {
        Leftover leftover;
        AtPath atPath;
        Outcome outcome;
        QStringList lists;
        // What the store went aside as, and the codes of what the user is told, in turn.
        QString setAside;
        std::vector<int> told;
    };
    // A leftover not proven the store's own stays, whatever stands at the path, and a damaged
    // store goes aside as it would without it.
    const Case cases[] = {
        { FromAnotherHome, TheStore, Outcome::Opened, { "Mine" }, {}, { 9 } },
        { OfNoIdentity, TheStore, Outcome::Opened, { "Mine" }, {}, { 9 } },
        { OwnButOlderThanTheStore, TheStore, Outcome::Opened, { "Mine" }, {}, { 9 } },
        { FromAnotherHome, Nothing, Outcome::Created, {}, {}, { 9 } },
        { FromAnotherHome, DamagedHeader, Outcome::ReplacedUnreadable, {}, "unreadable", { 9, 2 } },
        { OwnAndNewer, Nothing, Outcome::RewriteFinished, { "Newer" }, {}, {} },
        { OwnAndNewer, DamagedHeader, Outcome::RewriteFinished, { "Newer" }, "superseded", { 8 } },
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(testing::Message() << test.leftover << " " << test.atPath);
        // The store as this Tanvill kept it last.
        QFile::remove(fresh());
        for (const QString &aside : names("Tanvill.*-*.sqlite"))
            QFile::remove(dataFolder() + "/" + aside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(mine);
        file.close();
        reopen();
        close();
        switch (test.leftover) {
        case FromAnotherHome:
        case OfNoIdentity:
            makeStore(fresh(), "Other", test.leftover == OfNoIdentity ? 0u : own + 1);
            break;
        case OwnButOlderThanTheStore: {
            // A copy that an earlier start could not put in place; the store was written after.
            makeStore(fresh(), "Older", own);
            QFile older(fresh());
            ASSERT_TRUE(older.open(QIODevice::ReadWrite)
                        && older.setFileTime(QFileInfo(storePath()).lastModified().addSecs(-60),
                                             QFileDevice::FileModificationTime));
            break;
        }
        case OwnAndNewer:
            makeStore(fresh(), "Newer", own);
            break;
        }
        if (test.atPath == Nothing) {
            ASSERT_TRUE(QFile::remove(storePath()));
        } else if (test.atPath == DamagedHeader) {
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.write("no header at all");
            file.close();
        }

        alerts->errors.clear();
        EXPECT_EQ(reopen().openResult().outcome, test.outcome);
        EXPECT_EQ(listNames(), test.lists);
        EXPECT_EQ(QFile::exists(fresh()), test.leftover != OwnAndNewer);
        const QStringList setAside = names("Tanvill.*-*.sqlite");
        EXPECT_EQ(setAside.size(), test.setAside.isEmpty() ? 0 : 1);
        EXPECT_TRUE(setAside.isEmpty() || setAside.front().startsWith("Tanvill." + test.setAside));
        test::drainEvents();
        std::vector<int> told;
        for (const Error &error : alerts->errors)
            told.push_back(error.code);
        EXPECT_EQ(told, test.told);
        EXPECT_TRUE(told.empty() || told.front() != 9
                    || alerts->errors.front().recoverySuggestion.contains(fresh()));
        close();
        // Told once.
        alerts->errors.clear();
        EXPECT_EQ(reopen().openResult().outcome, Outcome::Opened);
        test::drainEvents();
        EXPECT_TRUE(alerts->errors.empty());
        close();
    }
    // A rewrite that needs the name moves the leftover aside rather than over it.
    makeStore(fresh(), "Other", own + 1);
    reopen().lists().front()->setName("Rewritten");
    ASSERT_TRUE(QFile::remove(storePath()));
    controller().saveWithAsync(false);
    EXPECT_EQ(names("Tanvill.leftover-*.sqlite").size(), 1);
    EXPECT_EQ(reopen().lists().front()->name(), "Rewritten");
}

TEST_F(FilesBesideTheStore, AMovedFolderIsNeverWrittenIntoWhileAnotherCopyHoldsTheOneAtItsPlace)
{
    controller().createList("Mine");
    controller().saveWithAsync(false);
    // The folder is moved while Tanvill runs, and another copy makes a fresh one.
    const QString moved = dataFolder() + ".moved";
    ASSERT_TRUE(QDir().rename(dataFolder(), moved));
    ObjectStore other;
    ASSERT_EQ(other.open(storePath()).outcome, ObjectStore::OpenOutcome::Created);

    const auto kept = [&] {
        const QStringList files = names("Tanvill.unsaved-*.sqlite");
        Database file;
        return files.size() == 1 && file.open(dataFolder() + "/" + files.front(), false)
            ? file.queryText("SELECT name FROM lists").value_or("")
            : QString::number(files.size());
    };
    controller().lists().front()->setName("First");
    controller().saveWithAsync(true);
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(kept(), "First");
    controller().lists().front()->setName("Second");
    controller().saveWithAsync(true);
    ASSERT_TRUE(test::waitFor([&] { return kept() == "Second"; })) << kept().toStdString();
    // Told once, of the one file that keeps everything, up to date.
    test::drainEvents();
    ASSERT_EQ(alerts->errors.size(), 1u);
    EXPECT_EQ(alerts->errors.front().code, 10);
    EXPECT_TRUE(alerts->errors.front().recoverySuggestion.contains(
        names("Tanvill.unsaved-*.sqlite").front()));
    // The other copy's store is its own, and nothing was left beside it.
    EXPECT_EQ(countRows("SELECT count(*) FROM lists"), 0);
    EXPECT_EQ(names("Tanvill.sqlite*"), QStringList { "Tanvill.sqlite" });
}

TEST_F(FilesBesideTheStore, HalfWrittenFilesGoAtTheNextStartUnlessARunningCopyWritesThem)
{
    close();
    const QString above = QFileInfo(dataFolder()).path();
    const auto partials = [&] {
        return QDir(dataFolder()).entryList({ "*.partial" }, QDir::Files)
            + QDir(above).entryList({ "*.partial" }, QDir::Files);
    };
    // Without flock, a half-written file is locked as fcntl locks it, clear of SQLite's locks.
    for (const LockSupport locks : { LockSupport::System, LockSupport::NoFlock }) {
        SCOPED_TRACE(int(locks));
        QDir(dataFolder()).removeRecursively();
        QDir(dataFolder() + ".moved").removeRecursively();
        // Another copy holds the store; its folder is moved while it runs.
        ObjectStore other(locks);
        ASSERT_EQ(other.open(storePath()).outcome, ObjectStore::OpenOutcome::Created);
        other.context().insertList()->setName("Kept by the other copy");
        ASSERT_TRUE(QDir().rename(dataFolder(), dataFolder() + ".moved"));
        // Half-written files of copies that were stopped, under earlier names and under names
        // of their own, where the store was and in the folder above.
        const QStringList abandoned = { storePath() + ".partial", storePath() + ".4242-1.partial",
                                        dataFolder() + "/Tanvill.unsaved.sqlite.partial",
                                        dataFolder() + "/Tanvill.unsaved.sqlite.4242-2.partial",
                                        above + "/Tanvill.unsaved.sqlite.partial" };
        ASSERT_TRUE(QDir().mkpath(dataFolder()));
        for (const QString &partial : abandoned) {
            for (const QString &file : { partial, partial + "-journal" }) {
                QFile written(file);
                ASSERT_TRUE(written.open(QIODevice::WriteOnly));
                written.write(QByteArray(4096, 'p'));
            }
        }
        // The other copy keeps its changes where its folder was as a start makes a store there.
        std::unique_ptr<ObjectStore> start;
        QStringList left;
        other.writeStepHook = [&](ObjectStore::WriteStep step) {
            if (step != ObjectStore::WriteStep::Writing || start)
                return;
            start = std::make_unique<ObjectStore>(locks);
            EXPECT_EQ(start->open(storePath()).outcome, ObjectStore::OpenOutcome::Created);
            left = partials();
        };
        QString error;
        const std::optional<QString> kept = other.keepUnsavedChanges(&error);
        ASSERT_EQ(left.size(), 1) << left.join(' ').toStdString();
        EXPECT_TRUE(left.front().startsWith("Tanvill.unsaved.sqlite."));
        ASSERT_TRUE(kept) << error.toStdString();
        EXPECT_EQ(QFileInfo(*kept).path(), dataFolder());
        Database file;
        ASSERT_TRUE(file.open(*kept, false));
        EXPECT_EQ(file.queryText("SELECT name FROM lists"), "Kept by the other copy");
        for (const QString &partial : abandoned)
            EXPECT_FALSE(QFile::exists(partial) || QFile::exists(partial + "-journal"))
                << partial.toStdString();
        EXPECT_TRUE(partials().isEmpty());
    }
}

TEST_F(FilesBesideTheStore, AJournalAnotherFileLeftIsNeverRolledIntoTheStoreThatTookItsPlace)
{
    // Another program writing the store is stopped mid-write; then, or not, the changes Tanvill
    // kept are put in the store's place.
    for (const bool keptInPlace : { true, false }) {
        SCOPED_TRACE(keptInPlace ? "a kept file in place" : "the store itself");
        close();
        QDir(dataFolder()).removeRecursively();
        reopen().createList("Lists");
        controller().saveWithAsync(false);
        controller().lists().front()->setName("Kept");
        QString error;
        const std::optional<QString> kept = controller().objectStore().keepUnsavedChanges(&error);
        ASSERT_TRUE(kept) << error.toStdString();
        controller().lists().front()->setName("Lists");
        close();
        QByteArray journal;
        {
            Database writer;
            ASSERT_TRUE(writer.open(storePath(), false)
                        && writer.exec("PRAGMA synchronous=OFF; BEGIN; CREATE TABLE cut(x);"
                                       " UPDATE lists SET name = 'Cut short'"));
            QFile written(storePath() + "-journal");
            ASSERT_TRUE(written.open(QIODevice::ReadOnly));
            journal = written.readAll();
        }
        ASSERT_TRUE(!keptInPlace
                    || (QFile::remove(storePath()) && QFile::rename(*kept, storePath())));
        QFile left(storePath() + "-journal");
        ASSERT_TRUE(left.open(QIODevice::WriteOnly) && left.write(journal) == journal.size());
        left.close();
        alerts->errors.clear();
        reopen();
        test::drainEvents();
        EXPECT_EQ(listNames(), QStringList { keptInPlace ? "Kept" : "Lists" });
        // Only another file's journal is kept aside, and the user told where.
        const QStringList aside = names("Tanvill.unfinished-*.sqlite-journal");
        ASSERT_EQ(aside.size(), keptInPlace ? 1 : 0);
        ASSERT_EQ(alerts->errors.size(), aside.size());
        EXPECT_TRUE(aside.isEmpty()
                    || alerts->errors.front().recoverySuggestion.contains(aside[0]));
        EXPECT_FALSE(QFile::exists(storePath() + "-journal"));
    }
}
