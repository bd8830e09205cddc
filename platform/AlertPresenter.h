#pragma once

// Shows alerts to the user. The model reports errors through the application's presenter; the
// shell makes the one that shows real message boxes (or, without a display, the console one),
// tests use a recording one.

#include "platform/Error.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tanvill {

struct Alert
{
    enum class Style { Informational, Warning, Critical };

    Style style = Style::Warning;
    QString messageText;
    QString informativeText;
    QStringList buttons; // first is the default; empty means one "OK"
    // The button Escape chooses and a presenter that cannot ask the user answers with; -1 is
    // the last one.
    int cancelButton = -1;
    bool showsSuppressionButton = false;
    // The texts can be selected and copied (an address for the user to open by hand).
    bool selectableText = false;
    // The window the alert belongs to (a top-level widget): it is shown as a sheet on that
    // window, which alone it blocks. None: it blocks the whole application.
    QPointer<QObject> window;
    // Shown on its window, but blocking the whole application until answered, as the
    // questions before deleting something do.
    bool blocksApplication = false;

    // The index cancelButton names among the buttons shown.
    int cancelButtonIndex() const;
};

// The alert an error is shown as: its description, recovery suggestion and recovery options
// (one "OK" without options), the first option both the default and the one Escape chooses.
Alert alertForError(const Error &error, QObject *window = nullptr);

struct AlertAnswer
{
    int buttonIndex = 0; // index into Alert::buttons
    bool suppressionChecked = false;
    // Whether the user chose it. An alert whose loop ended without a choice (a logout, the
    // event loop quitting, its window gone) or that nobody could be asked is no answer: it
    // gives the cancelling button, yet nothing it was to tell counts as told.
    bool answered = true;

    // The answer of an alert nobody answered.
    static AlertAnswer unanswered(const Alert &alert);
};

class AlertPresenter
{
public:
    using Completion = std::function<void(const AlertAnswer &answer)>;

    virtual ~AlertPresenter() = default;

    // Shows an error without waiting for the user (errors found by background work, errors of
    // a window when `window` is given): its description, recovery suggestion and recovery
    // options as buttons in order (one "OK" without options). `completion`, when given, runs
    // once with the chosen option.
    virtual void presentError(const Error &error, QObject *window = nullptr,
                              Completion completion = {})
        = 0;
    // Shows an alert without waiting; `completion`, when given, runs once with the answer,
    // after the call returned.
    virtual void present(const Alert &alert, Completion completion = {}) = 0;
    // Runs a modal alert and returns the user's answer.
    virtual AlertAnswer runModal(const Alert &alert) = 0;

    // The application's presenter (see SharedInstance.h).
    static AlertPresenter &current();
};

// For processes without a display: writes alerts to the console and answers every question
// with its cancelling button, unanswered, so that nobody is taken to have agreed to a step they
// were never asked about, or to have read what nobody may have seen.
class ConsoleAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error, QObject *window = nullptr,
                      Completion completion = {}) override;
    void present(const Alert &alert, Completion completion = {}) override;
    AlertAnswer runModal(const Alert &alert) override;
};

// Keeps every alert and error it is shown and answers from a queue of prepared answers (the
// first button when the queue is empty), at once.
class RecordingAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error, QObject *window = nullptr,
                      Completion completion = {}) override;
    void present(const Alert &alert, Completion completion = {}) override;
    AlertAnswer runModal(const Alert &alert) override;

    std::vector<Error> errors;
    std::vector<Alert> alerts;
    std::vector<AlertAnswer> preparedAnswers;

private:
    AlertAnswer nextAnswer();
};

} // namespace tanvill
