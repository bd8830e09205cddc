#include "store/widgets/TrayNotificationPresenter.h"

#include <QApplication>
#include <QStyle>
#include <QSystemTrayIcon>

namespace tanvill {

TrayNotificationPresenter::TrayNotificationPresenter() = default;
TrayNotificationPresenter::~TrayNotificationPresenter() = default;

void TrayNotificationPresenter::present(const UserNotification &notification,
                                        std::function<void()> activated,
                                        std::function<void()> failed)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages()) {
        failed();
        return;
    }
    if (!m_icon) {
        QIcon icon = QApplication::windowIcon();
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
        m_icon = std::make_unique<QSystemTrayIcon>(icon);
        connect(m_icon.get(), &QSystemTrayIcon::messageClicked, this, [this] {
            if (m_activated)
                m_activated();
        });
    }
    m_activated = std::move(activated);
    m_icon->show();
    m_icon->showMessage(notification.title, notification.informativeText,
                        QSystemTrayIcon::Information);
}

} // namespace tanvill
