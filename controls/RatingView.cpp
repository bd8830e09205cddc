#include "controls/RatingView.h"

#include "controls/Images.h"

#include <QPainter>

namespace tanvill {

RatingView::RatingView(QWidget *parent) : QWidget(parent) { }

void RatingView::setRating(float rating)
{
    m_rating = rating;
    update();
}

QStringList RatingView::starImageNames(float rating)
{
    if (!(rating >= 1.0f))
        return {};
    QStringList names;
    for (int star = 1; star <= 5; ++star) {
        if (rating >= float(star))
            names.append(QStringLiteral("star-full"));
        else if (float(star) - rating == 0.5f)
            names.append(QStringLiteral("star-half"));
        else
            names.append(QStringLiteral("star-empty"));
    }
    return names;
}

void RatingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal height = this->height();
    qreal x = 0;
    for (const QString &name : starImageNames(m_rating)) {
        const QSizeF natural = Images::naturalSize(name);
        if (natural.isEmpty())
            continue;
        const qreal width = height / natural.height() * natural.width();
        Images::draw(painter, name, QRectF(x, 0, width, height));
        x += width;
    }
}

} // namespace tanvill
