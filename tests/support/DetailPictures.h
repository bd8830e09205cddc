#pragma once

// Pictures for the detail window's tests and benchmark, served by a FakeHttpServer: screenshots
// of any size at "/shot/<width>/<height>/<n>.png" and application icons at "/icon/<n>.png",
// each a small drawing in a colour picked by n, so that renders look like an application's.
// Header only; the pictures are drawn on the server's thread (QImage only, no text).

#include "core/App.h"
#include "core/Screenshot.h"
#include "store/ImageCache.h"
#include "support/FakeHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/TestImages.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QSize>
#include <QString>
#include <QStringList>

namespace tanvill::test {

inline QColor pictureColor(int n)
{
    static const QColor colors[]
        = { QColor(0x2f, 0x80, 0xed), QColor(0xeb, 0x57, 0x57), QColor(0x27, 0xae, 0x60),
            QColor(0xf2, 0x99, 0x4a), QColor(0x9b, 0x51, 0xe0), QColor(0x56, 0xcc, 0xf2) };
    return colors[((n % 6) + 6) % 6];
}

// A screen of an application: a coloured bar, cards and a tab strip.
inline QImage screenshotPicture(QSize size, int n)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 0, size.height());
    background.setColorAt(0, QColor(0xf7, 0xf7, 0xf9));
    background.setColorAt(1, QColor(0xe4, 0xe6, 0xeb));
    painter.fillRect(image.rect(), background);
    const QColor accent = pictureColor(n);
    const int unit = std::max(4, std::min(size.width(), size.height()) / 12);
    painter.fillRect(0, 0, size.width(), unit * 2, accent);
    painter.setPen(Qt::NoPen);
    for (int row = 0; row < 4; ++row) {
        const QRectF card(unit, unit * (3 + row * 3.2), size.width() - 2 * unit, unit * 2.6);
        if (card.bottom() > size.height() - unit * 2)
            break;
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(card, unit / 2.0, unit / 2.0);
        painter.setBrush(accent.lighter(120 + row * 15));
        painter.drawEllipse(
            QRectF(card.left() + unit * 0.4, card.top() + unit * 0.4, unit * 1.8, unit * 1.8));
        painter.setBrush(QColor(0xc8, 0xcb, 0xd2));
        painter.drawRoundedRect(QRectF(card.left() + unit * 2.6, card.top() + unit * 0.7,
                                       card.width() * 0.5, unit * 0.5),
                                2, 2);
    }
    painter.fillRect(QRectF(0, size.height() - unit * 1.6, size.width(), unit * 1.6),
                     QColor(0xff, 0xff, 0xff));
    return image;
}

// An application icon: a rounded gradient square with a white mark.
inline QImage iconPicture(int n, int side = 256)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, side, side);
    fill.setColorAt(0, pictureColor(n).lighter(130));
    fill.setColorAt(1, pictureColor(n).darker(120));
    painter.fillRect(image.rect(), fill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 230));
    painter.drawEllipse(QRectF(side * 0.28, side * 0.28, side * 0.44, side * 0.44));
    painter.setBrush(pictureColor(n));
    painter.drawEllipse(QRectF(side * 0.4, side * 0.4, side * 0.2, side * 0.2));
    return image;
}

// Answers the picture paths above; everything else is a 404.
inline void servePictures(FakeHttpServer &server)
{
    server.setFallbackHandler([](const FakeRequest &request) {
        const QStringList parts = request.path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.size() == 4 && parts[0] == QLatin1String("shot")) {
            const QSize size(parts[1].toInt(), parts[2].toInt());
            if (size.width() > 0 && size.height() > 0 && size.width() <= 4000
                && size.height() <= 4000)
                return FakeResponse::bytes(pngOf(screenshotPicture(size, parts[3].toInt())),
                                           "image/png");
        }
        if (parts.size() == 2 && parts[0] == QLatin1String("icon"))
            return FakeResponse::bytes(pngOf(iconPicture(parts[1].toInt())), "image/png");
        return FakeResponse::withStatus(404);
    });
}

inline QString screenshotUrl(const FakeHttpServer &server, QSize size, int n)
{
    return server
        .url(QStringLiteral("/shot/%1/%2/%3.png").arg(size.width()).arg(size.height()).arg(n))
        .toString();
}

inline QString iconUrl(const FakeHttpServer &server, int n)
{
    return server.url(QStringLiteral("/icon/%1.png").arg(n)).toString();
}

// Loads every picture of the application (icon and screenshots) into the image cache's
// memory; false when not all of them answered within the time.
inline bool warmPictures(ImageCache &cache, const App *app, int timeoutMs)
{
    QStringList urls { app->iconUrl() };
    for (const Screenshot *shot : app->screenshots())
        urls << shot->url();
    int answered = 0;
    for (const QString &url : urls)
        cache.imageForUrl(url, [&](const QString &, const QImage &) { ++answered; });
    return waitFor([&] { return answered == urls.size(); }, timeoutMs);
}

} // namespace tanvill::test
