#include "store/widgets/ImageViewBinding.h"

#include "platform/MainQueue.h"
#include "store/ImageCache.h"

#include <QLabel>
#include <QMetaProperty>
#include <QPixmap>
#include <QPointer>
#include <QVariant>

namespace tanvill {

namespace {

// Kept on the view itself, so the binding needs no table of views that could outlive them.
constexpr const char kWantedUrlProperty[] = "_tanvill_wantedImageUrl";
constexpr double kPlaceholderDelaySeconds = 0.01;

void showByProperty(QWidget *view, const QImage &image)
{
    if (auto *label = qobject_cast<QLabel *>(view)) {
        label->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
        return;
    }
    const QMetaObject *meta = view->metaObject();
    const int imageIndex = meta->indexOfProperty("image");
    if (imageIndex >= 0 && meta->property(imageIndex).metaType() == QMetaType::fromType<QImage>()) {
        view->setProperty("image", image);
        return;
    }
    const int pixmapIndex = meta->indexOfProperty("pixmap");
    if (pixmapIndex >= 0
        && meta->property(pixmapIndex).metaType() == QMetaType::fromType<QPixmap>()) {
        view->setProperty("pixmap", image.isNull() ? QPixmap() : QPixmap::fromImage(image));
        return;
    }
    qWarning("setImageUrl: %s shows no image", meta->className());
}

bool showsByProperty(const QWidget *view)
{
    if (const auto *label = qobject_cast<const QLabel *>(view))
        return !label->pixmap().isNull();
    const QVariant image = view->property("image");
    if (image.metaType() == QMetaType::fromType<QImage>())
        return !image.value<QImage>().isNull();
    const QVariant pixmap = view->property("pixmap");
    if (pixmap.metaType() == QMetaType::fromType<QPixmap>())
        return !pixmap.value<QPixmap>().isNull();
    return false;
}

} // namespace

QString wantedImageUrl(const QWidget *view)
{
    return view ? view->property(kWantedUrlProperty).toString() : QString();
}

ImageViewAccess propertyImageViewAccess()
{
    return { &showByProperty, &showsByProperty };
}

void setImageUrl(QWidget *view, const QString &url, const ImageViewAccess &access,
                 const QImage &placeholder, std::function<void()> completionHandler)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (!view)
        return;
    const QString previous = wantedImageUrl(view);
    view->setProperty(kWantedUrlProperty, url);
    const QPointer<QWidget> weakView(view);
    ImageCache &cache = ImageCache::shared();

    const QImage inMemory = cache.cachedImage(url);
    if (!inMemory.isNull()) {
        access.show(view, inMemory);
        if (completionHandler) {
            MainQueue::async([weakView, url, handler = std::move(completionHandler)] {
                if (weakView && wantedImageUrl(weakView) == url)
                    handler();
            });
        }
        return;
    }
    // Another link's image must not stand in for this one while it loads.
    if (previous != url && access.showsImage(view))
        access.show(view, placeholder);
    if (!placeholder.isNull() && !access.showsImage(view)) {
        // An empty view waits a moment first, so that an image read from disk replaces
        // nothing instead of following a placeholder flash.
        delay(kPlaceholderDelaySeconds,
              [weakView, show = access.show, showsImage = access.showsImage, placeholder] {
                  if (weakView && !showsImage(weakView))
                      show(weakView, placeholder);
              });
    }

    cache.imageForUrl(url,
                      [weakView, show = access.show, handler = std::move(completionHandler)](
                          const QString &answered, const QImage &image) {
                          if (!weakView || wantedImageUrl(weakView) != answered)
                              return;
                          show(weakView, image);
                          if (handler)
                              handler();
                      });
}

} // namespace tanvill
