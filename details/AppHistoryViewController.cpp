#include "details/AppHistoryViewController.h"

#include "controls/Label.h"
#include "core/App.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"
#include "store/AppUpdate.h"
#include "store/ChangeLog.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace tanvill {

AppHistoryViewController::AppHistoryViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists)
{
    QFont font = this->font();
    font.setPixelSize(13);
    for (Label *&label : m_labels) {
        label = new Label(this);
        label->setTruncateString(false);
        label->setFont(font);
        label->hide();
    }
    resizeToLines(1);
    NotificationCenter::defaultCenter().addObserver(
        ListsControllerDidReloadApps, this,
        [this](const Notification &notification) {
            const std::optional<AppReload> reload = AppReload::fromUserInfo(notification.userInfo);
            if (m_app && reload && reload->identifiers.contains(m_app->identifier()))
                reloadHistory();
        },
        &m_lists);
}

AppHistoryViewController::~AppHistoryViewController()
{
    if (NotificationCenter *center = SharedInstance<NotificationCenter>::find())
        center->removeObservers(this);
}

void AppHistoryViewController::setApp(App *app)
{
    m_app = app;
    reloadHistory();
}

void AppHistoryViewController::reloadHistory()
{
    for (Label *label : m_labels) {
        label->setStringValue(QString());
        label->hide();
    }
    m_lineCount = 0;
    if (!m_app)
        return;
    AppUpdate update(m_app->name(), m_app->priceChange(), m_app->ratingChange(),
                     m_app->versionChange());
    update.currencyCode = m_app->currencyCode();
    const auto setter = [this](int index) {
        return [this, index](const QString &text) {
            m_labels[size_t(index)]->setStringValue(text);
        };
    };
    const auto adder = [this](int index) {
        return [this, index] {
            showLine(index);
        };
    };
    ChangeLog::updateDescription(setter(0), adder(0), setter(1), adder(1), setter(2), adder(2),
                                 update, true, [this](int lines) { resizeToLines(lines); });
}

void AppHistoryViewController::showLine(int index)
{
    m_labels[size_t(index)]->show();
    m_lineCount = std::max(m_lineCount, index + 1);
}

void AppHistoryViewController::resizeToLines(int lines)
{
    int textWidth = 0;
    for (Label *label : m_labels) {
        if (!label->isHidden())
            textWidth
                = std::max(textWidth, label->fontMetrics().horizontalAdvance(label->fullString()));
    }
    int width = std::max(kMinimumWidth, textWidth + 2 * kSideMargin);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width());
    for (int i = 0; i < int(m_labels.size()); ++i) {
        m_labels[size_t(i)]->setGeometry(kSideMargin, kFirstLineTop + i * kLinePitch,
                                         std::max(0, width - 2 * kSideMargin), kLineHeight);
    }
    setFixedSize(width, heightForLines(std::clamp(lines, 1, 3)));
}

} // namespace tanvill
