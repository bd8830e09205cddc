#include "controls/TableView.h"

#include <QEvent>
#include <QGraphicsEffect>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>
#include <QVariantAnimation>

#include <algorithm>

namespace tanvill {

namespace {

// Rows kept ready above and below the visible ones, so that a short scroll shows no blank.
constexpr int kMarginRows = 2;
// A data source that keeps changing the table from its callbacks gets this many passes.
constexpr int kMaxLayoutPasses = 4;
bool instantAnimationsByDefault = false;

} // namespace

// Above every row: paints the removed rows on their way out and the drop indicator.
class TableView::Overlay : public QWidget
{
public:
    explicit Overlay(TableView *table) : QWidget(table->viewport()), m_table(table)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override { m_table->paintOverlay(this); }

private:
    TableView *m_table;
};

TableView::TableView(QWidget *parent)
    : QAbstractScrollArea(parent), m_instant(instantAnimationsByDefault)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(20);
    m_overlay = new Overlay(this);

    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { animationStep(value.toDouble()); });
    connect(m_animation, &QVariantAnimation::finished, this, &TableView::finishAnimation);

    m_autoScrollTimer = new QTimer(this);
    m_autoScrollTimer->setInterval(40);
    connect(m_autoScrollTimer, &QTimer::timeout, this, &TableView::autoScrollTick);
    // After the scroll area has moved the rows.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TableView::dragScrolled);
}

TableView::~TableView()
{
    // The delegate usually owns the table and is half gone by now: it hears nothing more.
    m_delegate = nullptr;
    m_dataSource = nullptr;
    m_animation->stop();
}

void TableView::setInstantAnimationsByDefault(bool instant)
{
    instantAnimationsByDefault = instant;
}

void TableView::registerRowView(const QString &identifier, std::function<TableRowView *()> factory)
{
    m_factories.insert(identifier, std::move(factory));
}

TableRowView *TableView::makeView(const QString &identifier)
{
    auto free = m_freeViews.find(identifier);
    if (free != m_freeViews.end() && !free->isEmpty())
        return free->takeLast();
    const auto factory = m_factories.constFind(identifier);
    if (factory == m_factories.cend())
        return nullptr;
    TableRowView *view = (*factory)();
    if (!view)
        return nullptr;
    view->setIdentifier(identifier);
    view->setParent(viewport());
    view->hide();
    return view;
}

TableRowView *TableView::rowViewAtRow(int row) const
{
    const auto it = m_views.find(row);
    return it == m_views.end() ? nullptr : it->second;
}

int TableView::rowForView(const TableRowView *view) const
{
    for (const auto &[row, candidate] : m_views) {
        if (candidate == view && view)
            return row;
    }
    return -1;
}

QList<int> TableView::rowsWithViews() const
{
    QList<int> rows;
    for (const auto &[row, view] : m_views) {
        if (view)
            rows.append(row);
    }
    return rows;
}

void TableView::reloadData()
{
    m_loaded = true;
    finishAnimation();
    m_slots.reset();
    m_removedRows.clear();
    m_updateBroken = false;

    auto views = std::exchange(m_views, {});
    for (auto it = views.begin(); it != views.end(); ++it) {
        if (it->second && m_delegate)
            m_delegate->didRemoveRowView(this, it->second, it->first);
        if (it->second)
            recycle(it->second);
    }

    const int count = m_dataSource ? std::max(0, m_dataSource->numberOfRows(this)) : 0;
    m_heights.assign(size_t(count), 0);
    m_groupRows.clear();
    for (int row = 0; row < count; ++row) {
        m_heights[size_t(row)] = std::max(0, m_dataSource->heightOfRow(this, row));
        if (m_dataSource->isGroupRow(this, row))
            m_groupRows.push_back(row);
    }
    rebuildOffsets();
    if (m_selectedRow >= count)
        setSelectedRowInternal(-1);
    if (m_currentRow >= 0)
        m_currentRow = currentRowNear(std::min(m_currentRow, count - 1), 1);
    updateScrollRange();
    layoutRows();
    noteRingedRow(true);
}

