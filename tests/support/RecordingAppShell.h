#pragma once

// An AppShell for window tests: records what the windows ask of the shell and installs
// itself for its life. Header only, for the widget test programs.

#include "controls/AppShell.h"

#include <QList>
#include <QMap>

#include <functional>
#include <vector>

namespace tanvill::test {

class RecordingAppShell : public AppShell
{
public:
    RecordingAppShell() : m_registration(this) { }

    void setListMenuItemEnabled(int index, bool enabled) override
    {
        listMenuItemsEnabled[index] = enabled;
    }
    void setAppMenuItemEnabled(int index, bool enabled) override
    {
        appMenuItemsEnabled[index] = enabled;
    }
    void showPreferences() override { ++preferencesShown; }
    void shareList(List *list, QWidget *, std::function<void()> completion) override
    {
        sharedLists.append(list);
        shareCompletions.push_back(std::move(completion));
    }
    void addWindowsItem(QWidget *window, const QString &title) override
    {
        windowsItems[window] = title;
    }
    void changeWindowsItem(QWidget *window, const QString &title) override
    {
        if (windowsItems.contains(window))
            windowsItems[window] = title;
    }
    void removeWindowsItem(QWidget *window) override { windowsItems.remove(window); }

    // Items not yet switched count as enabled.
    bool listMenuItemEnabled(int index) const { return listMenuItemsEnabled.value(index, true); }
    bool appMenuItemEnabled(int index) const { return appMenuItemsEnabled.value(index, true); }

    QMap<int, bool> listMenuItemsEnabled;
    QMap<int, bool> appMenuItemsEnabled;
    int preferencesShown = 0;
    QList<List *> sharedLists;
    std::vector<std::function<void()>> shareCompletions;
    QMap<QWidget *, QString> windowsItems;

private:
    AppShellRegistration m_registration;
};

} // namespace tanvill::test
