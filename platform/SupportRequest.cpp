#include "platform/SupportRequest.h"

#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

namespace tanvill {

QUrl feedbackMailUrl()
{
    const QByteArray address
        = QUrl::toPercentEncoding(Strings::localized(QStringLiteral("FeedbackMailAddress")), "@");
    const QByteArray subject
        = QUrl::toPercentEncoding(Strings::localized(QStringLiteral("FeedbackMailSubject")));
    return QUrl::fromEncoded("mailto:" + address + "?subject=" + subject, QUrl::StrictMode);
}

void presentErrorOfferingSupport(const Error &error, AlertPresenter &alerts, Workspace &workspace,
                                 QObject *window, std::function<void()> answered)
{
    const bool offersSupport = error.recoveryOptions.size() >= 2;
    alerts.present(
        alertForError(error, window),
        [offersSupport, &workspace, answered = std::move(answered)](const AlertAnswer &answer) {
            if (offersSupport && answer.buttonIndex == 1)
                workspace.openURL(feedbackMailUrl());
            if (answered)
                answered();
        });
}

} // namespace tanvill
