#include "platform/HttpClient.h"
#include "platform/MainQueue.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <optional>

using namespace tanvill;
using tanvill::test::FakeHttpServer;
using tanvill::test::FakeRequest;
using tanvill::test::FakeResponse;
using Behaviour = FakeResponse::Behaviour;

namespace {

class HttpClientTest : public ::testing::Test
{
protected:
    // Fetches `path` and waits for the one completion; counts calls to catch doubles.
    HttpResult fetch(const QString &path, const HttpRequestOptions &options = {})
    {
        std::optional<HttpResult> result;
        client.get(
            server.url(path),
            [&](const HttpResult &answer) {
                ++calls;
                onMainThread = onMainThread && MainQueue::isMainThread();
                result = answer;
            },
            options);
        EXPECT_TRUE(test::waitFor([&] { return result.has_value(); }, 60000)) << qPrintable(path);
        test::drainEvents();
        return result.value_or(HttpResult {});
    }

    FakeHttpServer server;
    HttpClient client;
    int calls = 0;
    bool onMainThread = true;
};

} // namespace

TEST_F(HttpClientTest, AnswersAreDeliveredOnceOnTheUiThreadWithStatusBodyAndHeaders)
{
    server.setRoute("/ok", FakeResponse::json(R"({"resultCount":0})"));
    server.setRoute("/missing", FakeResponse::withStatus(404, "nope"));

    const HttpResult ok = fetch("/ok?id=1");
    EXPECT_TRUE(ok.isSuccess());
    EXPECT_EQ(ok.statusCode, 200);
    EXPECT_EQ(ok.body, R"({"resultCount":0})");
    EXPECT_EQ(ok.header("content-type"), "application/json");

    // An HTTP error is an answer the caller reads, not a failed transfer.
    const HttpResult missing = fetch("/missing");
    EXPECT_FALSE(missing.isSuccess());
    EXPECT_FALSE(missing.transferFailed());
    EXPECT_EQ(missing.statusCode, 404);
    EXPECT_EQ(missing.body, "nope");

    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(server.requestCount("/ok"), 1);
    EXPECT_EQ(server.requests().value(0).query.queryItemValue("id"), "1");
}

TEST_F(HttpClientTest, PostSendsTheJsonBody)
{
    server.setHandler("/lists", [](const FakeRequest &request) {
        return FakeResponse::json(request.method + " " + request.header("Content-Type") + " "
                                  + request.body);
    });
    std::optional<HttpResult> result;
    client.post(server.url("/lists"), R"({"name":"Games"})",
                [&](const HttpResult &answer) { result = answer; });
    ASSERT_TRUE(test::waitFor([&] { return result.has_value(); }));
    EXPECT_EQ(result->body, R"(POST application/json {"name":"Games"})");
}

TEST_F(HttpClientTest, BrokenTransfersFailWithAnErrorAndNoBody)
{
    client.setDefaultTimeoutMs(300);
    server.setRoute("/stall", FakeResponse::behaving(Behaviour::Stall));
    server.setRoute("/drop", FakeResponse::behaving(Behaviour::Drop));
    server.setRoute("/reset", FakeResponse::behaving(Behaviour::Reset));
    FakeResponse truncated = FakeResponse::json(QByteArray(4000, 'a'));
    truncated.behaviour = Behaviour::Truncate;
    server.setRoute("/truncated", truncated);

    const HttpResult stalled = fetch("/stall");
    EXPECT_EQ(stalled.networkError, QNetworkReply::TimeoutError);
    for (const char *path : { "/stall", "/drop", "/reset", "/truncated" }) {
        const HttpResult result = fetch(path);
        EXPECT_TRUE(result.transferFailed()) << path;
        EXPECT_FALSE(result.isSuccess()) << path;
        EXPECT_FALSE(result.errorText.isEmpty()) << path;
        EXPECT_TRUE(result.body.isEmpty()) << path;
    }
    EXPECT_EQ(calls, 5);
}

