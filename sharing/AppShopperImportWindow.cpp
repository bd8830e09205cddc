#include "sharing/AppShopperImportWindow.h"

#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ASImportGuideViewController.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

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

    const QStringList frame = UserDefaults::standard().string(kFrameKey).split(QLatin1Char(' '));
    if (frame.size() == 2) {
        bool okX = false, okY = false;
        const QPoint position(frame[0].toInt(&okX), frame[1].toInt(&okY));
        // A screen that has gone since must not take the window with it.
        if (okX && okY && QGuiApplication::screenAt(position))
            move(position);
    }
}

AppShopperImportWindow::~AppShopperImportWindow() = default;

void AppShopperImportWindow::setCompletionHandler(std::function<void()> handler)
{
    m_guide->completionHandler = std::move(handler);
}

void AppShopperImportWindow::showWindow()
{
    show();
    raise();
    activateWindow();
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
    // pos() includes the window frame, as move() expects it back.
    UserDefaults::standard().setValue(kFrameKey,
                                      QStringLiteral("%1 %2").arg(pos().x()).arg(pos().y()));
}

} // namespace tanvill
