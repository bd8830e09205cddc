#pragma once

// Binds an image-showing widget to one link through the image cache: the widget shows the
// placeholder while the image loads and takes the image only while it still wants that link.
// Works with QLabel (and its subclasses) and with any widget that has a writable QImage
// property "image" or QPixmap property "pixmap". The icon views of the search results, the
// application rows and the detail windows use it.

#include <QImage>
#include <QString>

#include <functional>

class QWidget;

namespace tanvill {

// Returns at once. The view keeps its image when it already shows this link's image; a view
// whose link changes shows the placeholder (or nothing, without one) at once, unless the new
// image is already in memory. `completionHandler` runs on the UI thread after the image is
// put in the view, and never when the view is gone or wants another link by then. The cache
// never keeps the view alive.
void setImageUrl(QWidget *view, const QString &url, const QImage &placeholder = QImage(),
                 std::function<void()> completionHandler = {});

// The link of the last setImageUrl call on `view`; empty before the first.
QString wantedImageUrl(const QWidget *view);

// Shows `image` in `view` the way the binding does (a null image clears it).
void showImage(QWidget *view, const QImage &image);
// Whether `view` shows an image now.
bool showsImage(const QWidget *view);

} // namespace tanvill
