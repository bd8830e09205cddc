#pragma once

// Reading and appending to the program's own small files (settings, the analytics log, the
// desktop's key files) without ever waiting on what stands at their path: a FIFO, a device or
// a socket would block the UI thread, or never end. Only regular files are used; a path is
// opened without waiting, and at most a given number of bytes is read.

#include <QByteArray>
#include <QString>

#include <optional>

namespace tanvill {

// The bytes of the regular file at path (a link to one is followed), at most maxBytes of them;
// none when there is no such file or it cannot be read.
std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxBytes);

// Appends to the regular file at path, creating it when nothing is there; false when something
// other than a regular file stands there or the write failed.
bool appendToRegularFile(const QString &path, const QByteArray &bytes);

// True when nothing, or a regular file (also through a link), is at path.
bool isRegularFileOrAbsent(const QString &path);

} // namespace tanvill
