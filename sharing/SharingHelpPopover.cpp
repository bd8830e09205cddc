#include "sharing/SharingHelpPopover.h"

#include "platform/Strings.h"

#include <QLabel>
#include <QPainter>
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
    : QFrame(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_title(new QLabel(Strings::localized(QStringLiteral("ShareSheetHelpTitle")), this)),
      m_text(new QLabel(Strings::localized(QStringLiteral("ShareSheetHelpText")), this))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
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
}

PopoverShape SharingHelpPopover::shape() const
{
    return { kRadius, kArrowHeight, kArrowHeight, m_arrowEdge };
}

void SharingHelpPopover::showBelow(QWidget *anchor)
{
    // Near the bottom of the screen the note opens above its button, never over it.
    const PopoverShape::Placement placement = shape().placeBelow(*anchor, size(), true);
    m_arrowX = placement.arrowX;
    m_arrowEdge = placement.arrowEdge;
    const bool above = m_arrowEdge == PopoverShape::ArrowEdge::Bottom;
    layout()->setContentsMargins(
        kMargins + QMargins(0, above ? 0 : kArrowHeight, 0, above ? kArrowHeight : 0));
    move(placement.origin);
    shape().shapeWindow(*this, m_arrowX);
    show();
}

void SharingHelpPopover::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    shape().paint(painter, *this, m_arrowX, kFill, kBorder);
}

} // namespace tanvill
