#pragma once

// A dbus-daemon of this test process's own, started on first use and made the session bus of
// the process (Qt connects to the session bus once per process, so every test shares it).
// Empty when there is no dbus-daemon; the tests that need it skip then.

#include <QString>

namespace tanvill::test {

QString privateSessionBusAddress();

} // namespace tanvill::test
