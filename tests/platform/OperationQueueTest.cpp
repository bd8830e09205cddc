#include "platform/OperationQueue.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// Finishes when the test says so, handing its handler to the UI thread first the way the
// store operations do.
class ManualOperation : public Operation
{
public:
    explicit ManualOperation(QStringList *log, QString name) : m_log(log), m_name(std::move(name))
    { }

    void complete()
    {
        if (isCancelled() || isFinished())
            return;
        postHandler([log = m_log, name = m_name] { *log << "handler " + name; });
        finish();
    }
    int executions = 0;
    int cancellations = 0;

protected:
    void execute() override
    {
        ++executions;
        *m_log << "start " + m_name;
    }
    void cancelExecution() override { ++cancellations; }

private:
    QStringList *m_log;
    QString m_name;
};

// Finishes inside its own start, as a look-up of a malformed identifier does.
class ImmediateOperation : public Operation
{
protected:
    void execute() override { finish(); }
};

std::vector<std::shared_ptr<ManualOperation>> makeOperations(QStringList *log, int count)
{
    std::vector<std::shared_ptr<ManualOperation>> operations;
    for (int i = 0; i < count; ++i)
        operations.push_back(std::make_shared<ManualOperation>(log, QString::number(i)));
    return operations;
}

} // namespace

TEST(OperationQueue, StartsInOrderAndNeverRunsMoreThanItsLimit)
{
    QStringList log;
    OperationQueue queue(2);
    auto operations = makeOperations(&log, 5);
    for (const auto &operation : operations)
        queue.addOperation(operation);
    queue.addOperation(operations[0]); // already queued: runs once all the same
    EXPECT_EQ(queue.runningOperationCount(), 2);
    EXPECT_EQ(log, QStringList({ "start 0", "start 1" }));

    operations[1]->complete();
    EXPECT_EQ(queue.runningOperationCount(), 2);
    EXPECT_EQ(log.last(), "start 2");
    operations[0]->complete();
    operations[2]->complete();
    EXPECT_EQ(log.filter("start").size(), 5);
    operations[3]->complete();
    operations[4]->complete();
    EXPECT_EQ(queue.operationCount(), 0);
    for (const auto &operation : operations)
        EXPECT_EQ(operation->executions, 1);
    test::drainEvents();
    EXPECT_EQ(log.filter("handler").size(), 5);
}

TEST(OperationQueue, CancelledOperationsEndFinishedAndLeaveRoomForTheNext)
{
    QStringList log;
    OperationQueue queue(1);
    auto operations = makeOperations(&log, 3);
    for (const auto &operation : operations)
        queue.addOperation(operation);

    operations[1]->cancel(); // still waiting: never started
    operations[0]->cancel(); // running: its work is stopped
    EXPECT_TRUE(operations[0]->isFinished() && operations[0]->isCancelled());
    EXPECT_EQ(operations[0]->cancellations, 1);
    EXPECT_EQ(operations[1]->executions, 0);
    EXPECT_TRUE(operations[1]->isFinished());
    EXPECT_TRUE(operations[2]->isExecuting());

    operations[0]->complete();
    operations[0]->cancel();
    test::drainEvents();
    EXPECT_EQ(log, QStringList({ "start 0", "start 2" }));
    EXPECT_EQ(operations[0]->cancellations, 1);
}

TEST(OperationQueue, BatchCompletionRunsOnceAfterEveryHandlerOfTheBatch)
{
    QStringList log;
    OperationQueue queue(5);
    auto operations = makeOperations(&log, 3);
    int completions = 0;
    queue.addOperations({ operations.begin(), operations.end() }, [&] {
        ++completions;
        log << "batch done";
    });
    operations[2]->complete();
    operations[1]->cancel();
    operations[0]->complete();
    ASSERT_TRUE(test::waitFor([&] { return completions == 1; }));
    test::drainEvents();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(log.mid(3), QStringList({ "handler 2", "handler 0", "batch done" }));

    bool emptyBatchDone = false;
    queue.addOperations({}, [&] { emptyBatchDone = true; });
    EXPECT_FALSE(emptyBatchDone);
    EXPECT_TRUE(test::waitFor([&] { return emptyBatchDone; }));
}

TEST(OperationQueue, OperationsFinishingWhileStartingDoNotNest)
{
    OperationQueue queue(5);
    std::vector<std::shared_ptr<Operation>> operations;
    for (int i = 0; i < 20000; ++i)
        operations.push_back(std::make_shared<ImmediateOperation>());
    bool done = false;
    queue.addOperations(operations, [&] { done = true; });
    EXPECT_EQ(queue.operationCount(), 0);
    EXPECT_TRUE(test::waitFor([&] { return done; }));
}

TEST(OperationQueue, DestroyingTheQueueCancelsWhatItHolds)
{
    QStringList log;
    auto operations = makeOperations(&log, 3);
    {
        OperationQueue queue(1);
        for (const auto &operation : operations)
            queue.addOperation(operation);
    }
    for (const auto &operation : operations)
        EXPECT_TRUE(operation->isCancelled() && operation->isFinished());
    EXPECT_EQ(operations[0]->cancellations, 1);
}

TEST(OperationQueue, HandlersStillWaitingAreDroppedWithTheirQueue)
{
    // The queue's owner goes with it, so handlers of operations that finished just before,
    // still waiting for the event loop, and the completion of their batch must not run.
    for (const bool destroy : { true, false }) {
        SCOPED_TRACE(destroy ? "destroyed" : "cancelled");
        QStringList log;
        auto operations = makeOperations(&log, 4);
        int completions = 0;
        auto queue = std::make_unique<OperationQueue>(5);
        queue->addOperation(operations[0]);
        queue->addOperations({ operations[1], operations[2] }, [&] { ++completions; });
        for (int i = 0; i < 3; ++i)
            operations[size_t(i)]->complete();
        if (destroy)
            queue.reset();
        else
            queue->cancelAllOperations();
        test::drainEvents();
        EXPECT_TRUE(log.filter("handler").isEmpty()) << log.join(", ").toStdString();
        EXPECT_EQ(completions, 0);
        if (destroy)
            continue;

        // A queue cancelled but kept runs what is added afterwards as usual.
        queue->addOperations({ operations[3] }, [&] { ++completions; });
        operations[3]->complete();
        EXPECT_TRUE(test::waitFor([&] { return completions == 1; }));
        EXPECT_EQ(log.filter("handler"), QStringList({ "handler 3" }));
    }
}
