#pragma once

// Listens for launcher entry updates on a bus, as a dock does (DockBadge tests).

#include <QObject>
#include <QStringList>
#include <QVariantMap>

class LauncherListener : public QObject
{
    Q_OBJECT
public slots:
    void update(const QString &appUri, const QVariantMap &properties)
    {
        uris << appUri;
        updates << properties;
    }

public:
    QStringList uris;
    QList<QVariantMap> updates;
};
