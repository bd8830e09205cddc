#include "platform/AlertPresenter.h"

#include "platform/MainQueue.h"
#include "platform/SharedInstance.h"

#include <QDebug>

#include <algorithm>

namespace tanvill {

int Alert::cancelButtonIndex() const
{
    const int count = std::max(int(buttons.size()), 1);
    return cancelButton >= 0 && cancelButton < count ? cancelButton : count - 1;
}

Alert alertForError(const Error &error, QObject *window)
{
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = error.description;
    alert.informativeText = error.recoverySuggestion;
    alert.buttons = error.recoveryOptions;
    alert.cancelButton = 0;
    alert.window = window;
    return alert;
}

AlertAnswer AlertAnswer::unanswered(const Alert &alert)
{
    return { alert.cancelButtonIndex(), false, false };
}

AlertPresenter &AlertPresenter::current()
{
    return SharedInstance<AlertPresenter>::get("AlertPresenter::current");
}

namespace {

// Runs the completion on a later pass of the event loop, as an answer from a person would.
void answerLater(AlertPresenter::Completion completion, AlertAnswer answer)
{
    if (completion)
        MainQueue::async([completion = std::move(completion), answer] { completion(answer); });
}

} // namespace

void ConsoleAlertPresenter::presentError(const Error &error, QObject *window, Completion completion)
{
    present(alertForError(error, window), std::move(completion));
}

void ConsoleAlertPresenter::present(const Alert &alert, Completion completion)
{
    answerLater(std::move(completion), runModal(alert));
}

AlertAnswer ConsoleAlertPresenter::runModal(const Alert &alert)
{
    qWarning().noquote() << alert.messageText << alert.informativeText;
    return AlertAnswer::unanswered(alert);
}

void RecordingAlertPresenter::presentError(const Error &error, QObject *, Completion completion)
{
    errors.push_back(error);
    answerLater(std::move(completion), nextAnswer());
}

void RecordingAlertPresenter::present(const Alert &alert, Completion completion)
{
    alerts.push_back(alert);
    answerLater(std::move(completion), nextAnswer());
}

AlertAnswer RecordingAlertPresenter::runModal(const Alert &alert)
{
    alerts.push_back(alert);
    return nextAnswer();
}

AlertAnswer RecordingAlertPresenter::nextAnswer()
{
    if (preparedAnswers.empty())
        return {};
    const AlertAnswer answer = preparedAnswers.front();
    preparedAnswers.erase(preparedAnswers.begin());
    return answer;
}

} // namespace tanvill
