#include "shell/SettingsBinding.h"

#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QSignalBlocker>

namespace tanvill::SettingsBinding {

void showBoolean(QAbstractButton *box, UserDefaults &settings, const QString &key, bool inverted)
{
    const auto show = [box, &settings, key, inverted] {
        // The box's own signals stay quiet: showing a value is not a click.
        const QSignalBlocker blocker(box);
        box->setChecked(settings.boolean(key) != inverted);
    };
    show();
    settings.observe(key, box, [show](const QVariant &) { show(); });
}

void bindBoolean(QAbstractButton *box, UserDefaults &settings, const QString &key, bool inverted)
{
    showBoolean(box, settings, key, inverted);
    QObject::connect(box, &QAbstractButton::clicked, box, [&settings, key, inverted](bool on) {
        settings.setValue(key, on != inverted);
    });
}

void enableWhile(QWidget *widget, UserDefaults &settings, const QString &key)
{
    widget->setEnabled(settings.boolean(key));
    settings.observe(key, widget, [widget, &settings, key](const QVariant &) {
        widget->setEnabled(settings.boolean(key));
    });
}

} // namespace tanvill::SettingsBinding
