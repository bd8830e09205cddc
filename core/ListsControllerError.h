#pragma once

// The errors ListsController hands out, in the domain "com.tanvill.Tanvill.ListsController".

#include "platform/Error.h"

#include <QVariantList>

namespace tanvill {

// The codes and the arguments their texts take.
enum class ListsControllerErrorCode {
    NoSearchResults = 1, // a search found nothing in any scope; no arguments
    AlreadyInList = 2, // the identifier is already kept in a list; the list's name
    OnlyList = 3, // the only list cannot be deleted; no arguments
    RefreshFailed = 4, // every look-up of a refresh failed; the number of applications
    ListNotFound = 5, // no list has the asked index; no arguments
};

Error listsControllerError(ListsControllerErrorCode code, const QVariantList &arguments = {});

// Whether an error of adding an identifier is final: a list keeps the app already, or the store
// has no app of that identifier. Any other (the store did not answer, failed, or sent what
// cannot be read) is a passing failure: the same identifier may be added later.
bool isFinalAdditionError(const Error &error);
bool isAlreadyInListError(const Error &error);
// The store answered a look-up with no app: it has none of that identifier (any more).
bool isAppNotInStoreError(const Error &error);

} // namespace tanvill
