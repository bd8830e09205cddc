// Working the table with the keyboard: the current row, the keys that move it and act on it,
// its ring, and Tab through the controls in the rows.
#include "controls/TableView.h"

#include "controls/KeyboardFocus.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace tanvill {

namespace {

// The ring stands this far inside the row, clear of the row's own edges and separator.
constexpr int kRingInset = 3;
constexpr qreal kRingLineWidth = 2.0;
constexpr qreal kRingCornerRadius = 5.0;

bool isPlain(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// The controls of a row that take the focus, in reading order.
QList<QWidget *> rowControls(const TableRowView *view)
{
    QList<QWidget *> controls;
    for (QWidget *child : view->findChildren<QWidget *>()) {
        if ((child->focusPolicy() & Qt::ClickFocus) && child->isEnabled()
            && child->isVisibleTo(view))
            controls.append(child);
    }
    std::sort(controls.begin(), controls.end(), [view](const QWidget *a, const QWidget *b) {
        const QPoint pa = a->mapTo(view, QPoint()), pb = b->mapTo(view, QPoint());
        return std::pair(pa.y(), pa.x()) < std::pair(pb.y(), pb.x());
    });
    return controls;
}

} // namespace

void TableView::setKeyboardNavigation(bool on)
{
    m_keyboardNavigation = on;
    if (!on) {
        m_currentRow = -1;
        showCurrentRow(false);
    }
}

bool TableView::showsCurrentRow() const
{
    return m_keyboardNavigation && m_currentRowShown && m_currentRow >= 0 && hasFocus();
}

void TableView::showCurrentRow(bool shows)
{
    // The current row may have moved meanwhile, shown or not.
    if (m_currentRowShown != shows) {
        m_currentRowShown = shows;
        m_overlay->update();
    }
    noteRingedRow();
}

void TableView::noteRingedRow(bool rowsChanged)
{
    const int ringed = showsCurrentRow() ? m_currentRow : -1;
    if (ringed == m_ringedRow && (ringed < 0 || !rowsChanged))
        return;
    m_ringedRow = ringed;
    emit ringedRowChanged();
}

int TableView::currentRowNear(int row, int step) const
{
    const int count = numberOfRows();
    if (count == 0)
        return -1;
    // Section rows stand alone between application rows, so each search takes a step or two.
    for (const int direction : { step, -step }) {
        for (int candidate = std::clamp(row, 0, count - 1); candidate >= 0 && candidate < count;
             candidate += direction) {
            if (!isGroupRow(candidate))
                return candidate;
        }
    }
    return -1;
}

int TableView::firstVisibleRow() const
{
    const int top = std::max(scrollPosition(), m_headerHeight);
    if (numberOfRows() == 0 || top >= contentHeight())
        return currentRowNear(0, 1);
    int row = rowAtContentY(top);
    // A row cut by the top edge is not the first one seen.
    if (rowTop(row) < scrollPosition() && row + 1 < numberOfRows())
        ++row;
    return currentRowNear(row, 1);
}

void TableView::setCurrentRow(int row, bool scrollToVisible)
{
    m_currentRow = row < 0 ? -1 : currentRowNear(row, 1);
    if (scrollToVisible)
        scrollCurrentRowToVisible();
    m_overlay->update();
    noteRingedRow();
}

void TableView::scrollCurrentRowToVisible()
{
    if (m_currentRow < 0)
        return;
    const int row = m_currentRow;
    int top = rowTop(row);
    const int bottom = top + rowHeight(row);
    // The first row shows what stands above it (the header, its section's title); any other
    // row keeps clear of the title of its section, which floats over the top of the rows.
    if (row == currentRowNear(0, 1)) {
        top = 0;
    } else if (const auto group = std::upper_bound(m_groupRows.begin(), m_groupRows.end(), row);
               group != m_groupRows.begin()) {
        top -= rowHeight(*(group - 1));
    }
    const int height = viewport()->height();
    if (top < scrollPosition())
        setScrollPosition(top);
    else if (bottom > scrollPosition() + height)
        setScrollPosition(std::min(top, bottom - height));
}

bool TableView::moveCurrentRow(const QKeyEvent *event)
{
    const int count = numberOfRows();
    if (count == 0)
        return false;
    const int current = m_currentRow;
    int row = -1;
    switch (event->key()) {
    case Qt::Key_Home:
        row = currentRowNear(0, 1);
        break;
    case Qt::Key_End:
        row = currentRowNear(count - 1, -1);
        break;
    case Qt::Key_Down:
        row = current < 0 ? firstVisibleRow() : currentRowNear(current + 1, 1);
        // At the last row the keyboard stays where it is.
        if (current >= 0 && row < current)
            row = current;
        break;
    case Qt::Key_Up:
        row = current < 0 ? firstVisibleRow() : currentRowNear(current - 1, -1);
        if (current >= 0 && row > current)
            row = current;
        break;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        if (current < 0) {
            row = firstVisibleRow();
            break;
        }
        const bool down = event->key() == Qt::Key_PageDown;
        const int page = std::max(1, viewport()->height());
        const int y = rowTop(current) + (down ? page : -page);
        if (y >= contentHeight())
            row = currentRowNear(count - 1, -1);
        else if (y < rowTop(0))
            row = currentRowNear(0, 1);
        else
            row = currentRowNear(rowAtContentY(y), down ? 1 : -1);
        break;
    }
    default:
        return false;
    }
    m_currentRow = row;
    showCurrentRow(true);
    scrollCurrentRowToVisible();
    m_overlay->update();
    return true;
}

