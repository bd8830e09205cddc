#include "sharing/AppShopperImportWindow.h"

#include "controls/WindowPlacement.h"
#include "controls/WindowShortcuts.h"
#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ASImportGuideViewController.h"
#include "sharing/ASUserViewController.h"

#include <QCloseEvent>

namespace tanvill {

namespace {

const QString kFrameKey = windowFrameSettingsKey(QStringLiteral("ASImportWindowFrame"));

} // namespace

AppShopperImportWindow::AppShopperImportWindow(ListsController &lists, QWidget *parent)
    : QWidget(parent, Qt::Window), m_guide(new ASImportGuideViewController(lists, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Strings::localized(QStringLiteral("ASImportWindowTitle")));
    setAutoFillBackground(true);
    // The first step's size, so that the window is placed by the size it opens with.
    resize(ASUserViewController::kSize);
    closeWindowOnStandardKeys(this, true);
    keepOnScreen(this);
}

AppShopperImportWindow::~AppShopperImportWindow() = default;

void AppShopperImportWindow::setCompletionHandler(std::function<void()> handler)
{
    m_guide->completionHandler = std::move(handler);
}

void AppShopperImportWindow::showWindow(const QWidget *mainWindow)
{
    if (!m_placed) {
        m_placed = true;
        place(mainWindow);
    }
    show();
    raise();
    activateWindow();
}

void AppShopperImportWindow::place(const QWidget *mainWindow)
{
    const QStringList saved = UserDefaults::standard().string(kFrameKey).split(QLatin1Char(' '));
    if (saved.size() == 2) {
        bool okX = false, okY = false;
        const QPoint position(saved[0].toInt(&okX), saved[1].toInt(&okY));
        // Where it was left, unless that place is off every screen now (a screen gone, a
        // smaller one): the frame is that of the main window, as the window manager draws it.
        QRect frame(position, size());
        if (mainWindow && mainWindow->isVisible())
            frame.adjust(0, 0, mainWindow->frameGeometry().width() - mainWindow->width(),
                         mainWindow->frameGeometry().height() - mainWindow->height());
        if (okX && okY && frameLiesOnScreen(frame)) {
            move(position);
            return;
        }
    }
    centreOnScreen(this, screenOfWindow(mainWindow), mainWindow);
    m_fitted = saved.size() == 2;
}

void AppShopperImportWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_guide->setGeometry(rect());
}

void AppShopperImportWindow::closeEvent(QCloseEvent *event)
{
    saveFrame();
    QWidget::closeEvent(event);
}

void AppShopperImportWindow::saveFrame()
{
    if (m_fitted && standsWherePlaced(*this))
        return;
    // pos() includes the window frame, as move() expects it back.
    UserDefaults::standard().setValue(kFrameKey,
                                      QStringLiteral("%1 %2").arg(pos().x()).arg(pos().y()));
}

} // namespace tanvill
