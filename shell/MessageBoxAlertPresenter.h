#pragma once

// Shows alerts as message boxes: the application's presenter wherever there is a display.
// Every text is plain text (alerts carry list and application names and texts from the
// network); an alert that belongs to a window is a sheet on it, blocking only that window; the
// buttons are the alert's, in order, the first the default and the cancelling one on Escape;
// the suppression check box shows where asked. The composition root (Services) makes it.

#include "platform/AlertPresenter.h"

class QMessageBox;

namespace tanvill {

class MessageBoxAlertPresenter : public AlertPresenter
{
public:
    void presentError(const Error &error, QObject *window = nullptr,
                      Completion completion = {}) override;
    void present(const Alert &alert, Completion completion = {}) override;
    AlertAnswer runModal(const Alert &alert) override;

    // The message box for an alert, not shown yet; its buttons carry their index in the
    // alert's buttons as the property "alertButtonIndex". An alert whose text names a file by
    // its path (one set aside, one that keeps changes) shows it whole and can be copied, as
    // one marked selectable can.
    static QMessageBox *messageBox(const Alert &alert);
    // The answer a finished message box made by messageBox() gives: unanswered when its loop
    // ended without a button chosen.
    static AlertAnswer answer(const QMessageBox &box, const Alert &alert);
};

} // namespace tanvill
