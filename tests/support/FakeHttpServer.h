#pragma once

// A loopback HTTP/1.1 server for tests and benchmarks. It runs on its own thread, so a
// benchmark that measures the UI thread measures only the client; it listens on 127.0.0.1 at
// a random port and stops with its owner. Connections stay open between requests unless the
// client asks to close them. Routes answer by path, with a fixed response or a
// handler; responses can be delayed, stall, drop or reset the connection, promise more body
// than they send, be chunked, or stream large generated bodies without holding them.
// Every accessor is thread-safe.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <memory>

class QThread;

namespace tanvill::test {

struct FakeRequest
{
    QByteArray method;
    // The request line's target exactly as the client sent it, still percent-encoded.
    QByteArray target;
    QString path;
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray &name) const;
};

struct FakeResponse
{
    enum class Behaviour {
        Normal,
        // Reads the request and never answers; the connection stays open.
        Stall,
        // Closes the connection without answering.
        Drop,
        // Resets the connection (TCP RST) without answering.
        Reset,
        // Announces the full Content-Length, sends half the body, then closes.
        Truncate,
        // Sends the body with chunked transfer encoding.
        Chunked,
        // Announces the full Content-Length and sends the body one byte per dripIntervalMs.
        Drip,
        // Waits for FakeHttpServer::releaseHeld, then behaves as `releasedAs` says.
        Held,
    };

    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // When > 0, the body is this many bytes of `body` repeated (or 'x' when it is empty),
    // produced as the socket drains instead of being held in memory.
    qint64 generatedBodySize = 0;
    int delayMs = 0;
    Behaviour behaviour = Behaviour::Normal;
    int dripIntervalMs = 100;
    // What a Held response does once released: answers (Normal), or fails (Drop, Reset...).
    Behaviour releasedAs = Behaviour::Normal;

    static FakeResponse json(const QByteArray &body, int status = 200);
    static FakeResponse withStatus(int status, const QByteArray &body = {});
    static FakeResponse bytes(const QByteArray &body, const QByteArray &contentType);
    // The file's bytes, or a 404 when it cannot be read.
    static FakeResponse file(const QString &path);
    static FakeResponse behaving(Behaviour behaviour);
    FakeResponse &delayed(int milliseconds)
    {
        delayMs = milliseconds;
        return *this;
    }
};

class FakeHttpServer
{
public:
    // Runs on the server's thread: keep it quick and thread-safe.
    using Handler = std::function<FakeResponse(const FakeRequest &)>;

    FakeHttpServer();
    ~FakeHttpServer();
    FakeHttpServer(const FakeHttpServer &) = delete;
    FakeHttpServer &operator=(const FakeHttpServer &) = delete;

    // http://127.0.0.1:<port>
    QUrl baseUrl() const;
    QUrl url(const QString &pathAndQuery) const;
    quint16 port() const { return m_port; }

    // A fixed answer for a path (query ignored).
    void setRoute(const QString &path, const FakeResponse &response);
    void setHandler(const QString &path, Handler handler);
    // Answers every path without a route of its own (404 when unset).
    void setFallbackHandler(Handler handler);
    // Paths under `prefix` are served from files in `directory` ("/store/lookup/x.json" →
    // directory/lookup/x.json); paths leaving the folder get 404.
    void serveDirectory(const QString &prefix, const QString &directory);
    // The real store replies under "/fixtures/" (lookup/…, search/…).
    void serveFixtures();
    // Applies to every response that does not set its own delay.
    void setDefaultDelayMs(int milliseconds);
    void clearRoutes();
    // While set, every answer that would be sent at once is held (as Held) instead: a test
    // answers the requests waiting in turns, whatever the time each turn takes.
    void setHoldingAnswers(bool holding);
    // Answers every Held response waiting now, before it returns to the caller.
    void releaseHeld();
    // On the UI thread, while answers are held: answers `total` requests in turns, each turn
    // once `atOnce` of them wait at the same time (the last turn what is left); false when a
    // turn did not fill within `timeoutMs`. A client that has more requests under way at once
    // shows in maxConcurrentConnections().
    bool answerHeldInTurns(int total, int atOnce, int timeoutMs = 10000);

    int requestCount(const QString &path) const;
    int totalRequestCount() const;
    QList<FakeRequest> requests() const;
    // Connections answering a request at the moment (idle open ones are not counted), and the
    // most there were at once.
    int currentConnections() const;
    int maxConcurrentConnections() const;
    void resetCounters();

    // Internal: used by the server's thread.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr;
    quint16 m_port = 0;
};

} // namespace tanvill::test
