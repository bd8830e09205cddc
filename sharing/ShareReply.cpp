#include "sharing/ShareReply.h"

#include "core/TextLimits.h"
#include "platform/WebLink.h"

#include <QUrl>

#include <nlohmann/json.hpp>

namespace tanvill {

namespace {

QString textOf(const nlohmann::json &value)
{
    if (value.is_string())
        return QString::fromStdString(value.get_ref<const std::string &>());
    if (value.is_boolean())
        return value.get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.is_number())
        return QString::fromStdString(value.dump());
    return {};
}

} // namespace

ShareReply ShareReply::parse(int statusCode, const QByteArray &body)
{
    const nlohmann::json document
        = nlohmann::json::parse(body.cbegin(), body.cend(), nullptr, /*allow_exceptions=*/false);
    if (!document.is_object())
        return {};

    if (const auto error = document.find("error"); error != document.end() && error->is_object()) {
        const auto message = error->find("message");
        if (message != error->end()) {
            const QString text = textOf(*message).trimmed();
            if (!text.isEmpty())
                return { Kind::ServiceError, TextLimits::capped(text, TextLimits::kMessage) };
        }
        return {};
    }

    if (statusCode < 200 || statusCode > 299)
        return {};
    if (const auto url = document.find("url"); url != document.end() && url->is_string()) {
        const QString link = QString::fromStdString(url->get<std::string>());
        if (link.size() <= TextLimits::kLink && isWebLink(link))
            return { Kind::Link, link };
    }
    return {};
}

} // namespace tanvill
