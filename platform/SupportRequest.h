#pragma once

// Asking the makers for help: a new mail to them, the way Send Feedback takes. Every alert of an
// error the user cannot mend alone offers it: such errors carry the recovery options "OK" and
// "Request Support", and choosing the second starts the mail. The main window, the application
// rows, the detail windows and the feedback command use it.

#include <QUrl>

#include <functional>

class QObject;

namespace tanvill {

class AlertPresenter;
class Workspace;
struct Error;

// The link of a new mail to the makers: their address ("FeedbackMailAddress") and a subject
// ("FeedbackMailSubject"), both percent-encoded.
QUrl feedbackMailUrl();

// Shows the error as an alert on `window` (description, recovery suggestion, recovery options
// as its buttons) without waiting for it, and starts a mail to the makers when the user answers
// with the second option. `workspace` must outlive the alert. `answered`, when given, runs once
// the user has answered.
void presentErrorOfferingSupport(const Error &error, AlertPresenter &alerts, Workspace &workspace,
                                 QObject *window = nullptr, std::function<void()> answered = {});

} // namespace tanvill