bool TableView::moveCurrentRowOnePlace(int step)
{
    const int from = m_currentRow;
    // The gap the row would be dropped into: above the row before it, or below the row after.
    const int gap = step < 0 ? from - 1 : from + 2;
    if (from < 0 || !m_delegate || gap < 0 || gap > numberOfRows())
        return false;
    QMimeData data;
    if (!m_delegate->writeRows(this, { from }, &data))
        return false;
    const TableDrop drop { &data, true, gap, DropOperation::Above };
    if (validate(drop) == Qt::IgnoreAction || !m_delegate->acceptDrop(this, drop))
        return false;
    // The move has taken the current row along with it.
    showCurrentRow(true);
    scrollCurrentRowToVisible();
    m_overlay->update();
    return true;
}

bool TableView::activateCurrentRow()
{
    const int row = m_currentRow;
    if (row < 0)
        return false;
    showCurrentRow(true);
    // Scrolled away with the wheel, the row comes back first: what acts on it is its widget.
    scrollCurrentRowToVisible();
    m_overlay->update();
    if (m_allowsSelection && (!m_delegate || m_delegate->shouldSelectRow(this, row)))
        selectRow(row);
    return m_delegate && m_delegate->rowActivated(this, row);
}

void TableView::openCurrentRowMenu()
{
    if (m_currentRow < 0)
        m_currentRow = firstVisibleRow();
    if (m_currentRow < 0)
        return;
    showCurrentRow(true);
    scrollCurrentRowToVisible();
    m_overlay->update();
    TableRowView *view = rowViewAtRow(m_currentRow);
    if (!view)
        return;
    // The row's own menu, as a right-click opens it, at the middle of the row.
    const QPoint point = view->rect().center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, point, view->mapToGlobal(point));
    QCoreApplication::sendEvent(view, &menuEvent);
}

void TableView::keyPressEvent(QKeyEvent *event)
{
    if (m_keyboardNavigation && isPlain(event)) {
        if (moveCurrentRow(event))
            return event->accept();
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (activateCurrentRow())
                return event->accept();
            // Nothing to do on the row: the window's default button may take the key.
            return event->ignore();
        default:
            break;
        }
    }
    if (m_keyboardNavigation && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::AltModifier) {
        moveCurrentRowOnePlace(event->key() == Qt::Key_Up ? -1 : 1);
        return event->accept();
    }
    // Shift+F10 stands for the Menu key, whose context menu event the platform sends itself.
    if (m_keyboardNavigation && event->key() == Qt::Key_F10
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        openCurrentRowMenu();
        return event->accept();
    }
    if (event->key() == Qt::Key_Home)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    else if (event->key() == Qt::Key_End)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void TableView::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_keyboardNavigation && event->reason() == QContextMenuEvent::Keyboard) {
        openCurrentRowMenu();
        return event->accept();
    }
    QAbstractScrollArea::contextMenuEvent(event);
}

bool TableView::event(QEvent *event)
{
    const bool tab = event->type() == QEvent::KeyPress
        && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab
            || static_cast<QKeyEvent *>(event)->key() == Qt::Key_Backtab);
    const bool handled = QAbstractScrollArea::event(event);
    // Tab in a window where the table is all there is to reach keeps the focus here, without a
    // focus event: the keyboard works the table all the same.
    if (tab && m_keyboardNavigation && hasFocus()) {
        if (m_currentRow < 0)
            m_currentRow = firstVisibleRow();
        showCurrentRow(true);
    }
    return handled;
}

void TableView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (!m_keyboardNavigation)
        return;
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        if (m_currentRow < 0)
            m_currentRow = firstVisibleRow();
        showCurrentRow(true);
        // What the keyboard reaches is in view.
        scrollCurrentRowToVisible();
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        // Back from another window, a menu or the menu bar: the ring comes back where the keyboard
        // left it.
        break;
    default:
        showCurrentRow(false);
        break;
    }
    m_overlay->update();
    noteRingedRow();
}

void TableView::watchRowControls(TableRowView *view)
{
    for (QWidget *child : view->findChildren<QWidget *>()) {
        if (child->focusPolicy() & Qt::ClickFocus)
            child->installEventFilter(this);
    }
}

