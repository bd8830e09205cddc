#pragma once

// The maker's support page, offered by every alert of an error the user cannot mend alone:
// such errors carry the recovery options "OK" and "Request Support", and choosing the second
// opens the page. The main window, the application rows and the detail windows use it.

#include <QUrl>

#include <functional>

class QObject;

namespace tanvill {

class AlertPresenter;
class Workspace;
struct Error;

// The "SupportURL" text as a link: only an absolute http or https link with a host counts;
// anything else (a missing text shows its key) gives an empty link.
QUrl supportPageUrl();

// Shows the error as an alert on `window` (description, recovery suggestion, recovery options
// as its buttons) without waiting for it, and opens the support page when the user answers
// with the second option. `workspace` must outlive the alert. `answered`, when given, runs once
// the user has answered.
void presentErrorOfferingSupport(const Error &error, AlertPresenter &alerts, Workspace &workspace,
                                 QObject *window = nullptr, std::function<void()> answered = {});

} // namespace tanvill
