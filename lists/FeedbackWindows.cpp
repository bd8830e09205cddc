#include "lists/FeedbackWindows.h"

#include "platform/Strings.h"
#include "platform/Workspace.h"

#include <QUrl>

namespace tanvill {

void presentRatingWindow()
{
    Workspace::shared().openStoreURL(QUrl(Strings::localized(QStringLiteral("RatingPageURL"))),
                                     QStringLiteral("macappstore"));
}

void presentFeedbackWindow()
{
    const QByteArray address
        = QUrl::toPercentEncoding(Strings::localized(QStringLiteral("FeedbackMailAddress")), "@");
    const QByteArray subject
        = QUrl::toPercentEncoding(Strings::localized(QStringLiteral("FeedbackMailSubject")));
    Workspace::shared().openURL(
        QUrl::fromEncoded("mailto:" + address + "?subject=" + subject, QUrl::StrictMode));
}

} // namespace tanvill
