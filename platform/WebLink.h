#pragma once

#include <QString>
#include <QUrl>

namespace tanvill {

// Whether a link is one the program fetches or hands to a browser: http or https, with a host.
// Every address that comes from the store, a reply, a setting or the string table goes through
// this before it is requested or opened.
bool isWebLink(const QUrl &url);

// Reads the text strictly as a link; anything that does not parse cleanly is no web link.
bool isWebLink(const QString &text);

} // namespace tanvill
