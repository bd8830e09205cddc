#include "core/PriceTotals.h"

#include "core/App.h"
#include "core/PriceFormatter.h"
#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QStringList>

#include <algorithm>

namespace tanvill {

CurrencyOrder CurrencyOrder::ofChosenStore()
{
    return CurrencyOrder(
        UserDefaults::standard().string(SettingsKeys::CurrencyCode, QStringLiteral("USD")));
}

CurrencyOrder::CurrencyOrder(QString chosenCurrency) : m_chosen(std::move(chosenCurrency)) { }

QString CurrencyOrder::currencyOf(const App &app) const
{
    const QString code = app.currencyCode();
    return code.isEmpty() || app.price().isZero() ? m_chosen : code;
}

bool CurrencyOrder::before(const QString &a, const QString &b) const
{
    if (a == b)
        return false;
    if (a == m_chosen || b == m_chosen)
        return a == m_chosen;
    return a < b;
}

PriceTotals::PriceTotals(const std::vector<App *> &apps, const CurrencyOrder &order)
{
    // Summed in doubles, as the totals always were, but never across currencies.
    QHash<QString, double> totals;
    for (const App *app : apps)
        totals[order.currencyOf(*app)] += app->price().toDouble();
    for (auto total = totals.cbegin(); total != totals.cend(); ++total) {
        if (total.value() != 0.0)
            m_amounts.push_back({ total.key(), total.value() });
    }
    if (m_amounts.empty())
        m_amounts.push_back({ order.chosenCurrency(), 0.0 });
    std::sort(m_amounts.begin(), m_amounts.end(), [&order](const Amount &a, const Amount &b) {
        return order.before(a.currencyCode, b.currencyCode);
    });
}

bool PriceTotals::lessThan(const PriceTotals &other, const CurrencyOrder &order) const
{
    // Both stand in the currency order: they are walked together, each step taking the next
    // currency of either, and of both when they hold the same one.
    size_t i = 0;
    size_t j = 0;
    while (i < m_amounts.size() || j < other.m_amounts.size()) {
        const Amount *mine = i < m_amounts.size() ? &m_amounts[i] : nullptr;
        const Amount *theirs = j < other.m_amounts.size() ? &other.m_amounts[j] : nullptr;
        double a = 0.0;
        double b = 0.0;
        if (mine && (!theirs || !order.before(theirs->currencyCode, mine->currencyCode))) {
            a = mine->total;
            ++i;
        }
        if (theirs && (!mine || !order.before(mine->currencyCode, theirs->currencyCode))) {
            b = theirs->total;
            ++j;
        }
        if (a != b)
            return a < b;
    }
    return false;
}

QString localizedPriceTotalString(const PriceTotals &totals, const QString &languageCode)
{
    QStringList parts;
    for (const PriceTotals::Amount &amount : totals.amounts())
        parts << localizedPriceStringInCurrency(amount.total, amount.currencyCode, languageCode);
    return parts.join(QStringLiteral(" + "));
}

} // namespace tanvill
