#include "lists/ListOrderViewController.h"

#include "controls/SheetFit.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <utility>

namespace tanvill {

const QString ListOrderViewController::ListDragType = QStringLiteral("Tanvill.ListDragType");

namespace {

const QString kListCell = QStringLiteral("ListCell");

// One list as a pill of its light colour with a dark border and its name in the dark colour.
class ListCell : public TableRowView
{
public:
    void setList(const QString &name, const Theme &theme)
    {
        m_name = name;
        m_theme = theme;
        setAccessibleName(name);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF pill = QRectF(0, ListOrderViewController::kRowSpacing / 2.0, width(),
                                   ListOrderViewController::kRowHeight)
                                .adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath shape;
        shape.addRoundedRect(pill, 7.0, 7.0);
        painter.fillPath(shape, m_theme.lightColor());
        painter.setPen(QPen(m_theme.darkColor(), 1.0));
        painter.drawPath(shape);
        QFont font = painter.font();
        font.setPixelSize(13);
        painter.setFont(font);
        const QRectF text = pill.adjusted(12, 0, -12, 0);
        painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         QFontMetrics(font).elidedText(m_name, Qt::ElideRight, int(text.width())));
    }

private:
    QString m_name;
    Theme m_theme;
};

} // namespace

ListOrderViewController::ListOrderViewController(ListsController &lists, QWidget *parent)
    : QDialog(parent), m_lists(lists)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    keepSheetInsideWindow(this);
    setWindowTitle(Strings::localized(QStringLiteral("Rearrange Lists")));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 14, 20, 10);
    column->setSpacing(0);
    auto *title
        = new QLabel(Strings::localized(QStringLiteral("Drag the lists into their order.")), this);
    title->setTextFormat(Qt::PlainText);
    title->setFixedHeight(18);
    column->addWidget(title);
    column->addSpacing(8);

    m_tableView = new TableView(this);
    m_tableView->viewport()->setBackgroundRole(QPalette::Window);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    m_tableView->registerRowView(kListCell, [] { return new ListCell; });
    m_tableView->registerForDraggedTypes({ ListDragType });
    m_tableView->setDropFeedback(TableView::DropFeedback::Gap);
    // The arrows pick a list, Alt+Up and Alt+Down move it as a drag would.
    m_tableView->setKeyboardNavigation(true);
    column->addWidget(m_tableView, 1);
    column->addSpacing(10);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *done = new QPushButton(Strings::localized(QStringLiteral("Done")), this);
    done->setFixedHeight(25);
    done->setDefault(true);
    buttons->addWidget(done);
    column->addLayout(buttons);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);

    // However it closes, the presenter hears of it once.
    connect(this, &QDialog::finished, this, [this] {
        if (auto completion = std::exchange(m_completionHandler, nullptr))
            completion();
    });

    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name : { ListsControllerDidAddList, ListsControllerDidDeleteList,
                                 ListsControllerDidRearrangeLists })
        center.addObserver(
            name, this, [this](const Notification &) { listsChanged(); }, &m_lists);

    resize(kWidth, intrinsicContentSize().height());
}

ListOrderViewController *ListOrderViewController::present(ListsController &lists, QWidget *window,
                                                          std::function<void()> completion)
{
    auto *sheet = new ListOrderViewController(lists, window);
    sheet->setCompletionHandler(std::move(completion));
    sheet->resize(kWidth, sheet->intrinsicContentSize().height());
    sheet->open();
    return sheet;
}

QSize ListOrderViewController::intrinsicContentSize() const
{
    const int count = int(m_lists.lists().size());
    int height = (kRowHeight + kRowSpacing) * count + kChromeHeight;
    const QWidget *anchor = parentWidget() ? parentWidget() : this;
    if (const QScreen *screen
        = anchor->screen() ? anchor->screen() : QGuiApplication::primaryScreen())
        height = std::min(height,
                          std::max(kChromeHeight + kRowHeight + kRowSpacing,
                                   screen->availableGeometry().height() - 80));
    return QSize(width(), height);
}

void ListOrderViewController::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // The keyboard starts on the list the window behind shows, and the ring says so.
    List *selected = m_lists.selectedList();
    m_tableView->setCurrentRow(selected ? selected->index() : 0);
    m_tableView->ringCurrentRow();
}

int ListOrderViewController::numberOfRows(TableView *)
{
    return int(m_lists.lists().size());
}

int ListOrderViewController::heightOfRow(TableView *, int)
{
    return kRowHeight + kRowSpacing;
}

TableRowView *ListOrderViewController::rowView(TableView *table, int row)
{
    const std::vector<List *> lists = m_lists.lists();
    auto *cell = table->makeView<ListCell>(kListCell);
    if (cell && row >= 0 && row < int(lists.size()))
        cell->setList(lists[size_t(row)]->name(), lists[size_t(row)]->theme());
    return cell;
}

bool ListOrderViewController::writeRows(TableView *, const QList<int> &rows, QMimeData *data)
{
    if (rows.isEmpty())
        return false;
    data->setData(ListDragType, TableRowsPayload { m_generation, rows }.encode());
    return true;
}

Qt::DropAction ListOrderViewController::validateDrop(TableView *, const TableDrop &drop)
{
    if (drop.row > int(m_lists.lists().size()) || !drop.fromThisTable
        || drop.operation != DropOperation::Above)
        return Qt::IgnoreAction;
    return Qt::MoveAction;
}

bool ListOrderViewController::acceptDrop(TableView *table, const TableDrop &drop)
{
    if (!drop.data || validateDrop(table, drop) == Qt::IgnoreAction)
        return false;
    const std::optional<TableRowsPayload> payload
        = TableRowsPayload::decode(drop.data->data(ListDragType));
    // Rows of a drag that began before the lists changed name other lists now.
    if (!payload || payload->rows.isEmpty() || payload->context != m_generation)
        return false;
    const std::vector<List *> lists = m_lists.lists();
    const int count = int(lists.size());
    const int from = payload->rows.first();
    const int to = from < drop.row ? drop.row - 1 : drop.row;
    if (from < 0 || from >= count || to < 0 || to >= count || from == to)
        return false;
    m_moving = true;
    m_lists.moveList(lists[size_t(from)], to);
    m_moving = false;
    table->moveRow(from, to);
    return true;
}

void ListOrderViewController::listsChanged()
{
    // The sheet's own moves are already in its table.
    if (m_moving)
        return;
    ++m_generation;
    m_tableView->reloadData();
    if (isVisible())
        resize(width(), intrinsicContentSize().height());
}

} // namespace tanvill
