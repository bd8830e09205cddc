// Feeds arbitrary bytes to the reader of the list-sharing service's answers, as a successful
// and as a failed reply. Stops on a crash, a sanitizer finding, a link that is not an http(s)
// URL, a failed reply read as a link or a message that is empty.

#include "platform/WebLink.h"
#include "sharing/ShareReply.h"

#include <QUrl>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using tanvill::ShareReply;
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const int status : { 200, 500 }) {
        const ShareReply reply = ShareReply::parse(status, body);
        switch (reply.kind) {
        case ShareReply::Kind::Link: {
            if (status != 200 || !tanvill::isWebLink(reply.text))
                std::abort();
            break;
        }
        case ShareReply::Kind::ServiceError:
            if (reply.text.isEmpty())
                std::abort();
            break;
        case ShareReply::Kind::Unreadable:
            if (!reply.text.isEmpty())
                std::abort();
            break;
        }
    }
    return 0;
}
