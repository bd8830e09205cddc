#pragma once

// The shell's tests run the application's own composition root, in a fresh temporary home,
// with recorded alerts and notifications and a network that is always there.

#include "platform/AlertPresenter.h"
#include "platform/UserNotifications.h"
#include "shell/Services.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

namespace tanvill::test {

inline ServicesOptions recordingServicesOptions(RecordingAlertPresenter **alerts)
{
    ServicesOptions options;
    auto presenter = std::make_unique<RecordingAlertPresenter>();
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

class ShellTest : public ::testing::Test
{
protected:
    IsolatedHome home;
    RecordingAlertPresenter *alerts = nullptr;
    Services services { recordingServicesOptions(&alerts) };
};

} // namespace tanvill::test
