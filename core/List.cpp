#include "core/List.h"

#include "core/App.h"
#include "core/ObjectContext.h"

#include <algorithm>

namespace tanvill {

void List::markChanged()
{
    context()->markChanged(this);
}

void List::appendApp(App *app)
{
    app->m_position = m_apps.empty() ? 0 : m_apps.back()->m_position + 1;
    m_apps.push_back(app);
}

void List::removeApp(App *app)
{
    m_apps.erase(std::remove(m_apps.begin(), m_apps.end(), app), m_apps.end());
}

void List::setApps(const std::vector<App *> &apps)
{
    if (isDeleted())
        return;
    std::vector<App *> kept;
    kept.reserve(apps.size());
    for (App *app : apps) {
        if (app && !app->isDeleted() && std::find(kept.begin(), kept.end(), app) == kept.end())
            kept.push_back(app);
    }
    for (App *old : m_apps) {
        if (std::find(kept.begin(), kept.end(), old) == kept.end()) {
            old->m_list = nullptr;
            old->markChanged();
        }
    }
    for (App *app : kept) {
        if (app->m_list != this) {
            if (app->m_list)
                app->m_list->removeApp(app);
            app->m_list = this;
            app->markChanged();
        }
    }
    m_apps = std::move(kept);
    for (std::size_t position = 0; position < m_apps.size(); ++position) {
        App *app = m_apps[position];
        if (app->m_position != qint64(position)) {
            app->m_position = qint64(position);
            app->markChanged();
        }
    }
}

Theme List::theme() const
{
    const std::optional<ThemeName> name = m_color ? themeNameFromRawValue(*m_color) : std::nullopt;
    return Theme { name.value_or(ThemeName::Yellow) };
}

std::vector<App *> List::displayedApps() const
{
    return std::vector<App *>(m_apps.rbegin(), m_apps.rend());
}

} // namespace tanvill
