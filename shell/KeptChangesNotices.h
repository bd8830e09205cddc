#pragma once

// The files of kept changes that the next start tells of: a list in the settings file that
// every copy of Tanvill changes. A copy whose changes could not reach the store adds its file, a
// copy that saved them after all takes its own off again, and the start that tells of them
// takes them all off. Each change reads the list as the file holds it now, changes it and writes
// it back while holding a lock beside the settings file, so that two copies changing it at the
// same moment both count. The application's delegate changes it.

#include <QStringList>

#include <functional>

namespace tanvill {

class UserDefaults;

// How long a change waits for another copy's: that one writes a few lines and lets go. Past it,
// the change is made without the lock rather than not at all.
constexpr int kKeptChangesNoticesWaitMs = 1000;

// Changes the list; false when it could not be written. For tests, whileWaiting is called when
// another copy holds the lock, before this one waits for it.
bool changeKeptChangesNotices(UserDefaults &settings,
                              const std::function<void(QStringList &)> &change,
                              const std::function<void()> &whileWaiting = {});

} // namespace tanvill
