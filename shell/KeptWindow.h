#pragma once

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace tanvill {

class UserDefaults;

// A window the application delegate makes on first use and then keeps for its own life, so
// that a closed window comes back as it was. Its frame is kept between runs under its autosave
// name, when it has one. Which window it is comes from its factory, set by the code that
// builds that window.
class KeptWindow
{
public:
    using Factory = std::function<std::unique_ptr<QWidget>()>;

    explicit KeptWindow(QString frameAutosaveName = {});
    ~KeptWindow();
    KeptWindow(const KeptWindow &) = delete;
    KeptWindow &operator=(const KeptWindow &) = delete;

    void setFactory(Factory factory) { m_factory = std::move(factory); }

    // Makes the window on the first call; null while there is no factory.
    QWidget *window(UserDefaults &settings);
    // The window if it was made.
    QWidget *existingWindow() const { return m_window.get(); }

private:
    QString m_frameAutosaveName;
    Factory m_factory;
    std::unique_ptr<QWidget> m_window;
};

} // namespace tanvill
