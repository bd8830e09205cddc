#include "controls/ColorWell.h"

#include "controls/ColorGridView.h"
#include "platform/Strings.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tanvill {

ColorWell::ColorWell(QWidget *parent) : QWidget(parent)
{
    // Reached with Tab; a click works on the grid without taking the focus.
    setFocusPolicy(Qt::TabFocus);
    updateToolTip();
}

ColorWell::~ColorWell()
{
    delete m_colorGridView.data();
}

ColorGridView *ColorWell::colorGridView()
{
    if (!m_colorGridView) {
        m_colorGridView = new ColorGridView;
        m_colorGridView->setColorWell(this);
        m_colorGridView->setSelectedIndexPath(m_selectedIndexPath);
    }
    return m_colorGridView;
}

bool ColorWell::isColorGridShown() const
{
    return m_colorGridView && m_colorGridView->parentWidget() != nullptr;
}

void ColorWell::setColor(const std::optional<QColor> &color)
{
    m_color = color;
    // Without a colour the swatch keeps the one it shows.
    if (color)
        m_swatchColor = *color;
    update();
    emit colorWellDidSelectColor(this);
}

void ColorWell::setSelectedIndexPath(IndexPath indexPath)
{
    m_selectedIndexPath = indexPath;
    if (m_dataSource) {
        if (const std::optional<QColor> chosen = m_dataSource->colorAt(this, indexPath))
            setColor(chosen);
    }
    colorGridView()->setSelectedIndexPath(indexPath);
}

void ColorWell::updateToolTip()
{
    setToolTip(Strings::localized(isColorGridShown() ? QStringLiteral("Click to hide color grid")
                                                     : QStringLiteral("Click to choose a color")));
}

bool ColorWell::event(QEvent *event)
{
    // The grid may be taken off screen by its host too, so the tip is decided when asked.
    if (event->type() == QEvent::ToolTip)
        updateToolTip();
    return QWidget::event(event);
}

void ColorWell::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (window()->isActiveWindow()) {
        m_showMouseOverIndicator = true;
        update();
    }
}

void ColorWell::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_showMouseOverIndicator = false;
    update();
}

// Only the primary button shows or hides the grid; the others pass the event on.
void ColorWell::mousePressEvent(QMouseEvent *event)
{
    // Accepted so that the release comes here; the click acts on release.
    event->setAccepted(event->button() == Qt::LeftButton);
}

void ColorWell::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    toggleColorGrid();
}

void ColorWell::toggleColorGrid()
{
    ColorGridView *grid = colorGridView();
    if (isColorGridShown()) {
        if (m_delegate)
            m_delegate->wantsToDismissColorGrid(this, grid);
        m_indicatorFlipped = false;
    } else {
        m_indexPathWhenGridOpened = m_selectedIndexPath;
        grid->setColorWell(this);
        if (m_delegate)
            m_delegate->wantsToPresentColorGrid(this, grid);
        m_indicatorFlipped = true;
    }
    updateToolTip();
    update();
}

// Space opens and closes the grid; the arrows choose among the colours, as a click on a swatch
// does, and the grid's ring follows them. While the grid is open, Return takes the colour chosen
// and closes the grid, as Space does, and Escape closes it on the colour it opened with;
// otherwise both are left to the sheet.
void ColorWell::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool confirms = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key == Qt::Key_Escape && isColorGridShown()
        && m_selectedIndexPath != m_indexPathWhenGridOpened) {
        setSelectedIndexPath(m_indexPathWhenGridOpened);
        m_colorGridView->setNeedsDisplay();
    }
    if (key == Qt::Key_Space || ((key == Qt::Key_Escape || confirms) && isColorGridShown())) {
        toggleColorGrid();
        return;
    }
    const QPoint step = key == Qt::Key_Left ? QPoint(-1, 0)
        : key == Qt::Key_Right              ? QPoint(1, 0)
        : key == Qt::Key_Up                 ? QPoint(0, -1)
        : key == Qt::Key_Down               ? QPoint(0, 1)
                                            : QPoint();
    if (step.isNull() || !m_dataSource) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (const std::optional<IndexPath> next = neighbour(step)) {
        setSelectedIndexPath(*next);
        // A choice made in code leaves the grid's cells as they were; this one is the user's,
        // made in the grid.
        if (isColorGridShown())
            m_colorGridView->setNeedsDisplay();
    }
}

std::optional<IndexPath> ColorWell::neighbour(QPoint step)
{
    const int columns = int(m_dataSource->numberOfColumnsInColorWell(this));
    const int rows = int(m_dataSource->numberOfRowsInColorWell(this));
    const int column = int(m_selectedIndexPath.column) + step.x();
    const int row = int(m_selectedIndexPath.row) + step.y();
    if (column < 0 || row < 0 || column >= columns || row >= rows)
        return std::nullopt;
    const auto colourAt = [this, row](int at) -> std::optional<IndexPath> {
        const IndexPath path { unsigned(at), unsigned(row) };
        return m_dataSource->colorAt(this, path) ? std::optional(path) : std::nullopt;
    };
    if (const std::optional<IndexPath> path = colourAt(column))
        return path;
    // Left and right stop at a place without a colour; up and down go to the nearest colour
    // of that row, as a shorter row below the first one leaves its last places empty.
    if (step.y() == 0)
        return std::nullopt;
    for (int distance = 1; distance < columns; ++distance) {
        for (const int at : { column - distance, column + distance }) {
            if (at >= 0 && at < columns) {
                if (const std::optional<IndexPath> path = colourAt(at))
                    return path;
            }
        }
    }
    return std::nullopt;
}

void ColorWell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath swatch;
    swatch.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius,
                          kCornerRadius);
    painter.fillPath(swatch, m_swatchColor);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.33f), 1.0));
    painter.drawPath(swatch);

    if (!m_showMouseOverIndicator)
        return;
    const QPointF middle = QRectF(rect()).center();
    QRectF circle(0, 0, kIndicatorSide, kIndicatorSide);
    circle.moveCenter(middle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0.4f, 0.4f, 0.4f, 0.4f));
    painter.drawEllipse(circle);
    // A chevron pointing down while the grid is hidden, up while it is shown.
    const qreal tip = isIndicatorFlipped() ? -1.5 : 1.5;
    const QPointF chevron[]
        = { middle + QPointF(-3, -tip), middle + QPointF(0, tip), middle + QPointF(3, -tip) };
    painter.setPen(QPen(Qt::white, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(chevron, 3);
}

} // namespace tanvill
