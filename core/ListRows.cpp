#include "core/ListRows.h"

#include "core/App.h"
#include "core/List.h"
#include "core/PriceTotals.h"

#include <QHash>

#include <algorithm>
#include <utility>

namespace tanvill {

namespace {

struct Section
{
    QString title;
    std::vector<App *> apps;
    // Sorted by price: the section's total in each currency that adds up to something (the
    // chosen one when none does), as (rank, amount) in the currency order.
    std::vector<std::pair<int, double>> totals;
};

// An application's place in the price order: its currency's rank, then its price.
struct PricedApp
{
    int currency;
    double price;
    App *app;
};

QString sectionTitle(const App *app, ListGrouping grouping)
{
    return grouping == ListGrouping::Developer ? app->developer() : description(app->appKind());
}

// Stable, so that applications that compare equal keep the list's order and a change of
// one application moves only that application's row.
void sortAppsByName(std::vector<App *> &apps)
{
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

// By currency first, amounts being compared only within one; stable as by name. Each
// currency is ranked once for the whole list, so sorting compares numbers, not codes.
void sortAppsByPrice(std::vector<Section> &sections, const CurrencyOrder &currencies)
{
    CurrencyRanks ranks(currencies);
    std::size_t appCount = 0;
    for (const Section &section : sections)
        appCount += section.apps.size();
    std::vector<PricedApp> priced;
    priced.reserve(appCount);
    std::vector<std::size_t> sectionStarts;
    sectionStarts.reserve(sections.size() + 1);
    for (const Section &section : sections) {
        sectionStarts.push_back(priced.size());
        for (App *app : section.apps)
            priced.push_back({ ranks.numberOf(*app), app->price().toDouble(), app });
    }
    sectionStarts.push_back(priced.size());
    const std::vector<int> rankOf = ranks.ranks();
    for (PricedApp &app : priced)
        app.currency = rankOf[std::size_t(app.currency)];

    for (std::size_t s = 0; s < sections.size(); ++s) {
        const auto first = priced.begin() + std::ptrdiff_t(sectionStarts[s]);
        const auto last = priced.begin() + std::ptrdiff_t(sectionStarts[s + 1]);
        std::stable_sort(first, last, [](const PricedApp &a, const PricedApp &b) {
            return a.currency != b.currency ? a.currency < b.currency : a.price < b.price;
        });
        Section &section = sections[s];
        // Summed in doubles, as every total is, in the order the rows show.
        for (auto app = first; app != last; ++app) {
            section.apps[std::size_t(app - first)] = app->app;
            if (section.totals.empty() || section.totals.back().first != app->currency)
                section.totals.emplace_back(app->currency, 0.0);
            section.totals.back().second += app->price;
        }
        std::erase_if(section.totals, [](const auto &total) { return total.second == 0.0; });
        if (section.totals.empty())
            section.totals.emplace_back(0, 0.0);
    }
}

void sortSections(std::vector<Section> &sections, ListSorting sorting)
{
    if (sorting == ListSorting::Price) {
        // As the applications within: by the first currency in the order, then the total in
        // it, then the next; a section that has no more currencies comes first.
        std::stable_sort(sections.begin(), sections.end(),
                         [](const Section &a, const Section &b) { return a.totals < b.totals; });
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
        sections.push_back({ list->name(), list->apps(), {} });
    } else {
        QHash<QString, std::size_t> sectionIndex;
        for (App *app : list->apps()) {
            const QString title = sectionTitle(app, grouping);
            auto found = sectionIndex.constFind(title);
            if (found == sectionIndex.constEnd()) {
                found = sectionIndex.insert(title, sections.size());
                sections.push_back({ title, {}, {} });
            }
            sections[*found].apps.push_back(app);
        }
    }

    if (sorting == ListSorting::Price) {
        sortAppsByPrice(sections, CurrencyOrder::ofChosenStore());
    } else if (sorting == ListSorting::Name) {
        for (Section &section : sections)
            sortAppsByName(section.apps);
    }
    if (sections.size() >= 2)
        sortSections(sections, sorting);

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
