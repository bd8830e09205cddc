#include "support/StoreTestSupport.h"

#include "core/TextLimits.h"
#include "core/store/Database.h"
#include "core/store/StoreLock.h"
#include "core/store/StoreSchema.h"
#include "platform/FileLock.h"
#include "platform/UserDefaults.h"
#include "support/TestEnvironment.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tanvill;

namespace {

class Store : public test::StoreTest
{
protected:
    void writeFile(const QByteArray &contents)
    {
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void runSql(const QString &sql)
    {
        Database database;
        ASSERT_TRUE(database.open(storePath(), true));
        ASSERT_TRUE(database.exec(sql)) << database.lastError().toStdString();
    }
    // The one file next to the store that holds the set-aside copy.
    QStringList setAsideFiles()
    {
        return QDir(dataFolder()).entryList({ "Tanvill.unreadable-*.sqlite" }, QDir::Files);
    }
    QStringList listNames()
    {
        QStringList names;
        for (const List *list : controller().lists())
            names << list->name();
        return names;
    }
    void expectSetAsideAndReported(const QByteArray &original)
    {
        // Nothing is shown while the controller is being built.
        EXPECT_TRUE(alerts->errors.empty());
        EXPECT_TRUE(alerts->alerts.empty());
        EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::ReplacedUnreadable);
        ASSERT_EQ(setAsideFiles().size(), 1);
        EXPECT_EQ(readFile(dataFolder() + "/" + setAsideFiles().front()), original);
        EXPECT_TRUE(controller().lists().empty());

        ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
        EXPECT_EQ(alerts->errors.front().domain, "com.tanvill.Tanvill.ObjectStore");
        EXPECT_TRUE(alerts->errors.front().recoverySuggestion.contains(setAsideFiles().front()));

        // The fresh store works.
        controller().createList("New");
        controller().saveWithAsync(false);
        reopen();
        EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Opened);
        EXPECT_EQ(listNames(), QStringList { "New" });
    }
};

} // namespace

TEST_F(Store, AFileThatIsNotSQLiteIsSetAsideAndReported)
{
    close();
    const QByteArray original = QByteArray("These are my notes, not a database.\n").repeated(200);
    writeFile(original);
    reopen();
    expectSetAsideAndReported(original);
}

TEST_F(Store, ACorruptStoreIsSetAsideAndReported)
{
    List *list = controller().createList("Games");
    for (int i = 0; i < 200; ++i)
        addApp(list, QStringLiteral("App %1").arg(i), 2)
            ->setAppStoreDescription(QString(3000, QLatin1Char('x')));
    controller().saveWithAsync(false);
    close();

    QByteArray damaged = readFile(storePath());
    ASSERT_GT(damaged.size(), 64 * 1024);
    for (qsizetype at = 4096; at < damaged.size(); at += 4096)
        damaged.replace(at + 8, 64, QByteArray(64, '\xa5'));
    writeFile(damaged);
    reopen();
    expectSetAsideAndReported(damaged);
}

TEST_F(Store, StoresOfOtherProgramsAreSetAsideAndNewerVersionsLeftAsTheyAre)
{
    close();
    QFile::remove(storePath());
    runSql("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('keep me')");
    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::ReplacedUnreadable);

    close();
    QFile::remove(storePath());
    runSql("PRAGMA user_version = 99; CREATE TABLE lists (id, idx, name, color)");
    const QByteArray newer = readFile(storePath());
    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Newer);
    ASSERT_TRUE(test::waitFor([&] { return !alerts->alerts.empty(); }));
    EXPECT_EQ(alerts->alerts.front().style, Alert::Style::Critical);
    close();
    EXPECT_EQ(readFile(storePath()), newer);
    EXPECT_EQ(setAsideFiles().size(), 1);
}

TEST_F(Store, AStoreOfAVersionNoTanvillWritesIsSetAsideAndReported)
{
    // user_version is a signed number, and no version of Tanvill's is below zero.
    controller().createList("Old");
    controller().saveWithAsync(false);
    close();
    runSql("PRAGMA user_version = -1");
    const QByteArray original = readFile(storePath());
    reopen();
    expectSetAsideAndReported(original);
}

