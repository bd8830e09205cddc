#pragma once

// One list of watched applications. Visible lists have consecutive indexes from 0; the
// archive list has index -1 and no colour. Applications are stored oldest first and shown
// newest first.

#include "core/Record.h"
#include "core/Theme.h"

#include <QMetaType>
#include <QString>

#include <optional>
#include <vector>

namespace tanvill {

class App;

class List final : public Record
{
public:
    int index() const { return m_index; }
    void setIndex(int index) { assign(m_index, index); }

    QString name() const { return m_name; }
    void setName(const QString &name) { assign(m_name, name); }
    // Whether a name the user typed names a list: one of nothing but spaces does not. A name
    // that does is kept as typed.
    static bool isNameable(const QString &name) { return !name.trimmed().isEmpty(); }

    // The raw value of a ThemeName; none for the archive list.
    std::optional<QString> color() const { return m_color; }
    void setColor(const std::optional<QString> &color) { assign(m_color, color); }

    // Stored order, oldest first.
    const std::vector<App *> &apps() const { return m_apps; }
    // Replaces the stored order. Applications from other lists move here; applications left
    // out lose their list.
    void setApps(const std::vector<App *> &apps);

    // The colour's theme; Yellow when the colour is absent or unknown.
    Theme theme() const;
    // Newest first: the reverse of the stored order.
    std::vector<App *> displayedApps() const;

private:
    friend class ObjectContext;
    friend class App;
    List(ObjectContext *context, qint64 objectId) : Record(context, objectId) { }
    void markChanged() override;
    // Appends without touching the application (App::setList keeps both sides).
    void appendApp(App *app);
    void removeApp(App *app);

    int m_index = 0;
    QString m_name;
    std::optional<QString> m_color;
    std::vector<App *> m_apps;
};

} // namespace tanvill

Q_DECLARE_METATYPE(tanvill::List *)
