#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tanvill {

// A borderless button with a large title whose rounded background lights up faintly under
// the mouse and more while pressed. The list header page shows the list's name with it.
class ImplicitButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ImplicitButton(QWidget *parent = nullptr);

    // Colour of the title and, faded, of the background; white until set.
    QColor tintColor() const { return m_tintColor; }
    void setTintColor(const QColor &color);

    bool isMouseOver() const { return m_mouseOver; }
    // The background as drawn now: clear, hovered or pressed.
    QColor backgroundColor() const;

    static constexpr qreal kCornerRadius = 6.0;
    static constexpr int kTitlePixelSize = 20;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QColor m_tintColor = Qt::white;
    bool m_mouseOver = false;
};

} // namespace tanvill
