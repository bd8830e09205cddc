#include "core/PriceTotals.h"

#include "core/App.h"
#include "core/PriceFormatter.h"
#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <numeric>

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

CurrencyRanks::CurrencyRanks(const CurrencyOrder &order) : m_codes { order.chosenCurrency() } { }

int CurrencyRanks::numberOf(const App &app)
{
    // As CurrencyOrder::currencyOf, without a copy of the chosen code per application; most
    // applications of a list share the currency of the one before.
    if (app.price().isZero())
        return 0;
    const QString code = app.currencyCode();
    if (code.isEmpty())
        return 0;
    if (code == m_codes[m_last])
        return int(m_last);
    const auto found = std::find(m_codes.cbegin(), m_codes.cend(), code);
    m_last = std::size_t(found - m_codes.cbegin());
    if (found == m_codes.cend())
        m_codes.push_back(code);
    return int(m_last);
}

std::vector<int> CurrencyRanks::ranks() const
{
    // The chosen currency, number 0, stays first; the others follow in the order of codes.
    std::vector<int> byRank(m_codes.size());
    std::iota(byRank.begin(), byRank.end(), 0);
    std::sort(byRank.begin() + 1, byRank.end(),
              [this](int a, int b) { return m_codes[std::size_t(a)] < m_codes[std::size_t(b)]; });
    std::vector<int> rankOf(m_codes.size());
    for (std::size_t rank = 0; rank < byRank.size(); ++rank)
        rankOf[std::size_t(byRank[rank])] = int(rank);
    return rankOf;
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

QString localizedPriceTotalString(const PriceTotals &totals, const QString &languageCode)
{
    QStringList parts;
    for (const PriceTotals::Amount &amount : totals.amounts())
        parts << localizedPriceStringInCurrency(amount.total, amount.currencyCode, languageCode);
    return parts.join(QStringLiteral(" + "));
}

} // namespace tanvill
