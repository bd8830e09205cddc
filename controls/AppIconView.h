#pragma once

#include "core/AppKind.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <optional>

namespace tanvill {

// An application icon scaled to fit, with the rounded corners of its platform: square for
// Mac applications, 27.5 % of the view's width for iPhone and iPad ones. Application rows,
// search results and detail windows show icons with it.
class AppIconView : public QWidget
{
    Q_OBJECT
public:
    explicit AppIconView(QWidget *parent = nullptr);

    QImage image() const { return m_image; }
    void setImage(const QPixmap &image);
    // The image is held as given, shared with the image cache rather than copied. Views
    // given the same image (the shared placeholder) share its scaled, rounded picture.
    void setImage(const QImage &image);

    std::optional<AppKind> appKind() const { return m_appKind; }
    // Rounds the corners for the platform; none keeps the rounding there was. The radius
    // follows the view's width, so an icon configured before it is laid out comes out right.
    void setAppKind(std::optional<AppKind> kind);

    qreal cornerRadius() const { return width() * m_cornerRadiusFraction; }

    static constexpr qreal kCornerRadiusFraction = 0.275;

    QSize sizeHint() const override { return QSize(60, 60); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPixmap rendered();

    QImage m_image;
    // The image as painted (scaled, corners rounded), made again only when something changes:
    // smooth scaling on every paint would cost every row of a scrolling table.
    QPixmap m_rendered;
    std::optional<AppKind> m_appKind;
    qreal m_cornerRadiusFraction = 0.0;
};

} // namespace tanvill
