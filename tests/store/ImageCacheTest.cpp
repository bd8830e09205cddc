#include "store/ImageCache.h"
#include "platform/HttpClient.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"
#include "support/TestServices.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace tanvill;
using tanvill::test::FakeHttpServer;
using tanvill::test::FakeResponse;

namespace {

class ImageCacheTest : public ::testing::Test
{
protected:
    QString link(const QString &path) const { return server.url(path).toString(); }

    // Asks `cache` for `url` and waits for the answer.
    QImage fetch(ImageCache &cache, const QString &url)
    {
        QImage answer;
        bool answered = false;
        cache.imageForUrl(url, [&](const QString &answeredUrl, const QImage &image) {
            EXPECT_EQ(answeredUrl, url);
            answer = image;
            answered = true;
        });
        EXPECT_TRUE(test::waitFor([&] { return answered; })) << qPrintable(url);
        return answer;
    }

    QStringList filesOnDisk() const
    {
        return QDir(ImageCache::defaultCacheDirectory()).entryList(QDir::Files);
    }

    QByteArray fileFor(const QString &url) const
    {
        QFile file(ImageCache::defaultCacheDirectory() + '/' + ImageCache::cacheFileName(url));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::TestServices services { { .listsController = false } };
    FakeHttpServer server;
    const QByteArray red = test::pngBytes(Qt::red);
    const QByteArray blue = test::pngBytes(Qt::blue);
};

} // namespace

TEST_F(ImageCacheTest, RequestsForOneLinkShareOneDownloadAndAreAnsweredInOrder)
{
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png").delayed(100));
    ImageCache cache;
    QStringList order;
    for (const QString name : { "first", "second", "third" }) {
        cache.imageForUrl(link("/icon.png"), [&order, name](const QString &, const QImage &image) {
            EXPECT_EQ(image.pixelColor(10, 20), QColor(Qt::red));
            order << name;
        });
    }
    ASSERT_TRUE(test::waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order.join(' '), "first second third");
    EXPECT_EQ(server.requestCount("/icon.png"), 1);
    cache.waitForWrites();
    EXPECT_EQ(fileFor(link("/icon.png")), red);
    EXPECT_EQ(cache.loadingLinkCount(), 0);
}

TEST_F(ImageCacheTest, MemoryAnswersWithoutDiskOrNetworkAndDiskAnswersAfterARestart)
{
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png"));
    const QString url = link("/icon.png");
    auto cache = std::make_unique<ImageCache>();
    EXPECT_FALSE(fetch(*cache, url).isNull());
    cache->waitForWrites();

    // A new process: memory is empty, the file answers.
    ImageCache restarted;
    EXPECT_EQ(fetch(restarted, url).pixelColor(10, 20), QColor(Qt::red));
    EXPECT_EQ(server.requestCount("/icon.png"), 1);

    ASSERT_TRUE(QFile::remove(restarted.cacheDirectory() + '/' + ImageCache::cacheFileName(url)));
    EXPECT_FALSE(fetch(*cache, url).isNull());
    EXPECT_FALSE(restarted.cachedImage(url).isNull());
    EXPECT_EQ(server.requestCount("/icon.png"), 1);
}

TEST_F(ImageCacheTest, DiskNamesAreShortSafeAndDistinctForEveryPartOfTheLink)
{
    const QStringList links = { "https://a.example/icon/512x512.png",
                                "https://b.example/icon/512x512.png",
                                "http://a.example/icon/512x512.png",
                                "https://a.example/icon/512x512.png?size=2",
                                "https://a.example/icon/512x512.png#x",
                                "https://a.example/icon512x512.png",
                                "https://a.example/",
                                "https://a.example/" + QString(3000, 'p') + ".png" };
    QSet<QString> names;
    for (const QString &url : links) {
        const QString name = ImageCache::cacheFileName(url);
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{64}$").match(name).hasMatch())
            << qPrintable(name);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), links.size());

