#pragma once

#include "lists/MainViewController.h"

#include <QMainWindow>

namespace tanvill {

// The main window: the main view controller as its content, its frame kept between runs under
// "MainWindowFrame". The application delegate makes it on first use and keeps it, so that a
// closed main window comes back as it was.
class MainWindowController : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindowController(const MainWindowServices &services, QWidget *parent = nullptr);

    MainViewController *contentViewController() const { return m_content; }

    // Shows the window and brings it to the front; a window with no frame kept opens centred on
    // the screen the user works on.
    void showWindow();

signals:
    // The window's content was painted for the first time.
    void firstPainted();

public:
    static inline const QString kFrameAutosaveName = QStringLiteral("MainWindowFrame");
    static constexpr int kDefaultWidth = 420;
    static constexpr int kDefaultHeight = 640;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MainViewController *m_content;
    bool m_painted = false;
};

} // namespace tanvill
