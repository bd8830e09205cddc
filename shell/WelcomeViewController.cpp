#include "shell/WelcomeViewController.h"

#include "controls/TextFieldLength.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/TextLimits.h"
#include "core/Theme.h"
#include "platform/Strings.h"

#include <QBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

namespace tanvill {

namespace {

QLabel *makeLabel(const QString &text, int pixelSize, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

} // namespace

WelcomeViewController::WelcomeViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent, Qt::Window), m_lists(lists)
{
    setWindowTitle(Strings::localized("WelcomeWindowTitle"));
    setFixedSize(kWidth, kHeight);

    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/com.tanvill.Tanvill.svg")).pixmap(96, 96));
    icon->setAlignment(Qt::AlignHCenter);
    auto *title = makeLabel(Strings::localized("WelcomeTitle"), 24, true, this);
    auto *message = makeLabel(Strings::localized("WelcomeMessage"), 13, false, this);
    QPalette dimmed = message->palette();
    dimmed.setColor(QPalette::WindowText, palette().color(QPalette::PlaceholderText).lighter(130));
    message->setPalette(dimmed);

    m_nameField = new QLineEdit(this);
    m_nameField->setPlaceholderText(Strings::localized("WelcomeNamePlaceholder"));
    m_nameField->setMinimumHeight(30);
    // No longer than a list's name is kept, so that the name typed is the name read back.
    limitTextLength(m_nameField, TextLimits::kShortText);
    m_createButton = new QPushButton(Strings::localized("WelcomeCreateButton"), this);
    m_createButton->setMinimumHeight(30);
    m_createButton->setMinimumWidth(110);
    // An empty name cannot be created: the button waits for the first character.
    m_createButton->setEnabled(false);
    m_createButton->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 36, 48, 32);
    layout->setSpacing(0);
    layout->addWidget(icon);
    layout->addSpacing(14);
    layout->addWidget(title);
    layout->addSpacing(8);
    layout->addWidget(message);
    layout->addStretch(1);
    layout->addWidget(m_nameField);
    layout->addSpacing(14);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_createButton);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(m_nameField, &QLineEdit::textChanged, this,
            &WelcomeViewController::controlTextDidChange);
    connect(m_nameField, &QLineEdit::returnPressed, this, &WelcomeViewController::createWishlist);
    connect(m_createButton, &QPushButton::clicked, this, &WelcomeViewController::createWishlist);
}

void WelcomeViewController::controlTextDidChange()
{
    m_createButton->setEnabled(!m_created && List::isNameable(m_nameField->text()));
}

void WelcomeViewController::createWishlist()
{
    // A second click, or Return after a click, before the window has gone creates nothing.
    const QString name = m_nameField->text();
    if (m_created || !List::isNameable(name))
        return;
    m_created = true;
    m_createButton->setEnabled(false);
    m_lists.createList(name, ThemeName::Yellow);
    if (m_listCreated)
        m_listCreated();
    close();
}

void WelcomeViewController::showEvent(QShowEvent *event)
{
    // Shown again (the lists were all gone): a fresh start.
    if (m_created) {
        m_created = false;
        m_nameField->clear();
    }
    m_nameField->setFocus();
    QWidget::showEvent(event);
}

void WelcomeViewController::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && windowHandle()) {
        windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace tanvill