    // Two links that differ only in their query are two images.
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png"));
    server.setHandler("/icon.png", [this](const test::FakeRequest &request) {
        return FakeResponse::bytes(request.query.hasQueryItem("blue") ? blue : red, "image/png");
    });
    ImageCache cache;
    EXPECT_EQ(fetch(cache, link("/icon.png")).pixelColor(10, 20), QColor(Qt::red));
    EXPECT_EQ(fetch(cache, link("/icon.png?blue")).pixelColor(10, 20), QColor(Qt::blue));
    cache.waitForWrites();
    EXPECT_EQ(filesOnDisk().size(), 2);
}

TEST_F(ImageCacheTest, BadAnswersAreNeitherAnsweredNorStoredAndAreFetchedAgainNextTime)
{
    FakeResponse truncatedTransfer = FakeResponse::bytes(red, "image/png");
    truncatedTransfer.behaviour = FakeResponse::Behaviour::Truncate;
    // Decoders accept a JPEG cut short and fill the rest with grey.
    const QByteArray jpeg = test::jpegBytes(Qt::red, 200);
    FakeResponse hugeBody;
    hugeBody.generatedBodySize = 50 * 1024 * 1024;
    hugeBody.headers.append({ QByteArray("Content-Type"), QByteArray("image/png") });
    const QList<QPair<QString, FakeResponse>> routes = {
        { "/page.png", FakeResponse::bytes("<html>Not here</html>", "text/html") },
        { "/cut.png", FakeResponse::bytes(red.left(red.size() - 20), "image/png") },
        { "/cut.jpg", FakeResponse::bytes(jpeg.left(jpeg.size() * 2 / 3), "image/jpeg") },
        { "/cut-transfer.png", truncatedTransfer },
        { "/missing.png", FakeResponse::withStatus(404, red) },
        { "/empty.png", FakeResponse::withStatus(200) },
        { "/huge.png", FakeResponse::bytes(test::hugePngBytes(), "image/png") },
        { "/huge-body.png", hugeBody },
        { "/reset.png", FakeResponse::behaving(FakeResponse::Behaviour::Reset) },
    };
    ImageCache cache;
    int answers = 0;
    ASSERT_FALSE(ImageCache::decodeImage(jpeg).isNull());
    for (const auto &[path, response] : routes) {
        server.setRoute(path, response);
        cache.imageForUrl(link(path), [&](const QString &, const QImage &) { ++answers; });
    }
    ASSERT_TRUE(test::waitFor([&] { return cache.loadingLinkCount() == 0; }, 20000));
    test::drainEvents();
    cache.waitForWrites();
    EXPECT_EQ(answers, 0);
    EXPECT_TRUE(filesOnDisk().isEmpty()) << qPrintable(filesOnDisk().join(' '));
    EXPECT_EQ(cache.memoryCostBytes(), 0);

    // The network stack may fail requests queued behind a broken connection before they
    // reach the server, so count from here.
    const int before = server.requestCount("/page.png");
    cache.imageForUrl(link("/page.png"), [&](const QString &, const QImage &) { ++answers; });
    ASSERT_TRUE(test::waitFor([&] { return cache.loadingLinkCount() == 0; }));
    EXPECT_EQ(server.requestCount("/page.png"), before + 1);
}

TEST_F(ImageCacheTest, LinksThatCannotBeFetchedCauseNoWorkAndNoAnswer)
{
    ImageCache cache;
    int answers = 0;
    for (const QString url : { "", "not a link", "file:///etc/passwd", "data:image/png;base64,AA" })
        cache.imageForUrl(url, [&](const QString &, const QImage &) { ++answers; });
    EXPECT_EQ(cache.loadingLinkCount(), 0);
    test::drainEvents();
    EXPECT_EQ(answers, 0);
    EXPECT_EQ(server.totalRequestCount(), 0);
}

TEST_F(ImageCacheTest, AFileThatIsNoImageIsDownloadedAgainAndReplaced)
{
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png"));
    const QString url = link("/icon.png");
    ImageCache cache;
    cache.waitForWrites();
    QFile broken(cache.cacheDirectory() + '/' + ImageCache::cacheFileName(url));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("garbage");
    broken.close();

    EXPECT_FALSE(fetch(cache, url).isNull());
    cache.waitForWrites();
    EXPECT_EQ(server.requestCount("/icon.png"), 1);
    EXPECT_EQ(fileFor(url), red);
}

