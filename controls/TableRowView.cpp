#include "controls/TableRowView.h"

#include "controls/TableView.h"

namespace tanvill {

TableRowView::TableRowView(QWidget *parent) : QWidget(parent) { }

void TableRowView::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    rowStateChanged();
}

void TableRowView::setFloating(bool floating)
{
    if (m_floating == floating)
        return;
    m_floating = floating;
    rowStateChanged();
}

QPixmap TableRowView::snapshot()
{
    // On the table's colour: a row draws no background of its own.
    const qreal ratio = devicePixelRatioF();
    QPixmap image(size() * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(QPalette::Base));
    render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

TableView *TableRowView::tableView() const
{
    // Rows stand in the table's viewport.
    const QWidget *viewport = parentWidget();
    return qobject_cast<TableView *>(viewport ? viewport->parentWidget() : nullptr);
}

void TableRowView::pointerSettled(bool) { }

void TableRowView::rowStateChanged()
{
    update();
}

} // namespace tanvill
