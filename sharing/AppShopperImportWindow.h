#pragma once

// The wish-list import window: a dark window holding the import guide, which keeps its place
// between openings. The application delegate opens one from the menu and keeps it in a
// QPointer; the window deletes itself once closed, and its completion handler runs once, when
// it closes, whether the user closed it at any step or the guide did after importing.

#include <QWidget>

#include <functional>

namespace tanvill {

class ASImportGuideViewController;
class ListsController;

class AppShopperImportWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AppShopperImportWindow(ListsController &lists, QWidget *parent = nullptr);
    ~AppShopperImportWindow() override;

    ASImportGuideViewController *guide() const { return m_guide; }
    void setCompletionHandler(std::function<void()> handler);

    // Shows the window and brings it to the front. It first opens where it was last closed, or
    // centred on the screen of `mainWindow` when that place is not on a screen now; Escape
    // and Ctrl+W close it.
    void showWindow(const QWidget *mainWindow = nullptr);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void place(const QWidget *mainWindow);
    void saveFrame();

    ASImportGuideViewController *m_guide;
    bool m_placed = false;
    // Centred because the place it was left at is off every screen now: that is no choice of
    // the user's, so it is not saved over their place unless they move the window.
    bool m_fitted = false;
};

} // namespace tanvill
