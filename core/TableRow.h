#pragma once

// One row of a list's table: an application (This) or a section title (That). Application
// rows are equal when they hold the same record, title rows when their titles are equal.

#include "core/Either.h"

#include <QString>

#include <vector>

namespace tanvill {

class App;

using TableRow = Either<App *, QString>;
using TableRows = std::vector<TableRow>;

} // namespace tanvill
