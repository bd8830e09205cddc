#pragma once

// A small table for the TableView tests: named rows of any height, section rows that paint
// black while floating and dark grey in place, and drag-to-reorder by the usual gap rules.

#include "controls/TableView.h"

#include <QContextMenuEvent>
#include <QMimeData>
#include <QPainter>

#include <vector>

namespace tanvill::test {

inline const QString kDemoDragType = QStringLiteral("Tanvill.DemoRows");
inline const QColor kInPlaceSectionColor(43, 43, 43);

struct DemoItem
{
    QString name;
    int height = 40;
    bool group = false;
};

class DemoRow : public TableRowView
{
public:
    DemoItem item;
    int keyboardMenus = 0;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override
    {
        keyboardMenus += event->reason() == QContextMenuEvent::Keyboard;
        event->accept();
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QFont font = painter.font();
        if (item.group) {
            painter.fillRect(rect(), isFloating() ? QColor(Qt::black) : kInPlaceSectionColor);
            font.setBold(true);
            font.setPixelSize(11);
        } else {
            if (isSelected())
                painter.fillRect(rect(), kInPlaceSectionColor);
            painter.setPen(QColor(255, 255, 255, 24));
            painter.drawLine(0, height() - 1, width(), height() - 1);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromHsv(int(qHash(item.name) % 360), 120, 200));
            const int icon = std::min(height() - 16, 56);
            painter.drawRoundedRect(QRect(12, (height() - icon) / 2, icon, icon), icon / 5,
                                    icon / 5);
            font.setPixelSize(13);
        }
        painter.setFont(font);
        painter.setPen(palette().color(QPalette::Text));
        const int left = item.group ? 10 : std::min(height() - 16, 56) + 24;
        painter.drawText(rect().adjusted(left, 0, -10, 0), Qt::AlignVCenter, item.name);
    }
};

class DemoTable : public TableViewDataSource, public TableViewDelegate
{
public:
    explicit DemoTable(std::vector<DemoItem> rows) : items(std::move(rows))
    {
        for (const QString &identifier : { QStringLiteral("Row"), QStringLiteral("Section") }) {
            table.registerRowView(identifier, [this] {
                ++made;
                return new DemoRow;
            });
        }
        table.setDataSource(this);
        table.setDelegate(this);
        table.registerForDraggedTypes({ kDemoDragType });
        table.resize(320, 400);
    }

    static std::vector<DemoItem> rows(int count, int height = 40)
    {
        std::vector<DemoItem> items;
        for (int row = 0; row < count; ++row)
            items.push_back({ QStringLiteral("Row %1").arg(row), height, false });
        return items;
    }

    QStringList names() const
    {
        QStringList names;
        for (const DemoItem &item : items)
            names.append(item.name);
        return names;
    }

    // The name shown by the widget of `row`, empty when it has none.
    QString shown(int row) const
    {
        const auto *view = static_cast<DemoRow *>(table.rowViewAtRow(row));
        return view ? view->item.name : QString();
    }

    int numberOfRows(TableView *) override { return int(items.size()); }
    int heightOfRow(TableView *, int row) override { return items[size_t(row)].height; }
    bool isGroupRow(TableView *, int row) override { return items[size_t(row)].group; }
    TableRowView *rowView(TableView *view, int row) override
    {
        const DemoItem &item = items[size_t(row)];
        auto *rowView = view->makeView<DemoRow>(item.group ? QStringLiteral("Section")
                                                           : QStringLiteral("Row"));
        rowView->item = item;
        rowView->update();
        return rowView;
    }

    void didAddRowView(TableView *, TableRowView *, int) override { ++added; }
    void didRemoveRowView(TableView *, TableRowView *, int row) override
    {
        ++removed;
        removedRows.push_back(row);
    }
    bool shouldSelectRow(TableView *, int) override { return selectable; }
    void selectionDidChange(TableView *) override { ++selectionChanges; }
    void rowClicked(TableView *, int row) override { clicks.push_back(row); }

    bool writeRows(TableView *, const QList<int> &dragged, QMimeData *data) override
    {
        data->setData(kDemoDragType, TableRowsPayload { 7, dragged }.encode());
        return true;
    }
    Qt::DropAction validateDrop(TableView *, const TableDrop &drop) override
    {
        ++validations;
        return drop.operation == DropOperation::Above && drop.row <= int(items.size())
            ? Qt::MoveAction
            : Qt::IgnoreAction;
    }
    // The row leaves its place first, so a gap below it lands one index higher.
    bool acceptDrop(TableView *view, const TableDrop &drop) override
    {
        const auto payload = TableRowsPayload::decode(drop.data->data(kDemoDragType));
        if (!payload || payload->context != 7)
            return false;
        const int from = payload->rows.first();
        const int to = from < drop.row ? drop.row - 1 : drop.row;
        if (from == to || from >= int(items.size()))
            return false;
        const DemoItem moving = items[size_t(from)];
        items.erase(items.begin() + from);
        items.insert(items.begin() + to, moving);
        view->moveRow(from, to);
        moves.emplace_back(from, to);
        return true;
    }

    std::vector<DemoItem> items;
    int made = 0, added = 0, removed = 0, selectionChanges = 0, validations = 0;
    bool selectable = true;
    std::vector<int> removedRows, clicks;
    std::vector<std::pair<int, int>> moves;
    TableView table; // last, so that it goes first
};

} // namespace tanvill::test
