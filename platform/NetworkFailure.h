#pragma once

// The error a request that brought no answer is shown as. The system's own text ("Connection
// refused", "Host … not found") says little as an alert's heading: the heading says in plain
// words which service could not be reached, and the system's text stands beneath it. Store
// operations, list sharing and the wish-list import use it.

#include "platform/Error.h"

#include <QString>

namespace tanvill {

struct HttpResult;

// An error of the "HttpClient" domain with the result's network error as its code, `heading`
// (which service could not be reached) as its description and, as its recovery suggestion,
// `systemText` (the result's error text, cut to a length an alert can show) followed by
// `advice` when given.
Error networkFailureError(const HttpResult &result, const QString &heading,
                          const QString &systemText, const QString &advice = {});

} // namespace tanvill
