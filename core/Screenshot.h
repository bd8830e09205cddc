#pragma once

// One screenshot link of an application, kept in the App's ordered screenshots.

#include "core/Record.h"

#include <QMetaType>
#include <QString>

namespace tanvill {

class App;

class Screenshot final : public Record
{
public:
    QString url() const { return m_url; }
    void setUrl(const QString &url) { assign(m_url, url); }

    // The application that shows it; none once it was removed from its application.
    App *app() const { return m_app; }

    QString description() const { return m_url; }

private:
    friend class ObjectContext;
    friend class App;
    Screenshot(ObjectContext *context, qint64 objectId) : Record(context, objectId) { }
    void markChanged() override;

    QString m_url;
    App *m_app = nullptr;
    qint64 m_position = 0;
};

} // namespace tanvill

Q_DECLARE_METATYPE(tanvill::Screenshot *)
