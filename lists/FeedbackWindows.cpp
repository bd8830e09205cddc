#include "lists/FeedbackWindows.h"

#include "platform/Strings.h"
#include "platform/SupportRequest.h"
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
    Workspace::shared().openURL(feedbackMailUrl());
}

} // namespace tanvill