TEST_F(ImageCacheTest, EntriesThatAreNoRegularFileAreNeverReadAndAreFetchedAgain)
{
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png"));
    server.setRoute("/blue.png", FakeResponse::bytes(blue, "image/png"));
    ImageCache cache;
    const auto entry = [&cache](const QString &url) {
        return QFile::encodeName(cache.cacheDirectory() + '/' + ImageCache::cacheFileName(url));
    };
    fetch(cache, link("/blue.png"));
    cache.waitForWrites();
    int n = 0; // a link to an endless device, a FIFO (no target), a link to an image elsewhere

    for (const QByteArray &target :
         { QByteArray("/dev/zero"), QByteArray(), entry(link("/blue.png")) }) {
        const QString url = link("/icon.png?") + QString::number(++n);
        ASSERT_EQ(target.isEmpty() ? ::mkfifo(entry(url), 0600) : ::symlink(target, entry(url)), 0);
        EXPECT_EQ(fetch(cache, url).pixel(1, 0), QColor(Qt::red).rgb()) << n;
        cache.waitForWrites();
        EXPECT_EQ(fileFor(url), red) << n << ": a regular file takes its place";
    }
}

TEST_F(ImageCacheTest, MemoryStaysWithinItsBudgetDroppingTheLeastRecentlyUsed)
{
    const QByteArray big = test::pngBytes(Qt::green, 256);
    server.setFallbackHandler(
        [&](const test::FakeRequest &) { return FakeResponse::bytes(big, "image/png"); });
    ImageCache cache;
    const qint64 oneImage = 256 * 256 * 4;
    cache.setMemoryBudgetBytes(3 * oneImage);
    for (int i = 0; i < 5; ++i)
        fetch(cache, link(QString("/%1.png").arg(i)));
    EXPECT_LE(cache.memoryCostBytes(), 3 * oneImage);
    EXPECT_TRUE(cache.cachedImage(link("/0.png")).isNull());
    EXPECT_FALSE(cache.cachedImage(link("/4.png")).isNull());
}

TEST_F(ImageCacheTest, AFolderThatCannotBeMadeLeavesTheMemoryLevelWorking)
{
    server.setRoute("/icon.png", FakeResponse::bytes(red, "image/png"));
    QTemporaryDir scratch;
    QFile blocker(scratch.path() + "/not-a-folder");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    static QStringList console;
    console.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &line) { console << line; });
    const QString folder = blocker.fileName() + "/ImageCache";
    ImageCache cache(folder);
    EXPECT_FALSE(fetch(cache, link("/icon.png")).isNull());
    cache.waitForWrites();
    qInstallMessageHandler(previous);
    ASSERT_EQ(console.size(), 1);
    EXPECT_TRUE(console.first().startsWith("Error creating cache directory: "))
        << qPrintable(console.first());
    EXPECT_TRUE(console.first().endsWith(", {path: " + folder + "}"));
    EXPECT_FALSE(fetch(cache, link("/icon.png")).isNull());
    EXPECT_EQ(server.requestCount("/icon.png"), 1);
}

TEST(ImageDecoding, AcceptsCompleteImagesOfSensibleSizeOnly)
{
    const QByteArray png = test::pngBytes(Qt::red);
    EXPECT_FALSE(ImageCache::decodeImage(png).isNull());
    EXPECT_TRUE(ImageCache::decodeImage(png.left(png.size() / 2)).isNull());
    EXPECT_TRUE(ImageCache::decodeImage(test::hugePngBytes()).isNull());
    EXPECT_TRUE(ImageCache::decodeImage("GIF89a").isNull());
    EXPECT_TRUE(ImageCache::decodeImage({}).isNull());
    EXPECT_EQ(appPlaceholderImage().size(), QSize(512, 512));
}
