#include "controls/DarkStyle.h"

#include "controls/KeyboardFocus.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QToolTip>

namespace tanvill {

namespace {

// Fusion with overlay scroll bars: a thin knob over the content while it scrolls or the
// pointer is on it, and no track taking room from the rows.
class DarkStyle : public QProxyStyle
{
public:
    DarkStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) { }

    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ScrollBar_Transient)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

    // Fusion marks a menu-bar title only while its menu is open. When the bar holds the keyboard
    // with every menu closed (after Escape in a menu, or Alt alone), the title the keys work on
    // wears the focus ring, and Escape gives the keyboard back to the window.
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_MenuBarItem || !widget || !widget->hasFocus()
            || (option->state & (State_Selected | State_Sunken)) != State_Selected)
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(focusRingColor(), 2.0));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(1.0, 1.0, -1.0, -1.0), 4.0, 4.0);
        painter->restore();
    }

    // Fusion draws check boxes in the base colour with a faint outline, which all but vanishes
    // on a dark window: an outlined box, filled with the accent colour when checked.
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        // The focus ring marks the focused control; Fusion's own marks would double it.
        if (element == PE_FrameFocusRect)
            return;
        if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
            button && element == PE_PanelButtonCommand && (option->state & State_HasFocus)) {
            QStyleOptionButton unfocused(*button);
            unfocused.state &= ~State_HasFocus;
            return QProxyStyle::drawPrimitive(element, &unfocused, painter, widget);
        }
        if (element != PE_IndicatorCheckBox)
            return QProxyStyle::drawPrimitive(element, option, painter, widget);
        const bool enabled = option->state & State_Enabled;
        const bool on = option->state & (State_On | State_NoChange);
        const QRectF box = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        // Unchecked: the field colour of the widget's own palette with an outline part way to
        // its text colour, so that a box reads on a light card as on a dark window.
        const QColor base = option->palette.color(QPalette::Base);
        const QColor text = option->palette.color(QPalette::Text);
        QColor fill = on ? option->palette.color(QPalette::Active, QPalette::Highlight) : base;
        QColor border = on
            ? fill.lighter(115)
            : QColor::fromRgbF(base.redF() + (text.redF() - base.redF()) * 0.45f,
                               base.greenF() + (text.greenF() - base.greenF()) * 0.45f,
                               base.blueF() + (text.blueF() - base.blueF()) * 0.45f);
        if (!enabled) {
            fill.setAlphaF(on ? 0.45f : 0.6f);
            border.setAlphaF(0.45f);
        } else if (option->state & State_Sunken) {
            fill = fill.lighter(125);
        }
        painter->setPen(QPen(border, 1.0));
        painter->setBrush(fill);
        painter->drawRoundedRect(box, 3, 3);
        if (option->state & State_NoChange) {
            painter->setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
            painter->drawLine(QPointF(box.left() + 3, box.center().y()),
                              QPointF(box.right() - 3, box.center().y()));
        } else if (on) {
            QPainterPath mark;
            mark.moveTo(box.left() + box.width() * 0.24, box.top() + box.height() * 0.52);
            mark.lineTo(box.left() + box.width() * 0.43, box.top() + box.height() * 0.72);
            mark.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.30);
            painter->setPen(QPen(enabled ? Qt::white : QColor(255, 255, 255, 140), 1.7,
                                 Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter->setBrush(Qt::NoBrush);
            painter->drawPath(mark);
        }
        painter->restore();
    }
};

} // namespace

QPalette darkPalette()
{
    const QColor window(0x26, 0x26, 0x28);
    const QColor base(0x1e, 0x1e, 0x1f);
    const QColor text(0xee, 0xee, 0xee);
    const QColor dimmed(0x80, 0x80, 0x84);
    const QColor button(0x3a, 0x3a, 0x3c);
    const QColor accent(0x2f, 0x6f, 0xd6);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, button);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, button.lighter(140));
    palette.setColor(QPalette::Midlight, button.lighter(120));
    palette.setColor(QPalette::Mid, window.darker(120));
    palette.setColor(QPalette::Dark, base.darker(130));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, accent);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x4e, 0xa1, 0xff));
    palette.setColor(QPalette::LinkVisited, QColor(0xa3, 0x8b, 0xff));
    palette.setColor(QPalette::ToolTipBase, button);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    for (const auto role : { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        palette.setColor(QPalette::Disabled, role, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, button);
    return palette;
}

void applyDarkStyle(QApplication &application)
{
    // The style first: setting a style puts the palette back to the style's own.
    QApplication::setStyle(new DarkStyle);
    QApplication::setPalette(darkPalette());
    QToolTip::setPalette(darkPalette());
    installKeyboardFocus(application);
}

} // namespace tanvill
