#include "store/widgets/ImageViewBinding.h"
#include "controls/AppIconView.h"
#include "store/ImageCache.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"
#include "support/TestServices.h"

#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QScopeGuard>
#include <QSemaphore>
#include <gtest/gtest.h>

#include <memory>

using namespace tanvill;
using tanvill::test::FakeHttpServer;
using tanvill::test::FakeResponse;

namespace {

// A view that exposes its image only as a property.
class PropertyImageView : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QImage image MEMBER m_image)

public:
    QImage m_image;
};

QColor shownColour(const QLabel &label)
{
    return label.pixmap().toImage().pixelColor(10, 20);
}

bool showsPlaceholder(const QLabel &label)
{
    return label.pixmap().toImage().convertToFormat(QImage::Format_ARGB32)
        == appPlaceholderImage().convertToFormat(QImage::Format_ARGB32);
}

class ImageViewBindingTest : public ::testing::Test
{
protected:
    ImageViewBindingTest()
    {
        server.setRoute("/red.png", FakeResponse::bytes(test::pngBytes(Qt::red), "image/png"));
        server.setRoute("/blue.png",
                        FakeResponse::bytes(test::pngBytes(Qt::blue), "image/png").delayed(50));
        server.setRoute("/slow.png",
                        FakeResponse::bytes(test::pngBytes(Qt::green), "image/png").delayed(300));
        server.setRoute("/missing.png", FakeResponse::withStatus(404));
    }

    QString link(const QString &path) const { return server.url(path).toString(); }

    test::TestServices services { { .listsController = false } };
    FakeHttpServer server;
    const QImage placeholder = appPlaceholderImage();
};

} // namespace

TEST_F(ImageViewBindingTest, ViewsAskingForOneLinkShareOneDownloadAndAllShowIt)
{
    // The image is held back until the placeholder was seen: a UI thread too slow to show
    // the placeholder before a timed answer came would skip it, rightly.
    const auto held = std::make_shared<QSemaphore>();
    const auto letGo = qScopeGuard([held] { held->release(); });
    server.setHandler("/held.png",
                      [held, png = test::pngBytes(Qt::green)](const test::FakeRequest &) {
                          held->tryAcquire(1, 10000);
                          return FakeResponse::bytes(png, "image/png");
                      });
    QLabel first;
    AppIconView painted;
    PropertyImageView byProperty;
    QStringList handled;
    setImageUrl(&first, link("/held.png"), placeholder, [&] { handled << "first"; });
    setImageUrl(&painted, link("/held.png"), placeholder, [&] { handled << "painted"; });
    setImageUrl(&byProperty, link("/held.png"), placeholder, [&] { handled << "property"; });
    // Empty views stay empty for a moment, then show the placeholder until the image comes.
    EXPECT_TRUE(first.pixmap().isNull());
    EXPECT_TRUE(painted.image().isNull());
    EXPECT_TRUE(byProperty.m_image.isNull());
    ASSERT_TRUE(test::waitFor([&] {
        return showsPlaceholder(first) && painted.image() == placeholder
            && byProperty.m_image == placeholder;
    }));
    EXPECT_TRUE(handled.isEmpty());

    held->release();
    ASSERT_TRUE(test::waitFor([&] { return handled.size() == 3; }));
    EXPECT_EQ(handled.join(' '), "first painted property");
    EXPECT_EQ(shownColour(first), QColor(Qt::green));
    EXPECT_EQ(painted.image().pixelColor(10, 20), QColor(Qt::green));
    EXPECT_EQ(byProperty.m_image.pixelColor(10, 20), QColor(Qt::green));
    EXPECT_EQ(server.requestCount("/held.png"), 1);
}

TEST_F(ImageViewBindingTest, AViewShowsOnlyTheLinkItWantsNow)
{
    QLabel view;
    setImageUrl(&view, link("/red.png"), placeholder);
    ASSERT_TRUE(test::waitFor([&] { return shownColour(view) == QColor(Qt::red); }));

    // Another app's icon must not stay while the next one loads.
    bool slowHandled = false;
    setImageUrl(&view, link("/slow.png"), placeholder, [&] { slowHandled = true; });
    EXPECT_TRUE(showsPlaceholder(view));
    bool blueHandled = false;
    setImageUrl(&view, link("/blue.png"), placeholder, [&] { blueHandled = true; });
    ASSERT_TRUE(test::waitFor([&] { return blueHandled; }));
    EXPECT_EQ(shownColour(view), QColor(Qt::blue));

    ASSERT_TRUE(test::waitFor([&] { return ImageCache::shared().loadingLinkCount() == 0; }));
    test::drainEvents();
    EXPECT_FALSE(slowHandled);
    EXPECT_EQ(shownColour(view), QColor(Qt::blue));
    EXPECT_EQ(wantedImageUrl(&view), link("/blue.png"));
}

TEST_F(ImageViewBindingTest, ImagesInMemoryShowAtOnceWithoutAPlaceholderFlash)
{
    QLabel view;
    bool handled = false;
    setImageUrl(&view, link("/red.png"), placeholder, [&] { handled = true; });
    ASSERT_TRUE(test::waitFor([&] { return handled; }));

    QLabel other;
    setImageUrl(&other, link("/red.png"), placeholder);
    EXPECT_EQ(shownColour(other), QColor(Qt::red));
    setImageUrl(&view, link("/red.png"), placeholder);
    EXPECT_EQ(shownColour(view), QColor(Qt::red));
    EXPECT_EQ(server.requestCount("/red.png"), 1);
}

TEST_F(ImageViewBindingTest, FailedLoadsKeepThePlaceholderAndClosedViewsAreLeftAlone)
{
    QLabel view;
    bool handled = false;
    setImageUrl(&view, link("/missing.png"), placeholder, [&] { handled = true; });
    auto closing = std::make_unique<QLabel>();
    setImageUrl(closing.get(), link("/slow.png"), placeholder, [&] { handled = true; });
    closing.reset();

    ASSERT_TRUE(test::waitFor([&] { return ImageCache::shared().loadingLinkCount() == 0; }));
    test::drainEvents();
    EXPECT_FALSE(handled);
    EXPECT_TRUE(showsPlaceholder(view));
    // The closed view's image still went into memory and onto disk.
    EXPECT_FALSE(ImageCache::shared().cachedImage(link("/slow.png")).isNull());
    ImageCache::shared().waitForWrites();
    EXPECT_EQ(QDir(ImageCache::defaultCacheDirectory()).entryList(QDir::Files).size(), 1);
}

#include "ImageViewBindingTest.moc"
