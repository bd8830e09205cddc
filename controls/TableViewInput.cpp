// Where rows are, selection, clicks and scrolling, dragging rows out and dropping them between
// rows.
#include "controls/TableView.h"

#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace tanvill {

namespace {

constexpr int kMaxPayloadBytes = 1 << 20;
// Pointer this close to the top or bottom edge during a drag scrolls the table.
constexpr int kAutoScrollEdge = 24;
constexpr int kAutoScrollStep = 12;
// Room between the lowest mark a drop can make near the pointer and the dragged row's picture
// below it: the drop line's pen and the ring at its start.
constexpr int kDragImageClearance = 6;

} // namespace

QByteArray TableRowsPayload::encode() const
{
    QByteArray data = "v1 " + QByteArray::number(context) + ' ';
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (i > 0)
            data += ',';
        data += QByteArray::number(rows[i]);
    }
    return data;
}

std::optional<TableRowsPayload> TableRowsPayload::decode(const QByteArray &data)
{
    if (data.size() > kMaxPayloadBytes)
        return std::nullopt;
    const QList<QByteArray> parts = data.split(' ');
    if (parts.size() != 3 || parts[0] != "v1")
        return std::nullopt;
    TableRowsPayload payload;
    bool ok = false;
    payload.context = parts[1].toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    for (const QByteArray &text : parts[2].split(',')) {
        const int row = text.toInt(&ok);
        if (!ok || row < 0 || (!payload.rows.isEmpty() && row <= payload.rows.last()))
            return std::nullopt;
        payload.rows.append(row);
    }
    // Signs, spaces and leading zeros read as numbers too; only the exact form is taken.
    if (payload.encode() != data)
        return std::nullopt;
    return payload;
}

QRect TableView::rectOfRow(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return {};
    if (const TableRowView *view = rowViewAtRow(row))
        return view->geometry();
    return { 0, rowTop(row) - scrollPosition(), viewport()->width(), rowHeight(row) };
}

int TableView::rowAt(const QPoint &viewportPoint) const
{
    if (const TableRowView *floating = rowViewAtRow(m_floatingRow)) {
        if (floating->geometry().contains(viewportPoint))
            return m_floatingRow;
    }
    const int y = viewportPoint.y() + scrollPosition();
    if (numberOfRows() == 0 || y < m_headerHeight || y >= contentHeight())
        return -1;
    return rowAtContentY(y);
}

int TableView::scrollPosition() const
{
    return verticalScrollBar()->value();
}

void TableView::setScrollPosition(int y)
{
    verticalScrollBar()->setValue(y);
}

void TableView::scrollRowToVisible(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    const int top = rowTop(row), bottom = top + rowHeight(row);
    if (top < scrollPosition())
        setScrollPosition(top);
    else if (bottom > scrollPosition() + viewport()->height())
        setScrollPosition(bottom - viewport()->height());
}

void TableView::flashScrollers()
{
    // The scroll bar shows itself whenever the rows scroll, and fades: a step there and back
    // within one turn of the event loop moves nothing on screen.
    QScrollBar *bar = verticalScrollBar();
    if (bar->maximum() <= bar->minimum())
        return;
    const int value = bar->value();
    bar->setValue(value < bar->maximum() ? value + 1 : value - 1);
    bar->setValue(value);
}

void TableView::setAllowsSelection(bool allows)
{
    m_allowsSelection = allows;
    if (!allows)
        deselectAll();
}

void TableView::selectRow(int row)
{
    if (row >= 0 && row < numberOfRows())
        setSelectedRowInternal(row);
}

void TableView::deselectAll()
{
    setSelectedRowInternal(-1);
}

void TableView::setSelectedRowInternal(int row)
{
    if (row == m_selectedRow)
        return;
    if (TableRowView *old = rowViewAtRow(m_selectedRow))
        old->setSelected(false);
    m_selectedRow = row;
    if (TableRowView *view = rowViewAtRow(row))
        view->setSelected(true);
    if (m_delegate)
        m_delegate->selectionDidChange(this);
}

void TableView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    m_pressPoint = event->position().toPoint();
    m_pressedRow = rowAt(m_pressPoint);
    // The pointer works the table now: the ring waits for the next key.
    showCurrentRow(false);
    event->accept();
}