TEST_F(HttpClientTest, BodiesOverTheCapAreAbortedWhetherAnnouncedOrChunked)
{
    FakeResponse huge;
    huge.generatedBodySize = 50 * 1024 * 1024;
    server.setRoute("/huge", huge);
    FakeResponse chunked = huge;
    chunked.behaviour = Behaviour::Chunked;
    server.setRoute("/chunked", chunked);
    FakeResponse small = FakeResponse::json(QByteArray(3000, 'b'));
    small.behaviour = Behaviour::Chunked;
    server.setRoute("/small-chunked", small);

    for (const char *path : { "/huge", "/chunked" }) {
        const HttpResult result = fetch(path);
        EXPECT_TRUE(result.transferFailed()) << path;
        EXPECT_TRUE(result.body.isEmpty()) << path;
    }
    // A body under a raised cap still arrives whole (kept moderate so sanitizer builds stay fast).
    FakeResponse large = chunked;
    large.generatedBodySize = 8 * 1024 * 1024;
    server.setRoute("/large-chunked", large);
    HttpRequestOptions roomy;
    roomy.maxBodyBytes = 9 * 1024 * 1024;
    const HttpResult streamed = fetch("/large-chunked", roomy);
    EXPECT_TRUE(streamed.isSuccess());
    EXPECT_EQ(streamed.body.size(), 8 * 1024 * 1024);
    EXPECT_EQ(streamed.body.count('x'), streamed.body.size());

    HttpRequestOptions options;
    options.maxBodyBytes = 1000;
    EXPECT_TRUE(fetch("/small-chunked", options).transferFailed());
    const HttpResult allowed = fetch("/small-chunked");
    EXPECT_TRUE(allowed.isSuccess());
    EXPECT_EQ(allowed.body, QByteArray(3000, 'b'));
}

TEST_F(HttpClientTest, CancelledRequestsAndRequestsOfDeadContextsCallNothing)
{
    server.setRoute("/slow", FakeResponse::json("{}").delayed(100));
    int calls = 0;
    const auto id = client.get(server.url("/slow"), [&](const HttpResult &) { ++calls; });
    client.cancel(id);
    client.cancel(id);
    // Cancelled while the server holds it, a request lets go of its connection (see below).
    server.setRoute("/stalled", FakeResponse::behaving(Behaviour::Stall));
    const auto stalled = client.get(server.url("/stalled"), [&](const HttpResult &) { ++calls; });
    ASSERT_TRUE(test::waitFor([&] { return server.requestCount("/stalled") == 1; }));
    client.cancel(stalled);

    HttpRequestOptions options;
    auto *context = new QObject;
    options.context = context;
    client.get(
        server.url("/slow"), [&](const HttpResult &) { ++calls; }, options);
    delete context;

    const auto finished = client.get(server.url("/slow"), [&](const HttpResult &) { ++calls; });
    ASSERT_TRUE(test::waitFor([&] { return calls == 1; }));
    client.cancel(finished);
    ASSERT_TRUE(test::waitFor([&] { return server.currentConnections() == 0; }));
    test::drainEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(client.runningRequestCount(), 0);
}

TEST_F(HttpClientTest, OnlyHttpLinksAreFetchedAndNeverAnsweredSynchronously)
{
    for (const QString link : { "file:///etc/passwd", "data:text/plain,hi", "not a link", "" }) {
        bool answered = false;
        HttpResult result;
        client.get(QUrl(link), [&](const HttpResult &answer) {
            answered = true;
            result = answer;
        });
        EXPECT_FALSE(answered) << qPrintable(link);
        ASSERT_TRUE(test::waitFor([&] { return answered; })) << qPrintable(link);
        EXPECT_TRUE(result.transferFailed());
        EXPECT_TRUE(result.body.isEmpty());
    }
    EXPECT_EQ(server.totalRequestCount(), 0);
}

