#pragma once

// Waits for an event that can only come after another, so that a test can show that something
// did not happen once it had its chance, without sleeping.

namespace tanvill::test {

class FakeHttpServer;

// Waits until a precise timer a little longer than `intervalMs`, started now, has fired: every
// timer of at most `intervalMs` started before, precise or coarse, has fired by then.
bool waitPastTimer(int intervalMs, int timeoutMs = 10000);

// Waits until every single-shot timer of this thread pending now (QTimer::singleShot, delay())
// has fired, then runs what they posted. False when Qt keeps them where this cannot look.
bool waitPastPendingSingleShots(int timeoutMs = 10000);

// Once `server` holds no request, asks it for an answer given after `delayMs` through the
// process's HTTP client and waits for it and for what it set going: the answer to anything
// asked before, on any connection, has reached the client by then.
bool waitForLaterAnswer(FakeHttpServer &server, int delayMs = 0, int timeoutMs = 10000);

} // namespace tanvill::test
