#include "lists/SearchResultCell.h"

#include "controls/AppIconView.h"
#include "controls/BorderedButton.h"
#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "controls/RatingView.h"

#include <QPainter>

#include <algorithm>

namespace tanvill {

namespace {
constexpr int kMargin = 15;
constexpr int kIconSide = 50;
constexpr int kGap = 12;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 28;
constexpr int kNameHeight = 20;
constexpr int kRatingHeight = 14;
const QColor kSeparator(0x33, 0x33, 0x36);
} // namespace

SearchResultCell::SearchResultCell(Layout layout, QWidget *parent)
    : TableRowView(parent), m_iconView(new AppIconView(this)), m_nameLabel(new Label(this)),
      m_addButton(new BorderedButton(this))
{
    setIdentifier(layout == Layout::Rating ? kRatingIdentifier : kNoRatingIdentifier);
    QFont nameFont = m_nameLabel->font();
    nameFont.setPixelSize(15);
    m_nameLabel->setFont(nameFont);
    QPalette namePalette = m_nameLabel->palette();
    namePalette.setColor(QPalette::WindowText, Qt::white);
    m_nameLabel->setPalette(namePalette);

    QFont buttonFont = m_addButton->font();
    buttonFont.setPixelSize(13);
    m_addButton->setFont(buttonFont);
    m_addButton->setWidthConstraint(kButtonWidth);
    m_addButton->setFixedHeight(kButtonHeight);
    // The results table leads Tab from row to row; the window's own order would take the
    // buttons in the order their rows were made.
    m_addButton->setFocusPolicy(Qt::ClickFocus);
    setShowsFocusRing(m_addButton, true);

    if (layout == Layout::Rating)
        m_ratingView = new RatingView(this);
}

void SearchResultCell::resizeEvent(QResizeEvent *event)
{
    TableRowView::resizeEvent(event);
    const int middle = height() / 2;
    m_iconView->setGeometry(kMargin, middle - kIconSide / 2, kIconSide, kIconSide);
    const int buttonWidth = m_addButton->width();
    m_addButton->move(width() - kMargin - buttonWidth, middle - kButtonHeight / 2);
    const int textLeft = kMargin + kIconSide + kGap;
    const int textWidth = std::max(0, m_addButton->x() - kGap - textLeft);
    if (m_ratingView) {
        const int top = middle - (kNameHeight + 4 + kRatingHeight) / 2;
        m_nameLabel->setGeometry(textLeft, top, textWidth, kNameHeight);
        m_ratingView->setGeometry(textLeft, top + kNameHeight + 4,
                                  std::min(textWidth, kRatingHeight * 5), kRatingHeight);
    } else {
        m_nameLabel->setGeometry(textLeft, middle - kNameHeight / 2, textWidth, kNameHeight);
    }
}

void SearchResultCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(QRect(kMargin, height() - 1, width() - kMargin, 1), kSeparator);
}

} // namespace tanvill
