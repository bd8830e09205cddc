#pragma once

// Binds an image-showing widget to one link through the image cache: the widget shows the
// placeholder while the image loads and takes the image only while it still wants that link.
// Works with QLabel (and its subclasses), with any widget that has a writable QImage property
// "image" or QPixmap property "pixmap", and with any widget class that has image() and
// setImage() taking a QImage or a QPixmap, such as AppIconView. The icon views of the
// search results, the application rows and the detail windows use it.

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

namespace tanvill {

// How the binding puts an image into a kind of view and asks whether it shows one.
struct ImageViewAccess
{
    // A null image clears the view.
    std::function<void(QWidget *, const QImage &)> show;
    std::function<bool(const QWidget *)> showsImage;
};

// Returns at once. The view keeps its image when it already shows this link's image; a view
// that shows another link's image shows the placeholder (or nothing, without one) at once,
// unless the new image is already in memory; an empty view shows the placeholder about 0.01 s
// later unless the image came first. `completionHandler` runs on the UI thread after the image is
// put in the view, and never when the view is gone or wants another link by then. The cache
// never keeps the view alive.
void setImageUrl(QWidget *view, const QString &url, const ImageViewAccess &access,
                 const QImage &placeholder = QImage(),
                 std::function<void()> completionHandler = {});

// QLabel and widgets with an "image" (QImage) or "pixmap" (QPixmap) property.
ImageViewAccess propertyImageViewAccess();

inline void setImageUrl(QWidget *view, const QString &url, const QImage &placeholder = QImage(),
                        std::function<void()> completionHandler = {})
{
    setImageUrl(view, url, propertyImageViewAccess(), placeholder, std::move(completionHandler));
}

// Views with image() and setImage(QImage) or setImage(QPixmap).
template<class View>
requires std::derived_from<View, QWidget> && requires(const View &view)
{
    view.image().isNull();
} &&(
    requires(View &view, const QImage &image) { view.setImage(image); }
    || requires(View & view,
                const QPixmap
                    &pixmap) { view.setImage(pixmap); }) void setImageUrl(View *view,
                                                                          const QString &url,
                                                                          const QImage &placeholder
                                                                          = QImage(),
                                                                          std::function<void()>
                                                                              completionHandler
                                                                          = {})
{
    ImageViewAccess access;
    access.show = [](QWidget *widget, const QImage &image) {
        auto *typed = static_cast<View *>(widget);
        if constexpr (requires { typed->setImage(image); })
            typed->setImage(image);
        else
            typed->setImage(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    };
    access.showsImage = [](const QWidget *widget) {
        return !static_cast<const View *>(widget)->image().isNull();
    };
    setImageUrl(static_cast<QWidget *>(view), url, access, placeholder,
                std::move(completionHandler));
}

// The link of the last setImageUrl call on `view`; empty before the first.
QString wantedImageUrl(const QWidget *view);

} // namespace tanvill