TEST_F(HttpClientTest, RedirectsAreFollowedWithinTheSameSchemeOrUpToHttps)
{
    FakeResponse toSame = FakeResponse::withStatus(302);
    toSame.headers.append({ "Location", server.url("/target").toEncoded() });
    server.setRoute("/same", toSame);
    server.setRoute("/target", FakeResponse::json("[1]"));
    // Nothing listens on port 1: a refused connection shows the redirect was followed.
    FakeResponse toHttps = FakeResponse::withStatus(301);
    toHttps.headers.append({ QByteArray("Location"), QByteArray("https://127.0.0.1:1/icon.png") });
    server.setRoute("/upgrade", toHttps);
    FakeResponse toFtp = FakeResponse::withStatus(302);
    toFtp.headers.append({ QByteArray("Location"), QByteArray("ftp://127.0.0.1:1/elsewhere") });
    server.setRoute("/other", toFtp);

    const HttpResult same = fetch("/same");
    EXPECT_TRUE(same.isSuccess());
    EXPECT_EQ(same.body, "[1]");
    const HttpResult upgraded = fetch("/upgrade");
    EXPECT_TRUE(upgraded.transferFailed());
    EXPECT_EQ(upgraded.networkError, QNetworkReply::ConnectionRefusedError);
    const HttpResult other = fetch("/other");
    EXPECT_TRUE(other.transferFailed());
    EXPECT_TRUE(other.body.isEmpty());
}

TEST_F(HttpClientTest, RedirectsStayOnTheServerAskedAndEndInAnErrorThatSaysWhy)
{
    const auto redirect = [](const QByteArray &location) {
        FakeResponse response = FakeResponse::withStatus(302);
        response.headers.append({ "Location", location });
        return response;
    };
    const QByteArray port = QByteArray::number(server.port());
    server.setRoute("/elsewhere", redirect("http://localhost:" + port + "/target"));
    server.setRoute("/target", FakeResponse::json("[1]"));
    server.setRoute("/loop-a", redirect("/loop-b"));
    server.setRoute("/loop-b", redirect("/loop-a"));
    for (int step = 0; step < 8; ++step)
        server.setRoute(QStringLiteral("/chain%1").arg(step),
                        redirect("/chain" + QByteArray::number(step + 1)));
    server.setRoute("/chain8", FakeResponse::json("[8]"));
    server.setRoute("/hop1", redirect("/hop2"));
    server.setRoute("/hop2", redirect(server.url("/hop3").toEncoded()));
    server.setRoute("/hop3", FakeResponse::json("[3]"));

    const struct
    {
        const char *path;
        QNetworkReply::NetworkError error;
        const char *says;
    } cases[] = {
        { "/elsewhere", QNetworkReply::ProtocolUnknownError, "another server" },
        { "/loop-a", QNetworkReply::TooManyRedirectsError, "loop" },
        { "/chain0", QNetworkReply::TooManyRedirectsError, "more than 5 times" },
    };
    for (const auto &testCase : cases) {
        const HttpResult result = fetch(testCase.path);
        EXPECT_EQ(result.networkError, testCase.error) << testCase.path;
        EXPECT_TRUE(result.errorText.contains(testCase.says))
            << testCase.path << ": " << result.errorText.toStdString();
        EXPECT_TRUE(result.body.isEmpty());
    }
    EXPECT_EQ(server.requestCount("/target"), 0);
    EXPECT_EQ(server.requestCount("/chain6"), 0);
    // A few steps on the same server are followed.
    EXPECT_EQ(fetch("/hop1").body, "[3]");
}

TEST_F(HttpClientTest, AnAnswerThatTricklesInFailsAtTheDeadline)
{
    // A byte every 50 ms, for more than an hour: the transfer is never idle for as long as its
    // timeout (the default minute), however busy the machine, and never complete.
    FakeResponse drip = FakeResponse::json(QByteArray(100000, 'd'));
    drip.behaviour = Behaviour::Drip;
    drip.dripIntervalMs = 50;
    server.setRoute("/drip", drip);
    client.setDefaultDeadlineMs(700);

    QElapsedTimer clock;
    clock.start();
    const HttpResult result = fetch("/drip");
    EXPECT_EQ(result.networkError, QNetworkReply::TimeoutError);
    EXPECT_TRUE(result.errorText.contains("0.7 seconds")) << result.errorText.toStdString();
    EXPECT_TRUE(result.body.isEmpty());
    EXPECT_LT(clock.elapsed(), 5000);

    HttpRequestOptions patient;
    patient.deadlineMs = 5000;
    drip.body = "[1]";
    server.setRoute("/short-drip", drip);
    EXPECT_EQ(fetch("/short-drip", patient).body, "[1]");
}