void TableView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_pressedRow < 0 || !(event->buttons() & Qt::LeftButton)
        || (point - m_pressPoint).manhattanLength() < QApplication::startDragDistance())
        return QAbstractScrollArea::mouseMoveEvent(event);
    const int row = std::exchange(m_pressedRow, -1);
    startDrag(row);
}

void TableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mouseReleaseEvent(event);
    const int pressed = std::exchange(m_pressedRow, -1);
    if (pressed < 0 || rowAt(event->position().toPoint()) != pressed)
        return;
    if (m_allowsSelection && (!m_delegate || m_delegate->shouldSelectRow(this, pressed)))
        selectRow(pressed);
    // The keys go on from the row clicked.
    if (m_keyboardNavigation && !isGroupRow(pressed))
        m_currentRow = pressed;
    if (m_delegate)
        m_delegate->rowClicked(this, pressed);
}

void TableView::startDrag(int row)
{
    if (!m_delegate)
        return;
    auto *data = new QMimeData;
    if (!m_delegate->writeRows(this, { row }, data)) {
        delete data;
        return;
    }
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    if (TableRowView *view = rowViewAtRow(row)) {
        const QPixmap image = view->snapshot();
        if (!image.isNull()) {
            drag->setPixmap(image);
            drag->setHotSpot(dragImageHotSpot(m_pressPoint - view->pos()));
        }
    }
    m_outgoingData = data;
    const QPointer<TableView> self(this);
    if (m_dragRunner) {
        m_dragRunner(drag);
        drag->deleteLater();
    } else {
        drag->exec(Qt::MoveAction); // deletes the drag once it is over
    }
    if (!self)
        return;
    m_outgoingData = nullptr;
    m_autoScrollTimer->stop();
    m_dragOver.reset();
    setDropIndicator(-1, DropOperation::Above);
    // The pointer stood still while rows moved to their new places: the row under it is
    // another one now.
    settlePointer();
    m_settlePointerWhenRested = isAnimating();
}

QPoint TableView::dragImageHotSpot(const QPoint &pointerInRow) const
{
    // The picture keeps the row's left edge where it was, so it reads as the row lifted, and
    // hangs below whatever a drop near the pointer marks: the line in the nearer gap of the row
    // under the pointer is at most half a row away, the outline of a drop on that row at most
    // three quarters of it (the middle half of a row proposes dropping on it). Neither that row
    // nor the line is covered, whichever of the table's rows it is.
    const int tallest
        = m_heights.empty() ? 0 : *std::max_element(m_heights.begin(), m_heights.end());
    const int reach
        = m_dropFeedback == DropFeedback::Gap ? (tallest + 1) / 2 : (tallest * 3 + 3) / 4;
    return { pointerInRow.x(), -(reach + kDragImageClearance) };
}

void TableView::settlePointer()
{
    QWidget *under = QApplication::widgetAt(QCursor::pos());
    for (const auto &[row, view] : m_views) {
        if (view)
            view->pointerSettled(under && (under == view || view->isAncestorOf(under)));
    }
}

std::optional<TableDrop> TableView::proposedDrop(const QDropEvent *event,
                                                 DropFeedback feedback) const
{
    const QMimeData *data = event->mimeData();
    if (!data
        || std::none_of(m_draggedTypes.cbegin(), m_draggedTypes.cend(),
                        [data](const QString &format) { return data->hasFormat(format); }))
        return std::nullopt;
    TableDrop drop;
    drop.data = data;
    drop.fromThisTable = event->source() == this || (m_outgoingData && data == m_outgoingData);
    const int count = numberOfRows();
    const int y = int(event->position().y()) + scrollPosition() - m_headerHeight;
    if (count == 0 || y < 0) {
        drop.row = 0;
    } else if (y >= m_offsets.back()) {
        drop.row = count;
    } else {
        const int row = rowAtContentY(y + m_headerHeight);
        const int height = std::max(1, rowHeight(row));
        const double within = double(y - m_offsets[size_t(row)]) / height;
        if (feedback == DropFeedback::Regular && within >= 0.25 && within < 0.75) {
            drop.row = row;
            drop.operation = DropOperation::On;
        } else {
            drop.row = within < 0.5 ? row : row + 1;
        }
    }
    return drop;
}

