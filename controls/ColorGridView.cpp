#include "controls/ColorGridView.h"

#include "controls/ColorWell.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tanvill {

ColorGridView::ColorGridView(QWidget *parent) : QWidget(parent) { }

ColorWell *ColorGridView::colorWell() const
{
    return m_colorWell;
}

void ColorGridView::setColorWell(ColorWell *well)
{
    m_colorWell = well;
    updateCells();
}

void ColorGridView::setArrowPosition(qreal position)
{
    m_arrowPosition = position;
    updateCells();
}

void ColorGridView::setNeedsDisplay()
{
    updateCells();
}

QRect ColorGridView::cellFrame(IndexPath indexPath)
{
    return QRect(kLeft + int(indexPath.column) * (kCellWidth + kSpacing),
                 kTop + int(indexPath.row) * (kCellHeight + kSpacing), kCellWidth, kCellHeight);
}

std::pair<unsigned, unsigned> ColorGridView::columnsAndRows() const
{
    if (!m_colorWell || !m_colorWell->dataSource())
        return { 0, 0 };
    ColorWellDataSource *source = m_colorWell->dataSource();
    return { source->numberOfColumnsInColorWell(m_colorWell),
             source->numberOfRowsInColorWell(m_colorWell) };
}

void ColorGridView::updateCells()
{
    update();
    if (!m_colorWell || !m_colorWell->dataSource())
        return;
    ColorWellDataSource *source = m_colorWell->dataSource();
    const auto [columns, rows] = columnsAndRows();
    m_cells.clear();
    for (unsigned column = 0; column < columns; ++column) {
        for (unsigned row = 0; row < rows; ++row) {
            const IndexPath path { column, row };
            const std::optional<QColor> color = source->colorAt(m_colorWell, path);
            if (!color)
                continue;
            m_cells.push_back({ path, *color, m_selectedIndexPath == path });
        }
    }
}

void ColorGridView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A grid coming on screen shows the data source's colours as they are now.
    updateCells();
}

QSize ColorGridView::sizeHint() const
{
    const auto [columns, rows] = columnsAndRows();
    const int lastColumn = columns > 0 ? int(columns) - 1 : 0;
    const int lastRow = rows > 0 ? int(rows) - 1 : 0;
    return QSize(kLeft + kCellWidth + kRight + lastColumn * (kCellWidth + kSpacing),
                 kTop + kCellHeight + kBottom + lastRow * (kCellHeight + kSpacing));
}

std::optional<IndexPath> ColorGridView::indexPathAtPoint(QPointF point) const
{
    const auto [columns, rows] = columnsAndRows();
    for (unsigned column = 0; column < columns; ++column) {
        for (unsigned row = 0; row < rows; ++row) {
            const QRectF frame = cellFrame({ column, row });
            if (point.x() >= frame.left() && point.x() < frame.left() + frame.width()
                && point.y() >= frame.top() && point.y() < frame.top() + frame.height())
                return IndexPath { column, row };
        }
    }
    return std::nullopt;
}

// Only the primary button chooses a swatch; the others pass the event on.
void ColorGridView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    m_selectedIndexPath.reset();
    if (const auto hit = indexPathAtPoint(event->position())) {
        m_selectedIndexPath = hit;
        updateCells();
    }
}

void ColorGridView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_selectedIndexPath || !m_colorWell || !m_colorWell->dataSource())
        return;
    // Letting go over another swatch, or off the swatches, cancels the choice.
    const auto hit = indexPathAtPoint(event->position());
    if (!hit || *hit != *m_selectedIndexPath)
        return;
    if (m_colorWell->dataSource()->colorAt(m_colorWell, *hit))
        m_colorWell->setSelectedIndexPath(*hit);
}

void ColorGridView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal edge = kTop * 0.5;
    const qreal right = width() + 1;
    const qreal bottom = height();
    QPainterPath background(QPointF(-1, edge));
    if (m_arrowPosition >= 0) {
        background.lineTo(m_arrowPosition - kArrowHalfWidth, edge);
        background.lineTo(m_arrowPosition, 0);
        background.lineTo(m_arrowPosition + kArrowHalfWidth, edge);
    }
    background.lineTo(right, edge);
    background.lineTo(right, bottom);
    background.lineTo(-1, bottom);
    background.closeSubpath();
    painter.fillPath(background, QColor::fromRgbF(0, 0, 0, 0.2f));
    painter.strokePath(background, QPen(QColor::fromRgbF(0.66f, 0.66f, 0.66f, 0.33f), 1.0));

    for (const Cell &cell : m_cells) {
        const qreal borderWidth = cell.selected ? 2.0 : 1.0;
        const QRectF frame
            = QRectF(cellFrame(cell.indexPath))
                  .adjusted(borderWidth / 2, borderWidth / 2, -borderWidth / 2, -borderWidth / 2);
        QPainterPath swatch;
        swatch.addRoundedRect(frame, ColorWell::kCornerRadius, ColorWell::kCornerRadius);
        painter.fillPath(swatch, cell.color);
        painter.strokePath(
            swatch,
            QPen(cell.selected ? QColor(Qt::white) : QColor::fromRgbF(1, 1, 1, 0.33f),
                 borderWidth));
    }
}

} // namespace tanvill