int TableView::rowTop(int row) const
{
    return m_headerHeight + m_offsets[size_t(row)];
}

int TableView::contentHeight() const
{
    return m_headerHeight + (m_offsets.empty() ? 0 : m_offsets.back());
}

int TableView::rowAtContentY(int y) const
{
    // The last row whose top is at or above y.
    if (numberOfRows() == 0)
        return -1;
    const auto it = std::upper_bound(m_offsets.begin(), m_offsets.end() - 1, y - m_headerHeight);
    return std::clamp(int(it - m_offsets.begin()) - 1, 0, numberOfRows() - 1);
}

bool TableView::isGroupRow(int row) const
{
    return std::binary_search(m_groupRows.begin(), m_groupRows.end(), row);
}

void TableView::rebuildOffsets(int fromRow)
{
    m_offsets.resize(m_heights.size() + 1);
    m_offsets[0] = 0;
    for (size_t row = size_t(std::max(0, fromRow)); row < m_heights.size(); ++row)
        m_offsets[row + 1] = m_offsets[row] + m_heights[row];
}

void TableView::updateScrollRange()
{
    const int height = viewport()->height();
    verticalScrollBar()->setPageStep(height);
    verticalScrollBar()->setRange(0, std::max(0, contentHeight() - height));
}

void TableView::setHeaderView(QWidget *header)
{
    if (m_header == header)
        return;
    if (m_header) {
        m_header->removeEventFilter(this);
        m_header->hide();
        m_header->deleteLater();
    }
    m_header = header;
    if (header) {
        header->setParent(viewport());
        header->installEventFilter(this);
        header->show();
        m_overlay->raise();
    }
    updateHeaderHeight();
}

void TableView::updateHeaderHeight()
{
    int height = 0;
    if (m_header) {
        height = m_header->minimumHeight() == m_header->maximumHeight()
            ? m_header->maximumHeight()
            : m_header->sizeHint().height();
    }
    m_headerHeight = std::max(0, height);
    updateScrollRange();
    layoutRows();
}

bool TableView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_header && event->type() == QEvent::LayoutRequest)
        updateHeaderHeight();
    if (event->type() == QEvent::KeyPress && watched != m_header && watched->isWidgetType()
        && rowControlKeyPressed(static_cast<QWidget *>(watched), static_cast<QKeyEvent *>(event)))
        return true;
    return QAbstractScrollArea::eventFilter(watched, event);
}

void TableView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (!m_loaded)
        reloadData();
}

void TableView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_overlay->setGeometry(viewport()->rect());
    updateScrollRange();
    layoutRows();
}

void TableView::scrollContentsBy(int, int)
{
    layoutRows();
    if (!m_ghosts.empty() || m_dropRow >= 0 || showsCurrentRow())
        m_overlay->update();
}

