#include "sharing/ASDownloadViewController.h"

#include "controls/Label.h"
#include "platform/Strings.h"

#include <cmath>

namespace tanvill {

ASDownloadViewController::ASDownloadViewController(QWidget *parent)
    : QWidget(parent), m_progressIndicator(new QProgressBar(this)), m_label(new Label(this))
{
    setFixedSize(kSize);
    m_label->setStringValue(Strings::localized(QStringLiteral("ASImportDownloadStarting")));
    m_label->setGeometry(24, 28, kSize.width() - 48, 20);
    m_progressIndicator->setTextVisible(false);
    m_progressIndicator->setGeometry(24, 62, kSize.width() - 48, 14);
    // Busy until the first percentage arrives.
    m_progressIndicator->setRange(0, 0);
}

void ASDownloadViewController::setText(const QString &text)
{
    m_text = text;
    m_label->setStringValue(text);
}

void ASDownloadViewController::setPercentage(double percentage)
{
    m_percentage = percentage;
    m_progressIndicator->setRange(0, 100);
    m_progressIndicator->setValue(
        std::isfinite(percentage) ? qBound(0, int(std::lround(percentage)), 100) : 0);
}

} // namespace tanvill
