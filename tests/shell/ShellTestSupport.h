#pragma once

// The shell's tests run the application's own composition root, in a fresh temporary home,
// with recorded alerts and notifications and a network that is always there.

#include "core/App.h"
#include "core/ListsController.h"
#include "core/store/ObjectStore.h"
#include "platform/AlertPresenter.h"
#include "platform/UserNotifications.h"
#include "shell/Services.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

namespace tanvill::test {

// Records alerts like its base and, while a modal alert is up, runs what the test gives: what
// the user or another launch does while the alert's own event loop runs.
class ScriptedAlertPresenter : public RecordingAlertPresenter
{
public:
    AlertAnswer runModal(const Alert &alert) override
    {
        alerts.push_back(alert);
        AlertAnswer answer;
        if (!preparedAnswers.empty()) {
            answer = preparedAnswers.front();
            preparedAnswers.erase(preparedAnswers.begin());
        }
        if (whileShowing)
            std::exchange(whileShowing, {})(alert);
        return answer;
    }

    void present(const Alert &alert, Completion completion) override
    {
        if (!holdAnswers)
            return RecordingAlertPresenter::present(alert, std::move(completion));
        alerts.push_back(alert);
        held.push_back(std::move(completion));
    }

    std::function<void(const Alert &)> whileShowing;
    bool holdAnswers = false; // alerts shown without waiting stay open until answered via held
    std::vector<Completion> held;
};

inline ServicesOptions recordingServicesOptions(ScriptedAlertPresenter **alerts)
{
    ServicesOptions options;
    auto presenter = std::make_unique<ScriptedAlertPresenter>();
    *alerts = presenter.get();
    options.alertPresenter = std::move(presenter);
    options.notificationPresenter = std::make_unique<RecordingNotificationPresenter>();
    options.notificationFallback = std::make_unique<RecordingNotificationPresenter>();
    options.reachabilityBackend = [] {
        return std::make_unique<ManualReachabilityBackend>();
    };
    options.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    return options;
}

inline ServicesOptions recordingServicesOptions(RecordingAlertPresenter **alerts)
{
    ScriptedAlertPresenter *scripted = nullptr;
    ServicesOptions options = recordingServicesOptions(&scripted);
    *alerts = scripted;
    return options;
}

// The services of another start of Tanvill in the same home, with a store of its own that does
// not wait for another start's lock, taken over as the application takes its own.
inline std::unique_ptr<Services> anotherStart(ScriptedAlertPresenter **alerts)
{
    ServicesOptions options = recordingServicesOptions(alerts);
    options.objectStore = std::make_unique<ObjectStore>();
    options.objectStore->openInBackground(ListsController::defaultStorePath(), 0);
    auto services = std::make_unique<Services>(std::move(options));
    services->listsController().takeOverStore();
    return services;
}

inline std::unique_ptr<Services> anotherStart(RecordingAlertPresenter **alerts)
{
    ScriptedAlertPresenter *scripted = nullptr;
    std::unique_ptr<Services> start = anotherStart(&scripted);
    *alerts = scripted;
    return start;
}

inline QString linkTo(const QString &identifier)
{
    return QStringLiteral("tanvill:///addApp?id=") + identifier;
}

// The identifiers of the apps of every list, sorted.
inline QStringList identifiersIn(const ListsController &lists)
{
    QStringList identifiers;
    for (const App *app : lists.apps())
        identifiers << app->identifier();
    identifiers.sort();
    return identifiers;
}

class ShellTest : public ::testing::Test
{
protected:
    IsolatedHome home;
    ScriptedAlertPresenter *alerts = nullptr;
    Services services { recordingServicesOptions(&alerts) };
};

} // namespace tanvill::test
