#pragma once

// Upper bounds on the texts the program keeps from outside: the store file, the store's
// replies, the sharing service and the wish-list site. No real value comes near them; a broken
// or hostile one is cut where it is read, so that no label, sort or layout ever works through
// megabytes of text. Lengths count UTF-16 code units, as QString does.

#include <QString>

namespace tanvill::TextLimits {

// Names of applications and lists, developers, versions, identifiers, prices, colours.
inline constexpr qsizetype kShortText = 1024;
// Links: icons, store pages, screenshots, shared lists.
inline constexpr qsizetype kLink = 8192;
// Descriptions of applications.
inline constexpr qsizetype kLongText = 64 * 1024;
// Messages of services and servers, shown in alerts.
inline constexpr qsizetype kMessage = 4096;

// The text cut to at most `limit` code units, never between the halves of a surrogate pair.
inline QString capped(QString text, qsizetype limit)
{
    if (text.size() > limit) {
        text.truncate(limit);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

} // namespace tanvill::TextLimits
