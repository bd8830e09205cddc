#pragma once

#include <QColor>
#include <QWidget>

namespace tanvill {

// A view filled with one colour; the list header page paints its theme colour with it and
// the main window's bottom bar builds on it.
class ColoredView : public QWidget
{
    Q_OBJECT
public:
    explicit ColoredView(QWidget *parent = nullptr);

    // The window background colour until set.
    QColor color() const { return m_color; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

} // namespace tanvill
