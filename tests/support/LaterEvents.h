#pragma once

// Waiting for an event that can only come after another, so that a test can show that
// something did not happen once it had its chance, without sleeping: a timer started later,
// the single-shot timers pending now, an answer asked for later.

namespace tanvill::test {

class FakeHttpServer;

// Starts a precise single-shot timer and waits until it has fired: by then every timer of at
// most `intervalMs` started before the call, precise or coarse, has fired too.
bool waitPastTimer(int intervalMs, int timeoutMs = 10000);

// Waits until every single-shot timer of the UI thread pending now (QTimer::singleShot, delay())
// has fired, then runs what they posted. False, and a test failure, when Qt keeps those timers
// where this cannot find them.
bool waitPastPendingSingleShots(int timeoutMs = 10000);

// Waits until `server` holds no request (each one answered, or dropped by its client), then
// asks it once more through the process's HTTP client and waits for that answer, given after
// `delayMs`, and for what it set going. The answer to anything asked before, on any
// connection, has reached the client by then.
bool waitForLaterAnswer(FakeHttpServer &server, int delayMs = 0, int timeoutMs = 10000);

} // namespace tanvill::test
