#pragma once

// Runs asynchronous operations on the UI thread in the order they were added, at most a
// given number at once; operations of high priority (what the user is waiting for) start
// before every waiting one of normal priority (background work such as a refresh). The store
// client queues its look-ups and searches here; the operations do their waiting on the
// network, so the queue needs no threads of its own.

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tanvill {

class OperationQueue;

// One unit of asynchronous work and its small state machine: ready, executing, finished.
// Cancelling ends it finished from any state; subclasses then call no handler.
class Operation
{
public:
    enum class State { Ready, Executing, Finished };
    enum class QueuePriority { Normal, High };

    Operation() = default;
    virtual ~Operation() = default;
    Operation(const Operation &) = delete;
    Operation &operator=(const Operation &) = delete;

    State state() const { return m_state; }
    bool isExecuting() const { return m_state == State::Executing; }
    bool isFinished() const { return m_state == State::Finished; }
    bool isCancelled() const { return *m_cancelled; }

    // Read when the operation is added to a queue; set it before.
    QueuePriority queuePriority() const { return m_queuePriority; }
    void setQueuePriority(QueuePriority priority) { m_queuePriority = priority; }

    // Called by the queue once; a cancelled or already started operation ignores it.
    void start();
    // Marks the operation cancelled, stops work under way and ends it finished.
    void cancel();

protected:
    // Begins the work; the operation ends when it calls finish().
    virtual void execute() = 0;
    // Stops work under way (a running request); called once, from cancel().
    virtual void cancelExecution() { }
    // The queue may release the operation inside finish(): code that calls it from outside
    // start() or cancel() keeps a reference (shared_from_this) until it has returned.
    void finish();
    // Hands a handler to the UI thread, to run from the event loop. It is dropped if, before
    // it gets there, the operation is cancelled or its queue is cancelled or destroyed: the
    // owner of the queue, and whatever the handler acts on, may be gone by then. Whatever
    // `handler` captures must stay valid while it waits (a shared_from_this, not a bare this).
    void postHandler(std::function<void()> handler);

private:
    friend class OperationQueue;
    void addFinishObserver(std::function<void()> observer);

    State m_state = State::Ready;
    // Shared with the handlers this operation posted, which may run after it is released.
    std::shared_ptr<bool> m_cancelled = std::make_shared<bool>(false);
    // Set once the queue the operation was added to is cancelled or destroyed.
    std::shared_ptr<const bool> m_queueCancelled;
    bool m_enqueued = false;
    QueuePriority m_queuePriority = QueuePriority::Normal;
    std::vector<std::function<void()>> m_finishObservers;
};

class OperationQueue
{
public:
    explicit OperationQueue(int maxConcurrentOperationCount = 1);
    // Cancels every operation still queued or running.
    ~OperationQueue();
    OperationQueue(const OperationQueue &) = delete;
    OperationQueue &operator=(const OperationQueue &) = delete;

    void addOperation(std::shared_ptr<Operation> operation);
    // Adds the batch in order; `completion` runs once on the UI thread after every operation
    // of the batch finished and after every handler they handed to the UI thread ran, unless
    // the queue is cancelled or destroyed first.
    void addOperations(const std::vector<std::shared_ptr<Operation>> &operations,
                       std::function<void()> completion);
    // Cancels every operation still queued or running, and drops every handler and batch
    // completion that operations added so far handed to the UI thread and that has not run
    // yet, those of operations that already finished included. Operations added afterwards
    // run as usual.
    void cancelAllOperations();

    int maxConcurrentOperationCount() const { return m_maxConcurrent; }
    int runningOperationCount() const { return int(m_running.size()); }
    // Queued and running operations.
    int operationCount() const
    {
        return int(m_pendingHigh.size() + m_pending.size() + m_running.size());
    }

private:
    void enqueue(std::shared_ptr<Operation> operation);
    void operationFinished(Operation *operation);
    void startWaitingOperations();

    int m_maxConcurrent;
    // Waiting operations of high and of normal priority, each in the order added.
    std::deque<std::shared_ptr<Operation>> m_pendingHigh;
    std::deque<std::shared_ptr<Operation>> m_pending;
    std::vector<std::shared_ptr<Operation>> m_running;
    bool m_starting = false;
    // Shared with the finish observers, which may outlive the queue.
    std::shared_ptr<OperationQueue *> m_self;
    // Shared with the operations added since the last cancelling and with the handlers they
    // posted; set when the queue is cancelled or destroyed.
    std::shared_ptr<bool> m_cancelled = std::make_shared<bool>(false);
};

} // namespace tanvill
