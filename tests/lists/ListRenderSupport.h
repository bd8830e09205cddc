#pragma once

// Helpers of the list window renders: made-up application icons put in the image cache before
// a window asks for them, and a window written to PNG with an open menu drawn where it stands.

#include "core/App.h"
#include "store/ImageCache.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace tanvill::test {

// A made-up application icon: a coloured gradient with the name's first letter.
inline QByteArray letterIcon(const QString &name, int hue)
{
    QImage image(128, 128, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, 128);
    gradient.setColorAt(0, QColor::fromHsv(hue, 150, 250));
    gradient.setColorAt(1, QColor::fromHsv((hue + 30) % 360, 210, 190));
    painter.fillRect(image.rect(), gradient);
    QFont font;
    font.setPixelSize(70);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 235));
    painter.drawText(image.rect(), Qt::AlignCenter, name.left(1));
    painter.end();
    return pngOf(image);
}

// Puts a letter icon for each application in the image cache, the first in `hue` and each
// next one `hueStep` further round.
inline void cacheLetterIcons(const std::vector<App *> &apps, int hue, int hueStep)
{
    for (App *app : apps) {
        const QString path = QDir(ImageCache::shared().cacheDirectory())
                                 .filePath(ImageCache::cacheFileName(app->iconUrl()));
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(letterIcon(app->name(), hue));
        hue = (hue + hueStep) % 360;
    }
}

// Waits for the icons and writes the window to <build>/test-output/windows/<name>.png, with
// `overlay` drawn over it where it stands.
inline void saveWindowRender(QWidget *window, const QString &name, QWidget *overlay = nullptr)
{
    ASSERT_TRUE(waitFor([] { return ImageCache::shared().loadingLinkCount() == 0; }, 10000));
    drainEvents();
    QImage image = window->grab().toImage();
    if (overlay) {
        QPainter painter(&image);
        painter.drawImage(window->mapFromGlobal(overlay->mapToGlobal(QPoint(0, 0))),
                          overlay->grab().toImage());
    }
    const QString path = QDir(testOutputDir("windows")).filePath(name + ".png");
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

} // namespace tanvill::test
