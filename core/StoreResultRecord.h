#pragma once

// Puts what the store says about an application into its record, in one place for adding and
// refreshing: the details (name, description, kind, developer, links, screenshots) are written
// only where they differ and never replaced by an empty text or list, and a new record also
// takes the identifier and starts its price, version and rating history at the store's values.

#include "store/CachedApp.h"

#include <QString>

namespace tanvill {

class App;
class List;
class ObjectContext;

// Texts that differ only in how their accented letters are composed are the same text.
bool sameStoreText(const QString &a, const QString &b);

// Writes the description and screenshots of `result` that differ from the record's; true when
// it wrote any. Nothing when the file cannot give the record's own just now.
bool copyStoreContent(App &app, const CachedApp &result, ObjectContext &context);

// Writes the details of `result` that differ from the record's; true when it wrote any.
bool copyStoreDetails(App &app, const CachedApp &result, ObjectContext &context);

// Empties the texts and the screenshot links of `result` that equal the record's, which
// copyStoreDetails then leaves alone. A refresh holds every answer until its whole batch is
// in: most of an answer is what is stored already, and comparing it as it comes keeps the
// step that writes the batch short.
void dropStoredDetails(CachedApp &result, const App &app);

// A new application of `list` (at the end of its stored order) made from `result`.
App *insertAppFromStoreResult(ObjectContext &context, List *list, const CachedApp &result);

} // namespace tanvill
