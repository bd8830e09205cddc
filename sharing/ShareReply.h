#pragma once

// What the list-sharing service's answer to a published list means: the link of the shared
// list, a message of the service's own, or nothing usable. The share sheet reads every answer
// that arrived through this; the answer is untrusted and never makes it fail.

#include <QByteArray>
#include <QString>

namespace tanvill {

struct ShareReply
{
    enum class Kind {
        // `text` is the link: an http or https URL with a host, not over-long.
        Link,
        // `text` is the service's message, not empty, cut to the length of a message.
        ServiceError,
        // Neither: not JSON, no usable member, or a failed status without a message.
        Unreadable,
    };

    Kind kind = Kind::Unreadable;
    QString text;

    // An "error" object wins over a "url"; a status outside 2xx never gives a link.
    static ShareReply parse(int statusCode, const QByteArray &body);

    friend bool operator==(const ShareReply &, const ShareReply &) = default;
};

} // namespace tanvill
