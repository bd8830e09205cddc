#include "controls/BorderedButton.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tanvill {

namespace {
constexpr int kTitlePadding = 20;
} // namespace

BorderedButton::BorderedButton(QWidget *parent) : QAbstractButton(parent)
{
    QFont titleFont = font();
    titleFont.setPixelSize(kDefaultPixelSize);
    setFont(titleFont);
    connect(this, &QAbstractButton::pressed, this, &BorderedButton::updateAppearance);
    connect(this, &QAbstractButton::released, this, &BorderedButton::updateAppearance);
    updateAppearance();
}

void BorderedButton::setTintColor(const QColor &color)
{
    m_tintColor = color;
    updateAppearance();
}

void BorderedButton::setAlternateTintColor(const QColor &color)
{
    m_alternateTintColor = color;
    updateAppearance();
}

void BorderedButton::setWidthConstraint(int width)
{
    m_widthConstraint = width;
    if (width < 0) {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
    }
    updateAppearance();
}

void BorderedButton::setTitle(const QString &title)
{
    setText(title);
    updateAppearance();
}

int BorderedButton::titleWidth() const
{
    return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(text()))) + kTitlePadding;
}

QSize BorderedButton::sizeHint() const
{
    const int width = m_widthConstraint >= 0 ? m_widthConstraint : titleWidth();
    return QSize(width, QFontMetrics(font()).height() + 8);
}

void BorderedButton::updateColors()
{
    if (isDown()) {
        // The border keeps the colour of the state before the press.
        m_backgroundColor = m_tintColor;
        m_titleColor = m_alternateTintColor;
    } else if (isEnabled()) {
        m_backgroundColor = Qt::transparent;
        m_borderColor = m_tintColor;
        m_titleColor = m_tintColor;
    } else {
        const QColor disabled = palette().color(QPalette::Disabled, QPalette::ButtonText);
        m_backgroundColor = Qt::transparent;
        m_borderColor = disabled;
        m_titleColor = disabled;
    }
}

void BorderedButton::updateAppearance()
{
    updateColors();
    if (m_widthConstraint >= 0) {
        m_widthConstraint = std::max(m_widthConstraint, titleWidth());
        setFixedWidth(m_widthConstraint);
    }
    updateGeometry();
    update();
}

void BorderedButton::changeEvent(QEvent *event)
{
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange)
        updateAppearance();
}

void BorderedButton::paintEvent(QPaintEvent *)
{
    // The pressed look may also be set from code (setDown), which sends no signal.
    updateColors();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                         kCornerRadius);
    painter.fillPath(shape, m_backgroundColor);
    painter.setPen(QPen(m_borderColor, 1.0));
    painter.drawPath(shape);
    painter.setPen(m_titleColor);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace tanvill
