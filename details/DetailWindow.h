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
    static constexpr QSize kMinimumSize { 460, 600 };

signals:
    void willClose(DetailWindow *window);
    void didBecomeKey(DetailWindow *window);
    void didResignKey(DetailWindow *window);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    AppDetailViewController *m_content;
};

} // namespace tanvill
