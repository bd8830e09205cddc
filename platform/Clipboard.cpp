#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace tanvill {

namespace {

class DefaultBackend : public Clipboard::Backend
{
public:
    void setText(const QString &text) override
    {
        if (QClipboard *clipboard = systemClipboard())
            clipboard->setText(text);
        else
            m_text = text;
    }

    QString text() const override
    {
        if (const QClipboard *clipboard = systemClipboard())
            return clipboard->text();
        return m_text;
    }

private:
    static QClipboard *systemClipboard()
    {
        return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
            ? QGuiApplication::clipboard()
            : nullptr;
    }

    QString m_text;
};

std::unique_ptr<Clipboard::Backend> &installedBackend()
{
    static std::unique_ptr<Clipboard::Backend> backend = std::make_unique<DefaultBackend>();
    return backend;
}

} // namespace

void Clipboard::setText(const QString &text)
{
    installedBackend()->setText(text);
}

QString Clipboard::text()
{
    return installedBackend()->text();
}

void Clipboard::setBackend(std::unique_ptr<Backend> backend)
{
    installedBackend() = backend ? std::move(backend) : std::make_unique<DefaultBackend>();
}

} // namespace tanvill