bool TableView::rowControlKeyPressed(QWidget *control, const QKeyEvent *event)
{
    // The keys that move the current row go on from the control's row, and the table takes
    // the keyboard back; a button would take an arrow for Tab.
    const int row = rowOfWidget(control);
    if (!m_keyboardNavigation || row < 0 || !isPlain(event)
        || control != QApplication::focusWidget())
        return false;
    const int current = std::exchange(m_currentRow, row);
    if (!moveCurrentRow(event)) {
        m_currentRow = current;
        return false;
    }
    setFocus(Qt::TabFocusReason);
    return true;
}

int TableView::rowOfWidget(const QWidget *widget) const
{
    while (widget && widget->parentWidget() != viewport())
        widget = widget->parentWidget();
    return rowForView(qobject_cast<const TableRowView *>(widget));
}

bool TableView::holdsFocus(const TableRowView *view) const
{
    const QWidget *focus = window()->focusWidget();
    return view && focus && view->isAncestorOf(focus);
}

bool TableView::focusRowControl(QWidget *focus, bool next)
{
    const int step = next ? 1 : -1;
    int row = m_currentRow >= 0 ? m_currentRow : firstVisibleRow();
    QWidget *from = nullptr; // the control Tab leaves, in `row`
    if (focus != this) {
        row = rowOfWidget(focus);
        from = focus;
    } else if (!next) {
        return false;
    }
    const int scroll = scrollPosition();
    for (; row >= 0 && row < numberOfRows(); row += step) {
        if (isGroupRow(row))
            continue;
        // A row without a widget gets one in view.
        if (!rowViewAtRow(row))
            scrollRowToVisible(row);
        const TableRowView *view = rowViewAtRow(row);
        if (!view)
            continue;
        const QList<QWidget *> controls = rowControls(view);
        qsizetype index = next ? 0 : controls.size() - 1;
        if (from) {
            const qsizetype at = controls.indexOf(from);
            if (at >= 0)
                index = at + step;
            from = nullptr;
        }
        if (index < 0 || index >= controls.size())
            continue;
        m_currentRow = row;
        scrollCurrentRowToVisible();
        controls[index]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    setScrollPosition(scroll);
    return false;
}

QWidget *TableView::nextTabStopAfterTable() const
{
    for (QWidget *widget = nextInFocusChain(); widget && widget != this;
         widget = widget->nextInFocusChain()) {
        const QWidget *target = widget->focusProxy() ? widget->focusProxy() : widget;
        if (widget->window() == window() && !isAncestorOf(widget)
            && (target->focusPolicy() & Qt::TabFocus) && target->isEnabled()
            && widget->isVisibleTo(window()))
            return widget;
    }
    return nullptr;
}

bool TableView::focusNextPrevChild(bool next)
{
    QWidget *focus = QApplication::focusWidget();
    if (!m_keyboardNavigation || !m_tabsThroughRowControls || !focus
        || (focus != this && !isAncestorOf(focus)))
        return QAbstractScrollArea::focusNextPrevChild(next);
    // A control that lost its row, or was just turned off (an Add button once pressed): the
    // keyboard stays on the table, on that row.
    if (focus != this && (rowOfWidget(focus) < 0 || !focus->isEnabled())) {
        const bool byKeyboard = focusRingTarget() == focus;
        if (const int row = rowOfWidget(focus); row >= 0)
            m_currentRow = row;
        setFocus(byKeyboard ? Qt::TabFocusReason : Qt::OtherFocusReason);
        return true;
    }
    if (focusRowControl(focus, next))
        return true;
    if (focus == this)
        return QAbstractScrollArea::focusNextPrevChild(next);
    // Before the first control stands the table itself; after the last, what follows it.
    if (!next) {
        setFocus(Qt::BacktabFocusReason);
        return true;
    }
    QWidget *after = nextTabStopAfterTable();
    if (!after)
        return false;
    after->setFocus(Qt::TabFocusReason);
    return true;
}

void TableView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (m_keyboardNavigation)
        m_overlay->update();
    noteRingedRow();
}

void TableView::paintCurrentRow(QPainter &painter)
{
    if (!showsCurrentRow())
        return;
    const QRect row = rectOfRow(m_currentRow);
    if (row.isEmpty())
        return;
    painter.save();
    // A section title floating over the row stays on top of the ring.
    if (const TableRowView *floating = rowViewAtRow(m_floatingRow);
        floating && m_floatingRow != m_currentRow)
        painter.setClipRegion(QRegion(viewport()->rect()) - floating->geometry());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(focusRingColor(), kRingLineWidth));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = kRingInset + kRingLineWidth / 2;
    painter.drawRoundedRect(QRectF(row).adjusted(inset, inset, -inset, -inset), kRingCornerRadius,
                            kRingCornerRadius);
    painter.restore();
}

} // namespace tanvill
