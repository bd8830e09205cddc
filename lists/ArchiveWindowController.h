#pragma once

// Keeps the archive window: made on first use, then shown, closed and shown again for the
// rest of the run, with its place and size kept between runs under "ArchiveWindowFrame".
// The application delegate keeps one and calls showWindow() for the menu item that shows the
// archive; its content is an ArchiveViewController.

#include <QString>

#include <memory>

class QMainWindow;

namespace tanvill {

class ArchiveViewController;
class ListsController;
class UserDefaults;

class ArchiveWindowController
{
public:
    static inline const QString kFrameAutosaveName = QStringLiteral("ArchiveWindowFrame");
    static constexpr int kDefaultWidth = 440;
    static constexpr int kDefaultHeight = 560;

    // Makes no window yet. `lists` and `settings` must outlive the controller.
    ArchiveWindowController(ListsController &lists, UserDefaults &settings);
    ~ArchiveWindowController();
    ArchiveWindowController(const ArchiveWindowController &) = delete;
    ArchiveWindowController &operator=(const ArchiveWindowController &) = delete;

    // The window, made on the first call (hidden) and the same one on every later call.
    QMainWindow *window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    // The window's content; makes the window when it was not made yet.
    ArchiveViewController *contentViewController();

    // Shows the window, making it first when needed, and brings it to the front.
    void showWindow();

private:
    ListsController &m_lists;
    UserDefaults &m_settings;
    std::unique_ptr<QMainWindow> m_window;
    ArchiveViewController *m_content = nullptr;
};

} // namespace tanvill
