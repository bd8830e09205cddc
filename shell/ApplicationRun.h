#pragma once

// The launch that runs on, from its services made to the end of its event loop: takes the store
// over, makes the application's delegate, hands it this launch's own link and what later
// launches send, and runs the event loop until the application quits. Nothing waits for the
// user before the event loop runs: what the start has to say (its link not taken, a store it
// cannot open) is said from within the loop, so that whatever ends one of those alerts' loops
// (the store's alert answered, the Quit item, a quit signal) ends the application's loop too, and
// a start that says it quits, ends. app/main.cpp runs it once the launch knows it runs on.

#include <QString>

#include <functional>

namespace tanvill {

class Services;
class SingleInstance;

// Runs the application on `services` until it quits; its exit status. `instance` is this
// launch's, which takes later launches' messages; `ownLinkTaken` runs once this launch's own
// message was taken (kept, or refused and about to be told).
int runApplication(Services &services, SingleInstance &instance, const QString &ownMessage,
                   const std::function<void()> &ownLinkTaken = {});

} // namespace tanvill
