#include "core/ListsControllerError.h"

#include "platform/Strings.h"
#include "store/AppStoreOperation.h"

namespace tanvill {

Error listsControllerError(ListsControllerErrorCode code, const QVariantList &arguments)
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("ListsController"));
    error.code = int(code);
    switch (code) {
    case ListsControllerErrorCode::NoSearchResults:
        error.description = Strings::localized(QStringLiteral("NoResults"));
        break;
    case ListsControllerErrorCode::AlreadyInList:
        error.description = Strings::localizedFormat(QStringLiteral("DuplicateAppNotice"),
                                                     { arguments.value(0).toString() });
        error.recoverySuggestion = Strings::localized(QStringLiteral("MoveAppTutorial"));
        break;
    case ListsControllerErrorCode::OnlyList:
        error.description = Strings::localized(QStringLiteral("DelteOnlyListNotice"));
        break;
    case ListsControllerErrorCode::RefreshFailed: {
        const QString noun
            = arguments.value(0).toLongLong() == 1 ? QStringLiteral("app") : QStringLiteral("apps");
        error.description = Strings::localizedFormat(QStringLiteral("Failed to reload %@!"),
                                                     { Strings::localized(noun) });
        error.recoverySuggestion = Strings::localized(QStringLiteral("ErrorSupportSuggestion"));
        error.recoveryOptions = { Strings::localized(QStringLiteral("OK")),
                                  Strings::localized(QStringLiteral("Request Support")) };
        break;
    }
    case ListsControllerErrorCode::ListNotFound:
        error.description = QStringLiteral("List not found");
        break;
    }
    return error;
}

bool isAlreadyInListError(const Error &error)
{
    return error.domain == Error::domainFor(QStringLiteral("ListsController"))
        && error.code == int(ListsControllerErrorCode::AlreadyInList);
}

bool isAppNotInStoreError(const Error &error)
{
    return error.domain == Error::domainFor(QStringLiteral("AppStoreOperation"))
        && error.code == AppStoreOperation::AppNotInStore;
}

bool isFinalAdditionError(const Error &error)
{
    return isAlreadyInListError(error) || isAppNotInStoreError(error);
}

} // namespace tanvill
