#pragma once

// Shows alerts to the user. The model reports errors through the installed presenter; the
// shell installs the one that shows real message boxes, tests install a recording one.

#include "platform/Error.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tanvill {

struct Alert
{
    enum class Style { Informational, Warning, Critical };

    Style style = Style::Warning;
    QString messageText;
    QString informativeText;
    QStringList buttons; // first is the default; empty means one "OK"
    bool showsSuppressionButton = false;
};

struct AlertAnswer
{
    int buttonIndex = 0; // index into Alert::buttons
    bool suppressionChecked = false;
};

class AlertPresenter
{
public:
    virtual ~AlertPresenter() = default;

    // Shows an error without waiting for the user (errors found by background work).
    virtual void presentError(const Error &error) = 0;
    // Runs a modal alert and returns the user's answer.
    virtual AlertAnswer runModal(const Alert &alert) = 0;

    // The application's presenter (see SharedInstance.h): the shell's message boxes, the
    // console where there is no display, a recording one in tests.
    static AlertPresenter &current();
};

// Writes alerts to the console and answers every modal alert with its last button, the one
// that cancels: a process nobody can answer must not take a step the user did not agree to.
class ConsoleAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override;
    AlertAnswer runModal(const Alert &alert) override;
};

// Keeps every alert it is shown and answers modal alerts from a queue of prepared answers
// (the first button when the queue is empty).
class RecordingAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error) override;
    AlertAnswer runModal(const Alert &alert) override;

    std::vector<Error> errors;
    std::vector<Alert> alerts;
    std::vector<AlertAnswer> preparedAnswers;
};

} // namespace tanvill
