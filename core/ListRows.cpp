#include "core/ListRows.h"

#include "core/App.h"
#include "core/List.h"
#include "core/PriceTotals.h"

#include <QHash>

#include <algorithm>
#include <tuple>

namespace tanvill {

namespace {

struct Section
{
    QString title;
    std::vector<App *> apps;
};

QString sectionTitle(const App *app, ListGrouping grouping)
{
    return grouping == ListGrouping::Developer ? app->developer() : description(app->appKind());
}

// Stable, so that applications that compare equal keep the list's order and a change of
// one application moves only that application's row.
void sortApps(std::vector<App *> &apps, ListSorting sorting, const CurrencyOrder &currencies)
{
    if (sorting == ListSorting::Price) {
        // By currency first: amounts are compared only within one.
        std::vector<std::tuple<QString, double, App *>> keyed;
        keyed.reserve(apps.size());
        for (App *app : apps)
            keyed.emplace_back(currencies.currencyOf(*app), app->price().toDouble(), app);
        std::stable_sort(keyed.begin(), keyed.end(), [&currencies](const auto &a, const auto &b) {
            if (std::get<0>(a) != std::get<0>(b))
                return currencies.before(std::get<0>(a), std::get<0>(b));
            return std::get<1>(a) < std::get<1>(b);
        });
        for (std::size_t i = 0; i < apps.size(); ++i)
            apps[i] = std::get<2>(keyed[i]);
    } else if (sorting == ListSorting::Name) {
        std::vector<std::pair<QString, App *>> keyed;
        keyed.reserve(apps.size());
        for (App *app : apps)
            keyed.emplace_back(app->name(), app);
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto &a, const auto &b) {
            return QString::compare(a.first, b.first, Qt::CaseSensitive) < 0;
        });
        for (std::size_t i = 0; i < apps.size(); ++i)
            apps[i] = keyed[i].second;
    }
}

void sortSections(std::vector<Section> &sections, ListSorting sorting,
                  const CurrencyOrder &currencies)
{
    if (sorting == ListSorting::Price) {
        std::vector<std::pair<PriceTotals, std::size_t>> keyed;
        for (std::size_t i = 0; i < sections.size(); ++i)
            keyed.emplace_back(PriceTotals(sections[i].apps, currencies), i);
        std::stable_sort(keyed.begin(), keyed.end(), [&currencies](const auto &a, const auto &b) {
            return a.first.lessThan(b.first, currencies);
        });
        std::vector<Section> sorted;
        sorted.reserve(sections.size());
        for (const auto &[total, index] : keyed)
            sorted.push_back(std::move(sections[index]));
        sections = std::move(sorted);
    } else if (sorting == ListSorting::Name) {
        std::stable_sort(sections.begin(), sections.end(), [](const Section &a, const Section &b) {
            return QString::compare(a.title, b.title, Qt::CaseSensitive) < 0;
        });
    }
}

} // namespace

TableRows rowsForList(const List *list, ListGrouping grouping, ListSorting sorting)
{
    TableRows rows;
    if (!list)
        return rows;
    if (grouping == ListGrouping::None && sorting == ListSorting::None) {
        const std::vector<App *> displayed = list->displayedApps();
        rows.reserve(displayed.size());
        for (App *app : displayed)
            rows.push_back(TableRow::This(app));
        return rows;
    }

    // Sections stand in the order of their first application in the list's stored order,
    // which keeps unsorted sections from jumping about between two computations.
    std::vector<Section> sections;
    if (grouping == ListGrouping::None) {
        sections.push_back({ list->name(), list->apps() });
    } else {
        QHash<QString, std::size_t> sectionIndex;
        for (App *app : list->apps()) {
            const QString title = sectionTitle(app, grouping);
            auto found = sectionIndex.constFind(title);
            if (found == sectionIndex.constEnd()) {
                found = sectionIndex.insert(title, sections.size());
                sections.push_back({ title, {} });
            }
            sections[*found].apps.push_back(app);
        }
    }

    if (sorting != ListSorting::None) {
        const CurrencyOrder currencies = CurrencyOrder::ofChosenStore();
        for (Section &section : sections)
            sortApps(section.apps, sorting, currencies);
        if (sections.size() >= 2)
            sortSections(sections, sorting, currencies);
    }

    const bool titled = sections.size() >= 2;
    rows.reserve(list->apps().size() + (titled ? sections.size() : 0));
    for (const Section &section : sections) {
        if (titled)
            rows.push_back(TableRow::That(section.title));
        for (App *app : section.apps)
            rows.push_back(TableRow::This(app));
    }
    return rows;
}

} // namespace tanvill