TEST_F(Store, ALockPathThatIsNoFileMakesWayAndTheStoreOpens)
{
    const QString lock = ObjectStore::lockPath(storePath());
    for (const QString &inTheWay : { lock, lock + "/inside" }) {
        close();
        QFile::remove(lock);
        ASSERT_TRUE(QDir().mkpath(inTheWay));
        EXPECT_EQ(reopen().openResult().outcome, ObjectStore::OpenOutcome::Opened);
    }
    EXPECT_EQ(QDir(dataFolder()).entryList({ "Tanvill.lock.unused-*" }).size(), 1);
}

TEST_F(Store, AnEmptySQLiteFileBecomesAStore)
{
    close();
    QFile::remove(storePath());
    runSql("PRAGMA user_version = 0");
    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Opened);
    EXPECT_EQ(countRows("PRAGMA user_version"), StoreSchema::currentVersion());
    EXPECT_EQ(countRows("SELECT count(*) FROM sqlite_master WHERE name = 'screenshots'"), 1);
    EXPECT_TRUE(setAsideFiles().isEmpty());
}

TEST_F(Store, PricesAnOlderVersionKeptAreInTheCurrencyOfTheDayTheStoreIsFirstOpened)
{
    addApp(controller().createList("List"), "Kept");
    close();
    // As the version before prices had a currency wrote it.
    runSql("ALTER TABLE apps DROP COLUMN store_country; ALTER TABLE apps DROP COLUMN currency_code;"
           " PRAGMA user_version = 1");
    // A later change of the store's currency is not theirs.
    for (const char *currency : { "GBP", "JPY" }) {
        UserDefaults::standard().setValue("currencyCode", currency);
        reopen();
        ASSERT_EQ(controller().apps().size(), 1u);
        EXPECT_EQ(controller().apps().front()->currencyCode(), "GBP");
    }
}

TEST_F(Store, AFolderThatCannotBeMadeGivesAClearErrorAfterConstruction)
{
    close();
    QDir(dataFolder()).removeRecursively();
    QFile blocker(dataFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::Failed);
    EXPECT_TRUE(alerts->alerts.empty());
    ASSERT_TRUE(test::waitFor([&] { return !alerts->alerts.empty(); }));
    EXPECT_EQ(alerts->alerts.front().style, Alert::Style::Critical);
    EXPECT_TRUE(
        alerts->alerts.front().informativeText.contains(QDir::toNativeSeparators(dataFolder())));

    // Working on without a store neither crashes nor piles up alerts.
    controller().createList("A");
    controller().saveWithAsync(false);
    test::drainEvents();
    EXPECT_EQ(alerts->alerts.size(), 1u);
    EXPECT_TRUE(alerts->errors.empty());
}

