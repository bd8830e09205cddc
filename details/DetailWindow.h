#pragma once

// One detail window: a dark top-level window whose content is an AppDetailViewController. It
// tells its manager when it closes and when it gains or loses the keyboard focus; the manager
// owns it and deletes it after it closed.

#include <QWidget>

namespace tanvill {

class AppDetailViewController;
class ListsController;

class DetailWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DetailWindow(ListsController &lists, QWidget *parent = nullptr);

    AppDetailViewController *contentViewController() const { return m_content; }

    static constexpr QSize kDefaultSize { 760, 820 };
    // The smallest size the content is laid out for. On a screen that cannot hold it (a small
    // one at twice the scale) the window may be made as small as its header over a few lines
    // of its content, which scrolls, and never needs more than the screen.
    static constexpr QSize kMinimumSize { 460, 600 };
    static constexpr int kSmallScreenMinimumHeight = 320;

    void setVisible(bool visible) override;

signals:
    void willClose(DetailWindow *window);
    void didBecomeKey(DetailWindow *window);
    void didResignKey(DetailWindow *window);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void fitMinimumSizeToScreen();

    AppDetailViewController *m_content;
    bool m_followsScreen = false;
};

} // namespace tanvill
