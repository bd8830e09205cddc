#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace tanvill {

// An image button whose image takes a tint while the mouse is over it in the active window.
// The action buttons of application rows are hover buttons, tinted with the light colour of
// the selected list's theme by the row that owns them; the detail window tells them apart
// from other buttons by this class.
class HoverButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HoverButton(QWidget *parent = nullptr);

    // The untinted image.
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);

    // The image as drawn now: tinted while hovered, the untinted one otherwise.
    QPixmap displayedImage() const;
    bool isTinted() const { return m_tinted; }

    // The colour of the hovered image; the light colour of the first theme until set.
    QColor tint() const { return m_tint; }
    void setTint(const QColor &tint);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap m_image;
    QPixmap m_tintedImage;
    QColor m_tint;
    bool m_tinted = false;
};

} // namespace tanvill