TEST_F(Store, AReadOnlyFolderGivesAClearError)
{
    close();
    QFile::remove(storePath());
    QFile::setPermissions(dataFolder(),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const auto openReportsReadOnly = [&] {
        reopen();
        return controller().openResult().outcome == ObjectStore::OpenOutcome::Failed
            && test::waitFor([&] { return !alerts->alerts.empty(); })
            && alerts->alerts.front().informativeText.contains("read-only");
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(openReportsReadOnly());
        QFile::setPermissions(dataFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return;
    }
    // Permissions do not bind the superuser: open the store as an unprivileged user in a
    // child process instead.
    QFile::setPermissions(QFileInfo(dataFolder()).path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                              | QFile::ExeOther);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && openReportsReadOnly() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Store, AStoreFileWeMayNotWriteStaysInPlaceAndIsReported)
{
    controller().createList("Mine");
    controller().saveWithAsync(false);
    close();
    const QByteArray original = readFile(storePath());
    QFile::setPermissions(storePath(), QFile::ReadOwner | QFile::ReadOther);
    const auto openReportsPermissions = [&] {
        reopen();
        return controller().openResult().outcome == ObjectStore::OpenOutcome::Failed
            && setAsideFiles().isEmpty() && readFile(storePath()) == original
            && test::waitFor([&] { return !alerts->alerts.empty(); })
            && alerts->alerts.front().informativeText.contains("permissions");
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(openReportsPermissions());
        return;
    }
    // As in the read-only folder test: only an unprivileged user is bound by permissions.
    const QFile::Permissions everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QFile::setPermissions(QFileInfo(dataFolder()).path(), everyone);
    QFile::setPermissions(dataFolder(), everyone);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(dropped && openReportsPermissions() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(Store, AFailedSaveIsReportedOnceAndRetriedWithTheNextSave)
{
    runSql("CREATE TRIGGER refuse BEFORE INSERT ON lists BEGIN SELECT RAISE(ABORT, 'disk "
           "refused'); END");
    controller().createList("A");
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(alerts->errors.front().code, 1);
    EXPECT_TRUE(alerts->errors.front().recoverySuggestion.contains("disk refused"));
    EXPECT_TRUE(context().hasChanges());

    controller().createList("B");
    controller().saveWithAsync(false);
    test::drainEvents();
    EXPECT_EQ(alerts->errors.size(), 1u);
    EXPECT_TRUE(context().hasChanges());

    runSql("DROP TRIGGER refuse");
    controller().createList("C");
    controller().saveWithAsync(false);
    EXPECT_FALSE(context().hasChanges());
    reopen();
    EXPECT_EQ(listNames(), (QStringList { "A", "B", "C" }));

    // Once saving works again, a new failure is news again.
    runSql("CREATE TRIGGER refuse BEFORE UPDATE ON lists BEGIN SELECT RAISE(ABORT, 'no'); END");
    controller().lists().front()->setName("A2");
    controller().saveWithAsync(false);
    EXPECT_EQ(alerts->errors.size(), 2u);
}

TEST_F(Store, SavingWithoutChangesWritesNothing)
{
    controller().createList("A");
    controller().saveWithAsync(false);
    // Any write would now fail and be reported.
    runSql("CREATE TRIGGER refuse BEFORE UPDATE ON lists BEGIN SELECT RAISE(ABORT, 'no'); END");
    controller().lists().front()->setName("A");
    controller().saveWithAsync(false);
    controller().saveWithAsync(true);
    test::drainEvents();
    EXPECT_TRUE(alerts->errors.empty());
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(Store, DescriptionsAreReadFromTheFileWhenFirstAsked)
{
    List *list = controller().createList("A");
    App *app = addApp(list, "Reader");
    app->setAppStoreDescription(QString::fromUtf8("Lines\nwith “quotes” and ünïcode"));
    controller().saveWithAsync(false);
    reopen();
    App *reread = controller().apps().front();
    runSql("UPDATE apps SET name = name");
    EXPECT_EQ(reread->appStoreDescription(), QString::fromUtf8("Lines\nwith “quotes” and ünïcode"));
    reread->setAppStoreDescription("Shorter");
    controller().saveWithAsync(false);
    reopen();
    EXPECT_EQ(controller().apps().front()->appStoreDescription(), "Shorter");

    // A read that fails is tried again, not taken for an empty description.
    reopen();
    bool readable = false;
    context().setDescriptionLoader(
        [&](qint64, ObjectContext::ReadFailure *) -> std::optional<QByteArray> {
            if (!readable)
                return std::nullopt;
            return QByteArray("Shorter");
        });
    App *unread = controller().apps().front();
    EXPECT_EQ(unread->appStoreDescription(), "");
    readable = true;
    EXPECT_EQ(unread->appStoreDescription(), "Shorter");
    EXPECT_FALSE(context().hasChanges());
}

TEST_F(Store, RemovedScreenshotsLeaveTheFile)
{
    List *list = controller().createList("A");
    App *app = addApp(list, "Shots", 4);
    controller().saveWithAsync(false);
    const std::vector<Screenshot *> shots = app->screenshots();
    app->setScreenshots({ shots[3], shots[0] });
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT count(*) FROM screenshots"), 2);
    reopen();
    const App *reread = controller().apps().front();
    ASSERT_EQ(reread->screenshots().size(), 2u);
    EXPECT_EQ(reread->screenshots()[0]->url(), "Shots/shot3.png");
    EXPECT_EQ(reread->screenshots()[1]->url(), "Shots/shot0.png");
}

TEST_F(Store, ScreenshotsNotReadYetStayThroughSavesAndGoWithTheirApp)
{
    List *list = controller().createList("A");
    addApp(list, "Kept", 2);
    addApp(list, "Gone", 3);
    controller().saveWithAsync(false);
    reopen();
    App *kept = controller().lists().front()->apps().front();
    kept->setName("Kept still");
    context().insertScreenshot(kept)->setUrl("Kept/shot2.png");
    context().deleteObject(controller().lists().front()->apps().back());
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT count(*) FROM screenshots"), 3);
    reopen();
    EXPECT_EQ(controller().apps().front()->screenshotUrls(),
              QStringList({ "Kept/shot0.png", "Kept/shot1.png", "Kept/shot2.png" }));
}

TEST_F(Store, AStoreOpenedInTheBackgroundIsWholeWhenFirstUsed)
{
    addApp(controller().createList("A"), "One", 2);
    controller().saveWithAsync(false);
    close();
    // The store waits for another process that lets go of it (a launch handing its link over),
    // but not for one that keeps it.
    for (const bool letGo : { true, false }) {
        SCOPED_TRACE(letGo ? "let go" : "kept");
        auto holder = std::make_unique<ObjectStore>();
        ASSERT_EQ(holder->open(storePath()).outcome, ObjectStore::OpenOutcome::Opened);
        auto store = std::make_unique<ObjectStore>();
        store->openInBackground(storePath(), letGo ? 10000 : 100);
        ListsController opened(std::move(store));
        if (letGo) {
            // Until it takes the store over, the controller answers at once that it has none.
            EXPECT_EQ(opened.openResult().outcome, ObjectStore::OpenOutcome::Opening);
            EXPECT_FALSE(ObjectStore::isUsable(opened.openResult().outcome));
#ifdef QT_NO_DEBUG
            EXPECT_EQ(opened.managedObjectContext(), nullptr);
            EXPECT_TRUE(opened.lists().empty());
            EXPECT_EQ(opened.selectedList(), nullptr);
            EXPECT_TRUE(opened.apps().empty());
            EXPECT_FALSE(opened.rowsForListAtIndex(0, ListGrouping::None, ListSorting::None));
#else
            // Asking for records before then is a mistake, and a debug build stops at it.
            GTEST_FLAG_SET(death_test_style, "threadsafe");
            EXPECT_DEATH(opened.lists(), "taken over");
#endif
            holder.reset();
        }
        opened.takeOverStore();
        EXPECT_EQ(opened.openResult().outcome,
                  letGo ? ObjectStore::OpenOutcome::Opened : ObjectStore::OpenOutcome::InUse);
        if (!letGo)
            continue;
        ASSERT_EQ(opened.apps().size(), 1u);
        EXPECT_EQ(opened.apps().front()->screenshots().size(), 2u);
        ASSERT_NE(opened.selectedList(), nullptr);
        EXPECT_EQ(opened.selectedList()->name(), "A");
        opened.createList("B");
    }
    reopen();
    EXPECT_EQ(listNames(), QStringList({ "A", "B" }));
}

TEST_F(Store, ChangesNobodySavedAreWrittenWhenTheControllerGoes)
{
    List *list = context().insertList();
    list->setName("Unsaved");
    addApp(list, "Unsaved app", 1);
    reopen();
    EXPECT_EQ(listNames(), QStringList { "Unsaved" });
    ASSERT_EQ(controller().apps().size(), 1u);
    EXPECT_EQ(controller().apps().front()->screenshots().size(), 1u);
}

TEST_F(Store, EmptyNotesStayEmptyAndAbsentNotesStayAbsent)
{
    List *list = controller().createList("A");
    addApp(list, "Empty notes")->setNotes(QString(""));
    addApp(list, "No notes");
    App *cleared = addApp(list, "Cleared notes");
    cleared->setNotes(QString("something"));
    cleared->setAppStoreDescription(QString());
    controller().saveWithAsync(false);
    cleared->setNotes(std::nullopt);
    controller().saveWithAsync(false);

    reopen();
    const std::vector<App *> apps = controller().lists().front()->apps();
    ASSERT_EQ(apps.size(), 3u);
    ASSERT_TRUE(apps[0]->notes());
    EXPECT_TRUE(apps[0]->notes()->isEmpty());
    EXPECT_FALSE(apps[1]->notes());
    EXPECT_FALSE(apps[2]->notes());
    EXPECT_EQ(apps[2]->appStoreDescription(), QString());
}

TEST_F(Store, ReopeningKeepsTheOrderOfAppsInEveryList)
{
    List *first = controller().createList("First");
    List *second = controller().createList("Second");
    App *a = addApp(first, "a");
    addApp(second, "b");
    App *c = addApp(first, "c");
    App *d = addApp(second, "d");
    controller().moveApp(c, 0);
    controller().moveApp(d, 0);
    controller().moveApp(a, second);
    controller().saveWithAsync(false);
    auto names = [](const std::vector<App *> &apps) {
        QStringList result;
        for (const App *app : apps)
            result << app->name();
        return result;
    };
    const QStringList before = names(first->apps()) + names(second->apps());
    reopen();
    const std::vector<List *> lists = controller().lists();
    ASSERT_EQ(lists.size(), 2u);
    EXPECT_EQ(names(lists[0]->apps()) + names(lists[1]->apps()), before);
    EXPECT_EQ(names(controller().apps()), before);
}

TEST_F(Store, HugeTextsInTheFileAreCutWhereTheyAreRead)
{
    addApp(controller().createList("A"), "Huge");
    controller().saveWithAsync(false);
    // Millions of characters, with a character of two code units where the name is cut.
    runSql("UPDATE apps SET name = printf('%.*c', 1023, 'x') || '\U0001F600' || zeroblob(4e6);"
           " UPDATE descriptions SET text = (SELECT name FROM apps)");
    reopen();
    EXPECT_EQ(controller().apps().front()->name(), QString(1023, QLatin1Char('x')));
    EXPECT_EQ(controller().apps().front()->appStoreDescription().size(), TextLimits::kLongText);
}

TEST_F(Store, LockFilesThatNameNoLiveHolderMakeWay)
{
    const QString lock = ObjectStore::lockPath(storePath());
    const QString elsewhere = dataFolder() + "/elsewhere";
    // What a power cut, a crash or a stray program can leave at the lock's path.
    const auto leave = [&](int which) {
        QFile file(which == 2 ? elsewhere : lock);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        if (which == 1)
            file.write(QByteArray(300, '\x9c'));
        if (which == 2) {
            file.write("4242\nsomething\n");
            ASSERT_TRUE(QFile::link(elsewhere, lock));
        }
        if (which == 3) {
            ASSERT_TRUE(file.resize(qint64(500) * 1024 * 1024));
        }
        // Read-only, unreadable, or another user's that only they may read.
        if (which == 4)
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadOther);
        if (which == 5)
            file.setPermissions({});
        if (which == 6) {
            ASSERT_EQ(::fchown(file.handle(), 65534, 65534), 0);
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
    };
    for (int which = 0; which < 7; ++which) {
        SCOPED_TRACE(which);
        close();
        QFile::remove(lock);
        leave(which);
        const test::WithFilePermissions asAUser;
        EXPECT_EQ(reopen().openResult().outcome, ObjectStore::OpenOutcome::Opened);
    }

    // A live holder whose file names no process still holds the store, and no message
    // names a process 0.
    close();
    const int fd = ::open(QFile::encodeName(lock).constData(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    reopen();
    EXPECT_EQ(controller().openResult().outcome, ObjectStore::OpenOutcome::InUse);
    EXPECT_FALSE(controller().openResult().error.contains("process"));
    ::close(fd);
}

TEST_F(Store, WithoutFlockAStoreIsStillKeptToOneProcessAndWithoutLocksTheMessageSaysSo)
{
    close();
    {
        ObjectStore first(LockSupport::NoFlock);
        EXPECT_EQ(first.open(storePath()).outcome, ObjectStore::OpenOutcome::Opened);
        EXPECT_EQ(ObjectStore(LockSupport::NoFlock).open(storePath()).outcome,
                  ObjectStore::OpenOutcome::InUse);
    }
    const ObjectStore::OpenResult result = ObjectStore(LockSupport::NoLocks).open(storePath());
    EXPECT_EQ(result.outcome, ObjectStore::OpenOutcome::Failed);
    EXPECT_TRUE(result.error.contains("cannot lock files")) << result.error.toStdString();
    // Nobody can tell whether it is free: a launch beside it takes it for held.
    EXPECT_TRUE(ObjectStore::isInUse(storePath(), LockSupport::NoLocks));
}

TEST_F(Store, AnotherProgramHoldingTheFileIsToldOfWithinMoments)
{
    close();
    Database other;
    ASSERT_TRUE(other.open(storePath(), false) && other.exec("BEGIN EXCLUSIVE"));
    const QDeadlineTimer soon(4000);
    const ObjectStore::OpenResult result = ObjectStore().open(storePath());
    // Every statement of opening used to wait five seconds in turn.
    EXPECT_FALSE(soon.hasExpired());
    EXPECT_TRUE(result.error.contains("Another program")) << result.error.toStdString();
}

TEST_F(Store, ALaunchThatMayStillHandOverChangesNoFile)
{
    close();
    writeFile("this is no store of ours");
    const QByteArray original = readFile(storePath());
    // Two launches at once: the one that hands its link over took the lock first, and the
    // one that runs on waits for it.
    auto handingOver = std::make_unique<ObjectStore>();
    handingOver->openInBackground(storePath(), 10000, ObjectStore::FileChanges::AwaitPermission);
    ASSERT_TRUE(test::waitFor([&] {
        StoreLock probe;
        qint64 holder = 0;
        QString error;
        return probe.tryLock(ObjectStore::lockPath(storePath()), &holder, &error)
            == StoreLock::Result::Held;
    }));
    auto runningOn = std::make_unique<ObjectStore>();
    runningOn->openInBackground(storePath(), 10000);
    handingOver.reset();

    // Only the one that runs on sets the unreadable file aside, and says so.
    ListsController opened(std::move(runningOn));
    opened.takeOverStore();
    EXPECT_EQ(opened.openResult().outcome, ObjectStore::OpenOutcome::ReplacedUnreadable);
    ASSERT_EQ(setAsideFiles().size(), 1);
    EXPECT_EQ(readFile(dataFolder() + "/" + setAsideFiles().front()), original);
    ASSERT_TRUE(test::waitFor([&] { return !alerts->errors.empty(); }));
    EXPECT_EQ(alerts->errors.front().code, 2);
}

TEST_F(Store, RecordsWithIdsOfAnyValueLoadAndNewOnesTakeIdsNobodyHas)
{
    close();
    const QString largest = QString::number(std::numeric_limits<qint64>::max());
    runSql("INSERT INTO lists (id, idx, name) VALUES (" + largest + ", 0, 'Edge')");
    for (const QString &id :
         { QStringLiteral("1"), QStringLiteral("2"), QString::number(qint64(1) << 62), largest })
        runSql("INSERT INTO apps (id, list_id, position, name) VALUES (" + id + ", " + largest
               + ", " + id + " % 1000, 'App " + id + "')");
    runSql("INSERT INTO screenshots (id, app_id, url) VALUES (" + largest + ", 1, 'one.png')");

    reopen();
    ASSERT_EQ(controller().apps().size(), 4u);
    addApp(controller().lists().front(), "New", 1);
    controller().createList("Second");
    controller().saveWithAsync(false);
    EXPECT_EQ(countRows("SELECT count(*) FROM apps"), 5);
    EXPECT_EQ(countRows("SELECT count(*) FROM lists"), 2);
    EXPECT_EQ(countRows("SELECT count(*) FROM screenshots"), 2);
    EXPECT_EQ(countRows("SELECT count(*) FROM apps WHERE name LIKE 'App %'"), 4);
}
