#include "core/ListsController.h"
#include "core/store/Database.h"
#include "support/TestEnvironment.h"
#include "support/TestServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

using namespace tanvill;

namespace {

constexpr int kAppsPerList = 3;
constexpr int kShotsPerApp = 2;

QString listName(int round, int number)
{
    return QStringLiteral("round %1 list %2").arg(round).arg(number);
}

// The child: a stream of saves, every third one synchronous and acknowledged through the
// pipe once it returned. It runs until it is killed.
[[noreturn]] void writeUntilKilled(const QString &path, int round, int ackFd)
{
    ListsController controller(path);
    if (!controller.objectStore().isOpen()
        || controller.openResult().outcome != ObjectStore::OpenOutcome::Opened)
        _exit(3);
    ObjectContext &context = *controller.managedObjectContext();
    const QString description = QString(2500, QLatin1Char('d'));
    for (int number = 1;; ++number) {
        List *list = controller.createList(listName(round, number));
        for (int i = 0; i < kAppsPerList; ++i) {
            App *app = context.insertApp(list);
            app->setName(QStringLiteral("app %1").arg(i));
            app->setAppStoreDescription(description);
            for (int shot = 0; shot < kShotsPerApp; ++shot)
                context.insertScreenshot(app)->setUrl(QStringLiteral("shot %1").arg(shot));
        }
        if (!context.apps().empty())
            context.apps().front()->setNotes(QString::number(number));
        const bool acknowledged = number % 3 == 0;
        controller.saveWithAsync(!acknowledged);
        if (acknowledged && write(ackFd, &number, sizeof number) != sizeof number)
            _exit(4);
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace

TEST(StoreCrash, KilledWritersLeaveAnIntactFileWithEveryAcknowledgedSave)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tanvill.sqlite");
    test::TestServices services { { .listsController = false } };
    {
        // The first child opens an existing store, as every later one does.
        ObjectStore store;
        ASSERT_EQ(store.open(path).outcome, ObjectStore::OpenOutcome::Created);
    }
    const unsigned seed = std::random_device()();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> killAfterMs(5, 400);

    QElapsedTimer elapsed;
    elapsed.start();
    int rounds = 0;
    int totalAcknowledged = 0;
    while (rounds < 4 || (elapsed.elapsed() < 6000 && rounds < 40)) {
        ++rounds;
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeFds[0]);
            writeUntilKilled(path, rounds, pipeFds[1]);
        }
        close(pipeFds[1]);

        // Read acknowledgements until the moment chosen for the kill.
        int acknowledged = 0;
        QElapsedTimer running;
        running.start();
        const int killAt = killAfterMs(random);
        auto readAcknowledgements = [&](int timeoutMs) {
            pollfd fd { pipeFds[0], POLLIN, 0 };
            while (poll(&fd, 1, timeoutMs) > 0 && (fd.revents & POLLIN)) {
                int number = 0;
                if (read(pipeFds[0], &number, sizeof number) != sizeof number)
                    return;
                acknowledged = number;
                timeoutMs = 0;
            }
        };
        while (running.elapsed() < killAt)
            readAcknowledgements(int(killAt - running.elapsed()));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << WEXITSTATUS(status);
        readAcknowledgements(0);
        close(pipeFds[0]);
        totalAcknowledged += acknowledged;

        Database database;
        ASSERT_TRUE(database.open(path, false));
        EXPECT_EQ(database.queryText("PRAGMA integrity_check"), QString("ok"));
        EXPECT_EQ(database.prepare("PRAGMA foreign_key_check").step(), Statement::Step::Done);
        // Lists from before the last acknowledgement are complete; later ones are whole or
        // absent, never half written.
        Statement perList = database.prepare(
            "SELECT l.name, (SELECT count(*) FROM apps a WHERE a.list_id = l.id),"
            " (SELECT count(*) FROM screenshots s JOIN apps a ON s.app_id = a.id"
            "  WHERE a.list_id = l.id) FROM lists l WHERE l.name LIKE ?1");
        perList.bind(1, QStringLiteral("round %1 list %").arg(rounds));
        QSet<QString> complete;
        while (perList.step() == Statement::Step::Row) {
            const qint64 apps = perList.integer(1);
            const qint64 shots = perList.integer(2);
            EXPECT_TRUE(apps == 0 || apps == kAppsPerList) << perList.text(0).toStdString();
            EXPECT_EQ(shots, apps * kShotsPerApp) << perList.text(0).toStdString();
            if (apps == kAppsPerList)
                complete.insert(perList.text(0));
        }
        for (int number = 1; number <= acknowledged; ++number)
            ASSERT_TRUE(complete.contains(listName(rounds, number)))
                << "acknowledged " << acknowledged << ", missing " << number;
        database.close();

        ObjectStore reopened;
        ASSERT_EQ(reopened.open(path).outcome, ObjectStore::OpenOutcome::Opened);
        if (HasFailure())
            break;
    }
    EXPECT_GT(totalAcknowledged, 0);
    RecordProperty("rounds", rounds);
    RecordProperty("acknowledged", totalAcknowledged);
}

TEST(StoreCrash, AStoreWrittenAnewIsAtItsPathAtEveryMomentAndTakesItAfterACrash)
{
    using Step = ObjectStore::WriteStep;
    // Where the program dies, and whether it was keeping its changes at quitting rather than
    // writing the store anew.
    for (const auto &[crashAt, keeping] :
         { std::pair { Step::Whole, false }, { Step::OldKept, false }, { Step::Writing, true } }) {
        SCOPED_TRACE(int(crashAt));
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/Tanvill.sqlite");
        test::TestServices services { { .listsController = false } };
        {
            ObjectStore seed;
            seed.open(path);
            for (int i = 0; i < 20; ++i)
                seed.context().insertApp(seed.context().insertList());
            seed.save(false);
        }
        const QByteArray another = "another program's file";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ObjectStore store;
            store.open(path);
            store.writeStepHook = [last = crashAt](Step step) {
                if (step == last)
                    _exit(0);
            };
            store.context().apps().front()->setName("Renamed");
            QString error;
            if (keeping)
                store.keepUnsavedChanges(&error);
            QFile::remove(path);
            if (QFile file(path); file.open(QIODevice::WriteOnly))
                file.write(another);
            store.save(false);
            _exit(5);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "never reached";
        if (keeping) {
            EXPECT_TRUE(QDir(dir.path()).entryList({ "Tanvill.unsaved-*" }).isEmpty());
            continue;
        }
        QFile atPath(path);
        ASSERT_TRUE(atPath.open(QIODevice::ReadOnly));
        EXPECT_EQ(atPath.readAll(), another) << "the store's path was left empty";
        // The next start puts the fresh file in place, keeps what stood there and says so.
        ListsController reopened(path);
        EXPECT_EQ(reopened.openResult().outcome, ObjectStore::OpenOutcome::RewriteFinished);
        EXPECT_EQ(reopened.lists().size(), 20u);
        EXPECT_EQ(reopened.managedObjectContext()->apps().front()->name(), "Renamed");
        // What stood there is kept under one name, however far the rewrite had come.
        EXPECT_EQ(QDir(dir.path()).entryList({ "Tanvill.*-*.sqlite" }).size(), 1);
        ASSERT_TRUE(test::waitFor([&] { return !services.alerts().errors.empty(); }));
        EXPECT_EQ(services.alerts().errors.front().code, 8);
    }
}
