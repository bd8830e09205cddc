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
// Pointer this close to the top or bottom edge during a drag scrolls the table; beyond the edge
// each step grows by half the distance, up to the largest step.
constexpr int kAutoScrollEdge = 24;
constexpr int kAutoScrollStep = 12;
constexpr int kAutoScrollMaxStep = 120;
// Room between the lowest mark a drop can make near the pointer and the dragged row's picture
// below it: the drop line's pen and the ring at its start.
constexpr int kDragImageClearance = 6;

} // namespace

// Sees the button let go during the table's own drag beyond the table, before the platform's drag
// takes the release: a drag that ends without it was called off (Escape).
class TableView::ReleaseWatch : public QObject
{
public:
    bool released = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseButtonRelease
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            released = true;
        return false;
    }
};

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
    m_dragImage = QRect();
    if (TableRowView *view = rowViewAtRow(row)) {
        const QPixmap image = view->snapshot();
        if (!image.isNull()) {
            drag->setPixmap(image);
            drag->setHotSpot(dragImageHotSpot(m_pressPoint - view->pos()));
            m_dragImage = QRect(-drag->hotSpot(), image.deviceIndependentSize().toSize());
        }
    }
    m_outgoingData = data;
    ReleaseWatch releaseWatch;
    m_releaseWatch = &releaseWatch;
    const QPointer<TableView> self(this);
    Qt::DropAction action = Qt::IgnoreAction;
    if (m_dragRunner) {
        action = m_dragRunner(drag);
        drag->deleteLater();
    } else {
        action = drag->exec(Qt::MoveAction); // deletes the drag once control returns
    }
    QCoreApplication::instance()->removeEventFilter(&releaseWatch);
    if (!self)
        return;
    m_releaseWatch = nullptr;
    // Let go beyond the table, the row lands where the line showed it would; a drag called off
    // (Escape) drops nothing.
    if (action == Qt::IgnoreAction && m_dragOver && m_dragOver->beyond && m_dropRow >= 0
        && m_outgoingData && releaseWatch.released) {
        const TableDrop drop { m_outgoingData, true, m_dropRow, m_dropOperation };
        if (validate(drop) != Qt::IgnoreAction)
            m_delegate->acceptDrop(this, drop);
    }
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
    return { pointerInRow.x(), -(dropMarkReach() + kDragImageClearance) };
}

int TableView::dropMarkReach() const
{
    const int tallest
        = m_heights.empty() ? 0 : *std::max_element(m_heights.begin(), m_heights.end());
    return m_dropFeedback == DropFeedback::Gap ? (tallest + 1) / 2 : (tallest * 3 + 3) / 4;
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

int TableView::autoScrollStepAt(const QPoint &viewportPoint) const
{
    const int y = viewportPoint.y();
    const int bottom = viewport()->height() - 1;
    // Beside the rows nothing would drop, and nothing scrolls.
    if (!dropPointFor(viewportPoint))
        return 0;
    if (y < kAutoScrollEdge)
        return -std::min(kAutoScrollStep + std::max(0, -y) / 2, kAutoScrollMaxStep);
    if (y > bottom + 1 - kAutoScrollEdge)
        return std::min(kAutoScrollStep + std::max(0, y - bottom) / 2, kAutoScrollMaxStep);
    return 0;
}

void TableView::autoScroll(const QPoint &viewportPoint)
{
    m_autoScrollStep = autoScrollStepAt(viewportPoint);
    // Beyond the table the steps also read the pointer, which no event reports there.
    if (m_autoScrollStep == 0 && !(m_dragOver && m_dragOver->beyond))
        m_autoScrollTimer->stop();
    else if (!m_autoScrollTimer->isActive())
        m_autoScrollTimer->start();
}

void TableView::autoScrollTick()
{
    const bool beyond = m_dragOver && m_dragOver->beyond;
    if (beyond) {
        m_dragOver->position = viewport()->mapFromGlobal(QCursor::pos());
        m_autoScrollStep = autoScrollStepAt(m_dragOver->position);
    }
    QScrollBar *bar = verticalScrollBar();
    const int before = bar->value();
    if (m_autoScrollStep != 0)
        bar->setValue(before + m_autoScrollStep);
    // A pointer moving along the edge moves the line, even where the rows stay.
    if (beyond && bar->value() == before)
        dragScrolled();
}

std::optional<QPoint> TableView::dropPointFor(const QPoint &pointer) const
{
    const QRect rows = viewport()->rect();
    // Beside the rows, a release drops nothing, as anywhere away from a table.
    if (pointer.y() >= rows.top() && pointer.y() <= rows.bottom()
        && (pointer.x() < rows.left() || pointer.x() > rows.right()))
        return std::nullopt;
    QPoint at(std::clamp(pointer.x(), rows.left(), rows.right()),
              std::clamp(pointer.y(), rows.top(), rows.bottom()));
    // Held above the table, the dragged row's picture hangs over the top rows: the drop is the
    // nearest one whose mark shows below the picture.
    const QRect image = m_dragImage.translated(pointer);
    if (pointer.y() < 0 && !image.isEmpty() && image.right() >= rows.left()
        && image.left() <= rows.right()) {
        const int clear = image.bottom() + 1 + kDragImageClearance + dropMarkReach();
        at.setY(std::clamp(clear, rows.top(), rows.bottom()));
    }
    return at;
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
    const std::optional<QPoint> at = dropPointFor(m_dragOver->position);
    if (!at) {
        setDropIndicator(-1, DropOperation::Above);
        return;
    }
    const QDragMoveEvent move(*at, m_dragOver->actions, m_dragOver->data, m_dragOver->buttons,
                              m_dragOver->modifiers);
    Qt::DropAction action = Qt::IgnoreAction;
    const std::optional<TableDrop> drop = validatedDrop(&move, &action);
    if (action == Qt::IgnoreAction)
        setDropIndicator(-1, DropOperation::Above);
    else
        setDropIndicator(drop->row, drop->operation);
}

void TableView::dragLeaveEvent(QDragLeaveEvent *event)
{
    // The table's own drag goes on beyond its edges (over the window's other parts or outside
    // it), where the platform sends the table no more drag events: the pointer is read from here
    // on. Held above or below the table, the rows scroll towards it, faster the further out,
    // and the line shows the drop at that edge, which a release there makes.
    if (m_dragOver && m_dragOver->data && m_dragOver->data == m_outgoingData) {
        m_dragOver->beyond = true;
        // Installed after the platform's drag filter, so it sees the release first.
        if (m_releaseWatch)
            QCoreApplication::instance()->installEventFilter(m_releaseWatch);
        m_dragOver->position = viewport()->mapFromGlobal(QCursor::pos());
        autoScroll(m_dragOver->position);
        dragScrolled();
        event->accept();
        return;
    }
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
