#pragma once

// The errors ListsController hands out (domain "com.tanvill.Tanvill.ListsController"):
//   1 a search found nothing in any scope        no arguments
//   2 the identifier is already kept in a list   the list's name
//   3 the only list cannot be deleted            no arguments
//   4 every look-up of a refresh failed          the number of applications refreshed
//   5 no list has the asked index                no arguments

#include "platform/Error.h"

#include <QVariantList>

namespace tanvill {

Error listsControllerError(int code, const QVariantList &arguments = {});

} // namespace tanvill
