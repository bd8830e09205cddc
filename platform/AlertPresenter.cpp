#include "platform/AlertPresenter.h"

#include <QDebug>

namespace tanvill {

namespace {

std::unique_ptr<AlertPresenter> &installed()
{
    static std::unique_ptr<AlertPresenter> presenter = std::make_unique<ConsoleAlertPresenter>();
    return presenter;
}

} // namespace

AlertPresenter &AlertPresenter::current()
{
    return *installed();
}

void AlertPresenter::install(std::unique_ptr<AlertPresenter> presenter)
{
    installed() = presenter ? std::move(presenter) : std::make_unique<ConsoleAlertPresenter>();
}

void ConsoleAlertPresenter::presentError(const Error &error)
{
    qWarning().noquote() << error.description << error.recoverySuggestion;
}

AlertAnswer ConsoleAlertPresenter::runModal(const Alert &alert)
{
    qWarning().noquote() << alert.messageText << alert.informativeText;
    return {};
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

RecordingAlertPresenter &RecordingAlertPresenter::installNew()
{
    auto presenter = std::make_unique<RecordingAlertPresenter>();
    RecordingAlertPresenter &reference = *presenter;
    AlertPresenter::install(std::move(presenter));
    return reference;
}

} // namespace tanvill