void TableView::layoutRows()
{
    if (m_inLayout) {
        m_layoutAgain = true;
        return;
    }
    QScopedValueRollback<bool> guard(m_inLayout, true);
    for (int pass = 0; pass < kMaxLayoutPasses; ++pass) {
        m_layoutAgain = false;
        const int count = numberOfRows();
        const int top = scrollPosition();
        const int bottom = top + viewport()->height();
        int first = 0, last = -1, floating = -1;
        if (count > 0 && bottom > top && bottom > m_headerHeight && top < contentHeight()) {
            const int firstVisible = rowAtContentY(top);
            first = std::max(0, firstVisible - kMarginRows);
            last = std::min(count - 1, rowAtContentY(bottom - 1) + kMarginRows);
            const auto group
                = std::upper_bound(m_groupRows.begin(), m_groupRows.end(), firstVisible);
            if (group != m_groupRows.begin() && rowTop(*(group - 1)) < top)
                floating = *(group - 1);
        }

        std::vector<int> leaving;
        for (const auto &[row, view] : m_views) {
            // A row holding the keyboard's focus stays, or the focus would go with it.
            const bool wanted
                = (row >= first && row <= last) || row == floating || holdsFocus(view);
            if (!wanted && !(view && m_motions.count(view)))
                leaving.push_back(row);
        }
        for (const int row : leaving) {
            const auto it = m_views.find(row);
            if (it != m_views.end())
                dropRowView(it, row);
        }

        std::vector<std::pair<int, TableRowView *>> added;
        auto want = [&](int row) {
            if (row < 0 || m_views.count(row))
                return;
            addRowView(row);
            if (TableRowView *view = rowViewAtRow(row))
                added.emplace_back(row, view);
        };
        for (int row = first; row <= last; ++row)
            want(row);
        want(floating);

        const bool floatingChanged = floating != m_floatingRow;
        if (TableRowView *old = rowViewAtRow(m_floatingRow); old && floatingChanged)
            old->setFloating(false);
        m_floatingRow = floating;
        placeRowViews(top);
        if (TableRowView *view = rowViewAtRow(floating)) {
            view->setFloating(true);
            if (floatingChanged || !added.empty())
                view->raise();
        }
        if (!added.empty() || floatingChanged)
            m_overlay->raise();
        for (const auto &[row, view] : added) {
            if (m_delegate && rowViewAtRow(row) == view)
                m_delegate->didAddRowView(this, view, row);
        }
        if (!m_layoutAgain)
            break;
    }
}

void TableView::placeRowViews(int top)
{
    const double remaining = 1.0 - m_progress;
    const int width = viewport()->width();
    if (m_header)
        m_header->setGeometry(0, -top, width, m_headerHeight);
    for (const auto &[row, view] : m_views) {
        if (!view)
            continue;
        QRect frame(0, rowTop(row) - top, width, rowHeight(row));
        if (row == m_floatingRow) {
            frame.moveTop(0);
            const auto next = std::upper_bound(m_groupRows.begin(), m_groupRows.end(), row);
            if (next != m_groupRows.end())
                frame.moveTop(std::min(0, rowTop(*next) - top - frame.height()));
        } else if (const auto motion = m_motions.find(view); motion != m_motions.end()) {
            frame.translate(int(motion->second.dx * remaining), int(motion->second.dy * remaining));
            if (auto *effect = qobject_cast<QGraphicsOpacityEffect *>(view->graphicsEffect()))
                effect->setOpacity(m_progress);
        }
        view->setGeometry(frame);
        if (view->isHidden())
            view->show();
    }
}

void TableView::addRowView(int row)
{
    TableRowView *view = m_dataSource ? m_dataSource->rowView(this, row) : nullptr;
    m_views[row] = view;
    if (!view)
        return;
    if (view->parentWidget() != viewport())
        view->setParent(viewport());
    view->setSelected(row == m_selectedRow);
    view->setFloating(false);
    if (m_tabsThroughRowControls)
        watchRowControls(view);
    if (m_committing && m_commitAnimated)
        startMotion(view, row);
}

void TableView::dropRowView(std::map<int, TableRowView *>::iterator it, int reportedRow)
{
    TableRowView *view = it->second;
    m_views.erase(it);
    if (!view)
        return;
    if (m_delegate)
        m_delegate->didRemoveRowView(this, view, reportedRow);
    recycle(view);
}

void TableView::recycle(TableRowView *view)
{
    // A removed row's widget may be running the very handler that removed it, so it is never
    // deleted on the spot: it waits for reuse, or for the event loop.
    view->hide();
    m_motions.erase(view);
    view->setGraphicsEffect(nullptr);
    view->setFloating(false);
    view->setSelected(false);
    if (!view->identifier().isEmpty())
        m_freeViews[view->identifier()].append(view);
    else
        view->deleteLater();
}

} // namespace tanvill
