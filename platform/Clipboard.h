#pragma once

// The clipboard's text. The copy commands of the rows and detail windows (identifier, store
// link) write through it. It uses the desktop's clipboard when a GUI application runs and
// keeps the text in memory otherwise; tests may install a backend of their own.

#include <QString>

#include <memory>

namespace tanvill {

class Clipboard
{
public:
    class Backend
    {
    public:
        virtual ~Backend() = default;
        virtual void setText(const QString &text) = 0;
        virtual QString text() const = 0;
    };

    static void setText(const QString &text);
    static QString text();

    // Replaces where the text goes; null restores the default.
    static void setBackend(std::unique_ptr<Backend> backend);
};

} // namespace tanvill
