#include "shell/UnfinishedLaunch.h"

#include "platform/AlertPresenter.h"
#include "platform/QuitSignals.h"
#include "platform/Strings.h"
#include "shell/LinkInbox.h"

#include <QDebug>

namespace tanvill {

namespace {

QString reasonFor(const SingleInstance &instance)
{
    switch (instance.failure()) {
    case SingleInstance::Failure::StillQuitting:
        return Strings::localizedFormat(QStringLiteral("LaunchStillQuitting"),
                                        { qint64(SingleInstance::kQuittingWaitMs / 1000) });
    case SingleInstance::Failure::Busy:
        return Strings::localized("LaunchBusy");
    case SingleInstance::Failure::AskedToEnd:
        return Strings::localized(instance.metRunningInstance() ? "LaunchAskedToEnd"
                                                                : "LaunchAskedToEndAtStart");
    case SingleInstance::Failure::None:
    case SingleInstance::Failure::NoAnswer:
        break;
    }
    return Strings::localized("LaunchNoAnswer");
}

void tell(const Alert &alert, AlertPresenter *alerts, const QString &detail = {})
{
    qCritical().noquote() << alert.messageText << alert.informativeText
                          << (detail.isEmpty() ? QString() : "(" + detail + ")");
    if (alerts)
        alerts->runModal(alert);
}

} // namespace

void tellLinkNotTaken(const QString &why, AlertPresenter &alerts)
{
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = Strings::localized("LaunchLinkNotTakenTitle");
    alert.informativeText = why;
    alert.selectableText = true;
    tell(alert, &alerts);
}

int endUnfinishedLaunch(const SingleInstance &instance, SingleInstance::Role role,
                        const QString &message, LinkInbox &inbox, AlertPresenter &alerts)
{
    if (role == SingleInstance::Role::Refused) {
        tellLinkNotTaken(instance.errorString(), alerts);
        return 1;
    }
    const QString reason = reasonFor(instance);
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.selectableText = true;
    const bool isLink = message != SingleInstance::kReopenMessage;
    QString error;
    bool kept = false;
    if (isLink) {
        // A launch asked to end has a moment left: the link is written whole first.
        const QuitSignals::DeadlineHold writing;
        kept = inbox.take(message, &error);
    }
    if (!isLink) {
        alert.messageText = Strings::localized("LaunchNotAnsweredTitle");
        alert.informativeText = reason;
    } else if (kept) {
        alert.messageText = Strings::localized("LaunchLinkKeptTitle");
        alert.informativeText
            = Strings::localizedFormat(QStringLiteral("LaunchLinkKeptMessage"), { reason });
    } else {
        alert.messageText = Strings::localized("LaunchLinkNotTakenTitle");
        alert.informativeText = Strings::localizedFormat(QStringLiteral("LaunchLinkNotKeptMessage"),
                                                         { reason, error });
    }
    // A launch being ended is not the place for an alert: nobody may be there to close it.
    const bool askedToEnd = instance.failure() == SingleInstance::Failure::AskedToEnd;
    tell(alert, askedToEnd ? nullptr : &alerts, instance.errorString());
    return 1;
}

} // namespace tanvill
