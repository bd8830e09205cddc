#include "platform/SupportPage.h"

#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

namespace tanvill {

QUrl supportPageUrl()
{
    const QUrl url(Strings::localized(QStringLiteral("SupportURL")).trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

void presentErrorOfferingSupport(const Error &error, AlertPresenter &alerts, Workspace &workspace,
                                 QObject *window, std::function<void()> answered)
{
    const bool offersSupport = error.recoveryOptions.size() >= 2;
    alerts.present(
        alertForError(error, window),
        [offersSupport, &workspace, answered = std::move(answered)](const AlertAnswer &answer) {
            if (offersSupport && answer.buttonIndex == 1) {
                if (const QUrl page = supportPageUrl(); !page.isEmpty())
                    workspace.openURL(page);
            }
            if (answered)
                answered();
        });
}

} // namespace tanvill
