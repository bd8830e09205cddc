#include "platform/OperationQueue.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>

#include <algorithm>

namespace tanvill {

void Operation::start()
{
    if (*m_cancelled || m_state != State::Ready)
        return;
    m_state = State::Executing;
    execute();
}

void Operation::cancel()
{
    if (*m_cancelled)
        return;
    *m_cancelled = true;
    if (m_state == State::Executing)
        cancelExecution();
    finish();
}

void Operation::finish()
{
    if (m_state == State::Finished)
        return;
    m_state = State::Finished;
    auto observers = std::move(m_finishObservers);
    m_finishObservers.clear();
    for (auto &observer : observers)
        observer();
}

void Operation::postHandler(std::function<void()> handler)
{
    MainQueue::async(
        [cancelled = m_cancelled, queueCancelled = m_queueCancelled, handler = std::move(handler)] {
            if (!*cancelled && !(queueCancelled && *queueCancelled) && handler)
                handler();
        });
}

void Operation::addFinishObserver(std::function<void()> observer)
{
    m_finishObservers.push_back(std::move(observer));
}

OperationQueue::OperationQueue(int maxConcurrentOperationCount)
    : m_maxConcurrent(std::max(1, maxConcurrentOperationCount)),
      m_self(std::make_shared<OperationQueue *>(this))
{ }

OperationQueue::~OperationQueue()
{
    *m_self = nullptr;
    cancelAllOperations();
}

void OperationQueue::addOperation(std::shared_ptr<Operation> operation)
{
    if (!operation)
        return;
    enqueue(std::move(operation));
    startWaitingOperations();
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>> &operations,
                                   std::function<void()> completion)
{
    auto remaining = std::make_shared<size_t>(0);
    for (const auto &operation : operations) {
        if (operation && !operation->isFinished())
            ++*remaining;
    }
    auto done = std::make_shared<std::function<void()>>(std::move(completion));
    // The handlers of the batch were handed to the UI thread before their operations
    // finished, so a completion handed over after the last one runs after all of them. Like
    // them, it is dropped once the queue is cancelled or gone.
    auto finishBatch = [done, queueCancelled = m_cancelled] {
        if (!*done || !QCoreApplication::instance())
            return;
        MainQueue::async([queueCancelled, completion = std::move(*done)] {
            if (!*queueCancelled)
                completion();
        });
    };
    if (*remaining == 0) {
        finishBatch();
    } else {
        for (const auto &operation : operations) {
            if (!operation || operation->isFinished())
                continue;
            operation->addFinishObserver([remaining, finishBatch] {
                if (--*remaining == 0)
                    finishBatch();
            });
        }
    }
    for (const auto &operation : operations) {
        if (operation && !operation->isFinished())
            enqueue(operation);
    }
    startWaitingOperations();
}

void OperationQueue::cancelAllOperations()
{
    // Handlers already on their way to the UI thread are dropped, and operations added from
    // now on get a flag of their own.
    *m_cancelled = true;
    m_cancelled = std::make_shared<bool>(false);
    // Cancelling finishes each operation, which takes it out of the lists below.
    std::vector<std::shared_ptr<Operation>> all(m_pendingHigh.begin(), m_pendingHigh.end());
    all.insert(all.end(), m_pending.begin(), m_pending.end());
    all.insert(all.end(), m_running.begin(), m_running.end());
    for (const auto &operation : all)
        operation->cancel();
}

void OperationQueue::enqueue(std::shared_ptr<Operation> operation)
{
    // An operation runs once: adding it again, here or to another queue, changes nothing.
    if (operation->isFinished() || operation->m_enqueued)
        return;
    operation->m_enqueued = true;
    operation->m_queueCancelled = m_cancelled;
    Operation *raw = operation.get();
    operation->addFinishObserver([self = m_self, raw] {
        if (*self)
            (*self)->operationFinished(raw);
    });
    if (operation->queuePriority() == Operation::QueuePriority::High)
        m_pendingHigh.push_back(std::move(operation));
    else
        m_pending.push_back(std::move(operation));
}

void OperationQueue::operationFinished(Operation *operation)
{
    // Whoever made the operation finish holds it until finish() has returned (the queue's
    // own start loop, a cancelling caller, a request's completion), so it can go here.
    auto running = std::find_if(m_running.begin(), m_running.end(),
                                [operation](const auto &item) { return item.get() == operation; });
    if (running != m_running.end()) {
        m_running.erase(running);
    } else {
        for (auto *waiting : { &m_pendingHigh, &m_pending }) {
            auto pending
                = std::find_if(waiting->begin(), waiting->end(),
                               [operation](const auto &item) { return item.get() == operation; });
            if (pending != waiting->end()) {
                waiting->erase(pending);
                break;
            }
        }
    }
    startWaitingOperations();
}

void OperationQueue::startWaitingOperations()
{
    // An operation may finish inside start(); the loop below, not recursion, starts the next.
    if (m_starting)
        return;
    m_starting = true;
    while (int(m_running.size()) < m_maxConcurrent
           && !(m_pendingHigh.empty() && m_pending.empty())) {
        auto &waiting = m_pendingHigh.empty() ? m_pending : m_pendingHigh;
        std::shared_ptr<Operation> next = std::move(waiting.front());
        waiting.pop_front();
        m_running.push_back(next);
        next->start();
    }
    m_starting = false;
}

} // namespace tanvill
