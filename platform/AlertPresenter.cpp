#include "platform/AlertPresenter.h"

#include "platform/SharedInstance.h"

#include <QDebug>

#include <algorithm>

namespace tanvill {

AlertPresenter &AlertPresenter::current()
{
    return SharedInstance<AlertPresenter>::get("AlertPresenter::current");
}

void ConsoleAlertPresenter::presentError(const Error &error)
{
    qWarning().noquote() << error.description << error.recoverySuggestion;
}

AlertAnswer ConsoleAlertPresenter::runModal(const Alert &alert)
{
    qWarning().noquote() << alert.messageText << alert.informativeText;
    return { int(std::max<qsizetype>(alert.buttons.size() - 1, 0)), false };
}

void RecordingAlertPresenter::presentError(const Error &error)
{
    errors.push_back(error);
}

AlertAnswer RecordingAlertPresenter::runModal(const Alert &alert)
{
    alerts.push_back(alert);
    if (preparedAnswers.empty())
        return {};
    const AlertAnswer answer = preparedAnswers.front();
    preparedAnswers.erase(preparedAnswers.begin());
    return answer;
}

} // namespace tanvill
