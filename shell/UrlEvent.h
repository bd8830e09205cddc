#pragma once

// What a "tanvill:" link asks of the running application. Links reach it from the browser
// extension and from the desktop (the link handler of the installed desktop entry), through a
// second launch that hands them to the running instance. The only request is
// "tanvill:///addApp?id=<store identifier>" (also "tanvill:/addApp?…"): the path must be
// "/addApp" exactly; the query is split at "&" and each piece at "=", pieces that do not split
// into exactly two parts are skipped and a later "id" replaces an earlier one; nothing is
// decoded. The identifier must be 1 to 19 decimal digits: anything else is no request.

#include <QString>

#include <optional>

namespace tanvill {

// The store identifier a link asks to add; none for anything that is not such a request.
std::optional<QString> addAppIdentifierFromLink(const QString &link);

} // namespace tanvill