TEST(BaseUrls, ComeFromTheEnvironmentWithPublicDefaults)
{
    qunsetenv("TANVILL_STORE_URL");
    qunsetenv("TANVILL_SERVICE_URL");
    EXPECT_EQ(storeBaseUrl(), QUrl("https://itunes.apple.com"));
    EXPECT_TRUE(serviceBaseUrl().isEmpty());
    qputenv("TANVILL_STORE_URL", "http://127.0.0.1:8123");
    qputenv("TANVILL_SERVICE_URL", "http://127.0.0.1:8124");
    qputenv("TANVILL_WISHLIST_URL", "http://127.0.0.1:8125");
    EXPECT_EQ(storeBaseUrl(), QUrl("http://127.0.0.1:8123"));
    EXPECT_EQ(serviceBaseUrl(), QUrl("http://127.0.0.1:8124"));
    EXPECT_EQ(wishlistBaseUrl(), QUrl("http://127.0.0.1:8125"));
}

TEST(FakeHttpServer, CountsConcurrentConnectionsAndServesFixturesInsideTheirFolderOnly)
{
    FakeHttpServer server;
    server.serveFixtures();
    server.setHoldingAnswers(true);
    HttpClient client;
    int done = 0;
    QList<HttpResult> results;
    for (const char *path : { "/fixtures/lookup/empty.json", "/fixtures/lookup/mac-things.json",
                              "/fixtures/search/mac-slack.json", "/fixtures/../README.md",
                              "/fixtures/lookup/none.json" }) {
        client.get(server.url(path), [&](const HttpResult &result) {
            results.append(result);
            ++done;
        });
    }
    // Every request waits for its answer at once, as long as it takes them all to come in.
    ASSERT_TRUE(test::waitFor([&] { return server.currentConnections() == 5; }));
    server.releaseHeld();
    ASSERT_TRUE(test::waitFor([&] { return done == 5; }));
    EXPECT_EQ(server.maxConcurrentConnections(), 5);
    EXPECT_EQ(server.requestCount("/fixtures/lookup/empty.json"), 1);
    int found = 0;
    for (const HttpResult &result : results) {
        if (result.statusCode == 200) {
            ++found;
            EXPECT_FALSE(QJsonDocument::fromJson(result.body).isNull());
        } else {
            EXPECT_EQ(result.statusCode, 404);
        }
    }
    EXPECT_EQ(found, 3);
    ASSERT_TRUE(test::waitFor([&] { return server.currentConnections() == 0; }));
}

TEST(FakeHttpServer, AnswersRequestsInTurnOnOneConnectionUntilAskedToClose)
{
    FakeHttpServer server;
    server.setRoute("/a", FakeResponse::json("[1]").delayed(20));
    server.setRoute("/b", FakeResponse::json("[22]"));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(socket.waitForConnected(5000));
    // Two requests sent at once, the second asking to close once it is answered.
    socket.write("GET /a HTTP/1.1\r\nHost: x\r\n\r\n"
                 "GET /b HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QByteArray received;
    bool closed = false;
    QObject::connect(&socket, &QTcpSocket::disconnected, [&] { closed = true; });
    ASSERT_TRUE(test::waitFor([&] {
        received += socket.readAll();
        return closed;
    }));
    received += socket.readAll();
    EXPECT_EQ(received.count("HTTP/1.1 200 OK"), 2);
    EXPECT_LT(received.indexOf("Connection: keep-alive"), received.indexOf("[1]"));
    EXPECT_LT(received.indexOf("[1]"), received.indexOf("Connection: close"));
    EXPECT_TRUE(received.endsWith("[22]"));
    EXPECT_EQ(server.maxConcurrentConnections(), 1);
    // The server's thread counts the closed connection after the client has seen it close.
    EXPECT_TRUE(test::waitFor([&] { return server.currentConnections() == 0; }));
}
