#include "core/ListsControllerError.h"

#include "platform/Strings.h"

namespace tanvill {

Error listsControllerError(int code, const QVariantList &arguments)
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("ListsController"));
    error.code = code;
    switch (code) {
    case 1:
        error.description = Strings::localized(QStringLiteral("NoResults"));
        break;
    case 2:
        error.description = Strings::localizedFormat(QStringLiteral("DuplicateAppNotice"),
                                                     { arguments.value(0).toString() });
        error.recoverySuggestion = Strings::localized(QStringLiteral("MoveAppTutorial"));
        break;
    case 3:
        error.description = Strings::localized(QStringLiteral("DelteOnlyListNotice"));
        break;
    case 4: {
        const QString noun
            = arguments.value(0).toLongLong() == 1 ? QStringLiteral("app") : QStringLiteral("apps");
        error.description = Strings::localizedFormat(QStringLiteral("Failed to reload %@!"),
                                                     { Strings::localized(noun) });
        error.recoverySuggestion = Strings::localized(QStringLiteral("ErrorSupportSuggestion"));
        error.recoveryOptions = { Strings::localized(QStringLiteral("OK")),
                                  Strings::localized(QStringLiteral("Request Support")) };
        break;
    }
    case 5:
        error.description = QStringLiteral("List not found");
        break;
    default:
        break;
    }
    return error;
}

} // namespace tanvill
