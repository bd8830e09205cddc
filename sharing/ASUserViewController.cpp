#include "sharing/ASUserViewController.h"

#include "controls/Label.h"
#include "platform/Strings.h"
#include "sharing/SpinningIndicator.h"

#include <QLabel>

namespace tanvill {

ASUserViewController::ASUserViewController(QWidget *parent)
    : QWidget(parent), m_usernameTextField(new QLineEdit(this)),
      m_startButton(new QPushButton(Strings::localized(QStringLiteral("ASImportStart")), this)),
      m_loadingIndicator(new SpinningIndicator(this))
{
    setFixedSize(kSize);
    auto *title = new Label(Strings::localized(QStringLiteral("ASImportUserTitle")), this);
    QFont titleFont = font();
    titleFont.setPixelSize(17);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setGeometry(24, 20, kSize.width() - 48, 26);

    auto *message = new QLabel(Strings::localized(QStringLiteral("ASImportUserMessage")), this);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    QPalette dimmed = message->palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::WindowText).darker(125));
    message->setPalette(dimmed);
    message->setGeometry(24, 52, kSize.width() - 48, 40);

    m_usernameTextField->setPlaceholderText(
        Strings::localized(QStringLiteral("ASImportUserPlaceholder")));
    m_usernameTextField->setGeometry(24, 102, kSize.width() - 48, 28);
    // Nothing to submit until a name is typed.
    m_startButton->setEnabled(false);
    m_startButton->setDefault(true);
    m_startButton->setGeometry(kSize.width() - 24 - 104, 146, 104, 30);
    m_loadingIndicator->setGeometry(m_startButton->x() - 14 - 20, 151, 20, 20);

    connect(m_usernameTextField, &QLineEdit::textChanged, this,
            &ASUserViewController::controlTextDidChange);
    connect(m_usernameTextField, &QLineEdit::returnPressed, this,
            &ASUserViewController::startLoading);
    connect(m_startButton, &QPushButton::clicked, this, &ASUserViewController::startLoading);
    setFocusProxy(m_usernameTextField);
}

void ASUserViewController::controlTextDidChange()
{
    // A name of nothing but spaces names no user; any other goes as typed.
    m_startButton->setEnabled(!m_usernameTextField->text().trimmed().isEmpty());
}

void ASUserViewController::startLoading()
{
    if (!m_startButton->isEnabled() || !m_usernameTextField->isEnabled())
        return;
    m_startButton->setEnabled(false);
    m_usernameTextField->setEnabled(false);
    m_loadingIndicator->startAnimation();
    if (delegate)
        delegate->userViewControllerDidSubmitUsername(this, m_usernameTextField->text());
}

void ASUserViewController::stopLoading()
{
    m_usernameTextField->setEnabled(true);
    controlTextDidChange();
    m_loadingIndicator->stopAnimation();
}

} // namespace tanvill
