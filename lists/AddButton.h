#pragma once

#include "controls/LongPressMenuButton.h"

namespace tanvill {

// The main window's add button: a round plus drawn at any angle about its centre, so that it
// can shake while the selected list is empty. A click opens the add field; a long press shows
// its menu.
class AddButton : public LongPressMenuButton
{
    Q_OBJECT
public:
    explicit AddButton(QWidget *parent = nullptr);

    // The angle the glyph is drawn at, in radians, clockwise.
    qreal rotation() const { return m_rotation; }
    void setRotation(qreal radians);

    QSize sizeHint() const override { return QSize(kSide, kSide); }

    static constexpr int kSide = 44;
    static constexpr int kGlyphSide = 28;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    qreal m_rotation = 0.0;
    bool m_hovered = false;
};

} // namespace tanvill
