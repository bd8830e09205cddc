#pragma once

// Lists and applications made straight in the lists controller's context, with the
// notifications the controller posts around each change, for the tests of list rows.

#include "core/App.h"
#include "core/List.h"
#include "core/ListRepresentation.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "support/TestServices.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *stream)
{
    *stream << '"' << text.toStdString() << '"';
}

namespace tanvill::test {

struct AppFields
{
    QString name;
    QString developer = QStringLiteral("Maker");
    QString price = QStringLiteral("0");
    AppKind kind = AppKind::Phone;
    // None: the chosen store's.
    QString currency;
};

// The tests of list rows: a fresh set of services with an empty store.
class ListRowsTest : public ::testing::Test
{
protected:
    TestServices services;
};

inline ListsController &controller()
{
    return ListsController::sharedController();
}

inline void postListUpdate(const QString &name, const List *list)
{
    NotificationCenter::defaultCenter().post(name, &controller(),
                                             ListUpdate { list->index() }.userInfo());
}

// Adds at the end of the stored order (the top of the displayed order), announced.
inline App *addApp(List *list, const AppFields &fields)
{
    static int serial = 0;
    postListUpdate(ListsControllerWillUpdateList, list);
    App *app = controller().managedObjectContext()->insertApp(list);
    app->setIdentifier(QString::number(++serial));
    app->setName(fields.name);
    app->setDeveloper(fields.developer);
    app->setPrice(Decimal::fromString(fields.price).value_or(Decimal()));
    app->setAppKind(fields.kind);
    app->setCurrencyCode(fields.currency);
    postListUpdate(ListsControllerDidUpdateList, list);
    return app;
}

inline void deleteApp(App *app)
{
    List *list = app->list();
    postListUpdate(ListsControllerWillUpdateList, list);
    controller().managedObjectContext()->deleteObject(app);
    postListUpdate(ListsControllerDidUpdateList, list);
}

inline void moveApp(App *app, List *target)
{
    List *source = app->list();
    postListUpdate(ListsControllerWillUpdateList, source);
    postListUpdate(ListsControllerWillUpdateList, target);
    app->setList(target);
    postListUpdate(ListsControllerDidUpdateList, source);
    postListUpdate(ListsControllerDidUpdateList, target);
}

// Moves an application within its list to a position of the displayed order.
inline void moveApp(App *app, int toDisplayedIndex)
{
    List *list = app->list();
    std::vector<App *> displayed = list->displayedApps();
    displayed.erase(std::find(displayed.begin(), displayed.end(), app));
    displayed.insert(displayed.begin() + toDisplayedIndex, app);
    postListUpdate(ListsControllerWillUpdateList, list);
    list->setApps(std::vector<App *>(displayed.rbegin(), displayed.rend()));
    postListUpdate(ListsControllerDidUpdateList, list);
}

inline TableRow rowAt(const ListRepresentation &representation, int row)
{
    if (App *app = representation.appAtRow(row))
        return TableRow::This(app);
    return TableRow::That(representation.titleAtRow(row).value_or(QStringLiteral("?")));
}

inline TableRows rowsOf(const ListRepresentation &representation)
{
    TableRows rows;
    for (int row = 0; row < representation.numberOfRows(); ++row)
        rows.push_back(rowAt(representation, row));
    return rows;
}

// "Mac", "iPhone:Notes" ... for readable expectations.
inline QStringList describe(const TableRows &rows)
{
    QStringList texts;
    for (const TableRow &row : rows)
        texts << (row.isThis() ? row.thisValue()->name() : QStringLiteral("#") + row.thatValue());
    return texts;
}

// A table: keeps its own copy of the rows and applies every call it is told, as a view
// would; records the calls.
class TableDelegate : public ListRepresentationDelegate
{
public:
    explicit TableDelegate(ListRepresentation &representation) : m_representation(representation)
    {
        representation.setDelegate(this);
        table = rowsOf(representation);
    }

    void listRepresentationWillChange(ListRepresentation *) override
    {
        ++depth;
        calls << QStringLiteral("will");
    }
    void listRepresentationDidInsertRowsAtIndexes(ListRepresentation *,
                                                  const QList<int> &indexes) override
    {
        for (const int index : indexes) {
            if (index < 0 || index > int(table.size())) {
                faults << QStringLiteral("insert %1 of %2").arg(index).arg(table.size());
                return;
            }
            table.insert(table.begin() + index, rowAt(m_representation, index));
        }
        calls << QStringLiteral("insert %1").arg(join(indexes));
        checkBatch();
    }
    void listRepresentationDidRemoveRowsAtIndexes(ListRepresentation *,
                                                  const QList<int> &indexes) override
    {
        for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
            if (*it < 0 || *it >= int(table.size())) {
                faults << QStringLiteral("remove %1 of %2").arg(*it).arg(table.size());
                return;
            }
            table.erase(table.begin() + *it);
        }
        calls << QStringLiteral("remove %1").arg(join(indexes));
        checkBatch();
    }
    void listRepresentationDidMoveRow(ListRepresentation *, int from, int to) override
    {
        if (from < 0 || to < 0 || from >= int(table.size()) || to >= int(table.size())) {
            faults << QStringLiteral("move %1 %2 of %3").arg(from).arg(to).arg(table.size());
            return;
        }
        const TableRow row = table[std::size_t(from)];
        table.erase(table.begin() + from);
        table.insert(table.begin() + to, row);
        calls << QStringLiteral("move %1 %2").arg(from).arg(to);
        checkBatch();
    }
    void listRepresentationWillReplaceAllRowsFromList(ListRepresentation *, int list) override
    {
        calls << QStringLiteral("willReplace %1").arg(list);
        checkBatch();
    }
    void listRepresentationDidReplaceAllRowsFromList(ListRepresentation *, int list) override
    {
        table = rowsOf(m_representation);
        calls << QStringLiteral("didReplace %1").arg(list);
        checkBatch();
    }
    void listRepresentationDidChange(ListRepresentation *) override
    {
        --depth;
        calls << QStringLiteral("did");
    }

    TableRows table;
    QStringList calls;
    QStringList faults;
    int depth = 0;

private:
    static QString join(const QList<int> &indexes)
    {
        QStringList parts;
        for (const int index : indexes)
            parts << QString::number(index);
        return parts.join(u',');
    }
    // Row changes reach a table only inside a batch.
    void checkBatch()
    {
        if (depth <= 0)
            faults << QStringLiteral("outside a batch: ") + calls.last();
    }

    ListRepresentation &m_representation;
};

} // namespace tanvill::test
