#include "sharing/SharingHelpPopover.h"

#include "platform/Strings.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace tanvill {

namespace {
const QColor kFill(0xf7, 0xf7, 0xf7);
const QColor kBorder(0, 0, 0, 60);
const QColor kText(0x1e, 0x1e, 0x1e);
constexpr int kRadius = 8;
// Around the texts, besides the arrow.
constexpr QMargins kMargins(16, 14, 16, 16);
} // namespace

SharingHelpPopover::SharingHelpPopover(QWidget *parent)
    // A tool tip's window rather than a popup's: it is shown without taking the keyboard or
    // the pointer from the window beneath.
    : QFrame(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_title(new QLabel(Strings::localized(QStringLiteral("ShareSheetHelpTitle")), this)),
      m_text(new QLabel(Strings::localized(QStringLiteral("ShareSheetHelpText")), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, kText);
    setPalette(colours);

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(14);
    m_title->setFont(titleFont);
    QFont textFont = m_text->font();
    textFont.setPixelSize(13);
    m_text->setFont(textFont);
    for (QLabel *label : { m_title, m_text })
        label->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargins + QMargins(0, kArrowHeight, 0, 0));
    layout->setSpacing(8);
    layout->addWidget(m_title);
    layout->addWidget(m_text);
    setFixedWidth(kWidth);
    setFixedHeight(heightForWidth(kWidth) > 0 ? heightForWidth(kWidth) : sizeHint().height());
    m_bodySize = size() - QSize(0, kArrowHeight);
}

PopoverShape SharingHelpPopover::shape() const
{
    return { kRadius, kArrowHeight, kArrowHeight, m_arrowEdge };
}

bool SharingHelpPopover::showBeside(QWidget *anchor, const QList<QWidget *> &explained,
                                    bool onlyWhereClear)
{
    m_anchor = anchor;
    m_explained.clear();
    for (QWidget *control : explained)
        m_explained.append(control);
    if (!place() && onlyWhereClear)
        return false;
    qApp->installEventFilter(this);
    show();
    return true;
}

bool SharingHelpPopover::place()
{
    const auto globalRect = [](const QWidget *widget) {
        return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    };
    // What the note tells about, and what the user types into, stay in sight.
    QRegion keepClear;
    for (const QPointer<QWidget> &control : std::as_const(m_explained)) {
        if (control && control->isVisible())
            keepClear += globalRect(control);
    }
    const QWidget *focus = m_anchor->window()->focusWidget();
    const QRect typedIn = focus && focus != m_anchor && !focus->isAncestorOf(m_anchor)
        ? globalRect(focus)
        : QRect();
    keepClear += typedIn;
    const QRect available = m_anchor->screen() ? m_anchor->screen()->availableGeometry() : QRect();
    const PopoverShape::Placement placement
        = shape().placeBeside(globalRect(m_anchor), m_bodySize, keepClear, available, typedIn);
    m_arrowX = placement.arrowX;
    m_arrowEdge = placement.arrowEdge;
    using Edge = PopoverShape::ArrowEdge;
    const auto arrowOn = [this](Edge edge) {
        return m_arrowEdge == edge ? kArrowHeight : 0;
    };
    layout()->setContentsMargins(kMargins
                                 + QMargins(arrowOn(Edge::Left), arrowOn(Edge::Top),
                                            arrowOn(Edge::Right), arrowOn(Edge::Bottom)));
    setFixedSize(shape().frameSize(m_bodySize, m_arrowEdge));
    move(placement.origin);
    shape().shapeWindow(*this, m_arrowX);
    update();
    return placement.clear;
}

bool SharingHelpPopover::eventFilter(QObject *watched, QEvent *event)
{
    // Closes as a popup would, but lets every event go on where it was going: the click that
    // closes the note also reaches what was clicked.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress: {
        auto *widget = qobject_cast<QWidget *>(watched);
        // The anchor toggles the note itself.
        if (widget && widget != this && !isAncestorOf(widget) && widget != m_anchor)
            close();
        break;
    }
    case QEvent::KeyPress: {
        // Escape in the sheet that opened the note closes the note and nothing else; other
        // windows, and the menu bar of the sheet's own, keep their keys.
        auto *widget = qobject_cast<QWidget *>(watched);
        const QWidget *owner = parentWidget();
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && widget && owner
            && (widget == owner || owner->isAncestorOf(widget))) {
            close();
            return true;
        }
        break;
    }
    case QEvent::FocusIn: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && m_anchor && widget->window() == m_anchor->window())
            place();
        break;
    }
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
        // Left behind by its window, the note would point at nothing.
        if (m_anchor && watched == m_anchor->window())
            close();
        break;
    case QEvent::ApplicationDeactivate:
        close();
        break;
    default:
        break;
    }
    return QFrame::eventFilter(watched, event);
}

void SharingHelpPopover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    shape().paint(painter, *this, m_arrowX, kFill, kBorder);
}

} // namespace tanvill
