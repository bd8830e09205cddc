#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace tanvill {

// One of the small image buttons of a list header page (share, preferences): its image, its
// alternate image while pressed, and a faint image while disabled.
class HeaderButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HeaderButton(QWidget *parent = nullptr);

    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    QPixmap alternateImage() const { return m_alternateImage; }
    void setAlternateImage(const QPixmap &image);

    static constexpr int kSide = 24;
    static constexpr int kImageSide = 20;

    QSize sizeHint() const override { return QSize(kSide, kSide); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    QPixmap m_alternateImage;
};

} // namespace tanvill
