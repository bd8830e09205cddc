#pragma once

// A launch that ends without doing what it was started for: the running Tanvill did not take
// its message (it did not answer, was still quitting, stayed busy, or refused it), or the launch
// was asked to end while it waited. A link the running copy did not refuse is kept for its next
// refresh or start (kept twice, it is added once). The user is told in an alert as well as on
// standard error: a launch is started from a browser or a menu, where nobody reads a terminal;
// a launch asked to end says so on standard error alone. app/main.cpp ends a launch with it.

#include "platform/SingleInstance.h"

namespace tanvill {

class AlertPresenter;
class LinkInbox;

// Tells the user, after keeping `message` when it is a link; the process's exit status.
int endUnfinishedLaunch(const SingleInstance &instance, SingleInstance::Role role,
                        const QString &message, LinkInbox &inbox, AlertPresenter &alerts);

// Tells the user that this launch's own link was not taken, and why.
void tellLinkNotTaken(const QString &why, AlertPresenter &alerts);

} // namespace tanvill