Qt::DropAction TableView::validate(const TableDrop &drop)
{
    if ((!drop.fromThisTable && !m_acceptsForeignDrops) || !m_delegate)
        return Qt::IgnoreAction;
    return m_delegate->validateDrop(this, drop);
}

std::optional<TableDrop> TableView::validatedDrop(const QDropEvent *event, Qt::DropAction *action)
{
    *action = Qt::IgnoreAction;
    std::optional<TableDrop> drop = proposedDrop(event, m_dropFeedback);
    if (!drop)
        return drop;
    *action = validate(*drop);
    // A table that takes no drop onto this row (one that only reorders) takes the pointer over
    // the row's middle to mean the gap on that side of it: a drop there lands where the line
    // shows rather than nowhere.
    if (*action == Qt::IgnoreAction && drop->operation == DropOperation::On) {
        drop = proposedDrop(event, DropFeedback::Gap);
        *action = validate(*drop);
    }
    return drop;
}

void TableView::registerForDraggedTypes(const QStringList &formats)
{
    m_draggedTypes = formats;
    viewport()->setAcceptDrops(!formats.isEmpty());
}

void TableView::setDropIndicator(int row, DropOperation operation)
{
    if (row == m_dropRow && operation == m_dropOperation)
        return;
    m_dropRow = row;
    m_dropOperation = operation;
    m_overlay->update();
}

void TableView::autoScroll(const QPoint &viewportPoint)
{
    m_autoScrollStep = 0;
    if (viewportPoint.y() < kAutoScrollEdge)
        m_autoScrollStep = -kAutoScrollStep;
    else if (viewportPoint.y() > viewport()->height() - kAutoScrollEdge)
        m_autoScrollStep = kAutoScrollStep;
    if (m_autoScrollStep == 0)
        m_autoScrollTimer->stop();
    else if (!m_autoScrollTimer->isActive())
        m_autoScrollTimer->start();
}

void TableView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
    // Entering is accepted for every drag of a known format, so that moves over other rows
    // are still heard; whether a drop is allowed is decided move by move.
    if (proposedDrop(event, m_dropFeedback))
        event->accept();
}

void TableView::dragMoveEvent(QDragMoveEvent *event)
{
    Qt::DropAction action = Qt::IgnoreAction;
    const std::optional<TableDrop> drop = validatedDrop(event, &action);
    if (action == Qt::IgnoreAction) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        setDropIndicator(-1, DropOperation::Above);
    } else {
        event->setDropAction(action);
        event->accept();
        setDropIndicator(drop->row, drop->operation);
    }
    if (drop) {
        m_dragOver = DragOver { event->position().toPoint(), event->mimeData(),
                                event->possibleActions(), event->buttons(), event->modifiers() };
        autoScroll(event->position().toPoint());
    } else {
        m_dragOver.reset();
    }
}

void TableView::dragScrolled()
{
    if (!m_dragOver)
        return;
    if (!m_dragOver->data) {
        m_dragOver.reset();
        m_autoScrollTimer->stop();
        setDropIndicator(-1, DropOperation::Above);
        return;
    }
    // The drop a release here would make has moved with the rows: the one now under the
    // pointer, as the next move of the drag would show it.
    const QDragMoveEvent move(m_dragOver->position, m_dragOver->actions, m_dragOver->data,
                              m_dragOver->buttons, m_dragOver->modifiers);
    Qt::DropAction action = Qt::IgnoreAction;
    const std::optional<TableDrop> drop = validatedDrop(&move, &action);
    if (action == Qt::IgnoreAction)
        setDropIndicator(-1, DropOperation::Above);
    else
        setDropIndicator(drop->row, drop->operation);
}

void TableView::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_autoScrollTimer->stop();
    m_dragOver.reset();
    setDropIndicator(-1, DropOperation::Above);
    event->accept();
}

void TableView::dropEvent(QDropEvent *event)
{
    m_autoScrollTimer->stop();
    m_dragOver.reset();
    setDropIndicator(-1, DropOperation::Above);
    Qt::DropAction action = Qt::IgnoreAction;
    const std::optional<TableDrop> drop = validatedDrop(event, &action);
    if (action != Qt::IgnoreAction && m_delegate->acceptDrop(this, *drop)) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
}

} // namespace tanvill
