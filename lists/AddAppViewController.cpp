#include "lists/AddAppViewController.h"

#include "controls/BorderedButton.h"
#include "lists/MainViewController.h"
#include "lists/SearchResultsViewController.h"
#include "platform/Strings.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace tanvill {

namespace {

constexpr int kButtonWidth = 74;
constexpr int kControlHeight = 30;

BorderedButton *makeButton(const QString &title, QWidget *parent)
{
    auto *button = new BorderedButton(parent);
    QFont buttonFont = button->font();
    buttonFont.setPixelSize(13);
    button->setFont(buttonFont);
    button->setTitle(title);
    button->setWidthConstraint(kButtonWidth);
    button->setFixedHeight(kControlHeight);
    return button;
}

} // namespace

AddAppViewController::AddAppViewController(QWidget *parent)
    : QWidget(parent), m_searchTextField(new QLineEdit(this)),
      m_goButton(makeButton(Strings::localized(QStringLiteral("Search")), this)),
      m_cancelButton(makeButton(Strings::localized(QStringLiteral("Cancel")), this))
{
    setFixedHeight(kHeight);
    m_searchTextField->setObjectName(QStringLiteral("searchTextField"));
    m_searchTextField->setPlaceholderText(
        Strings::localized(QStringLiteral("AddAppFieldPlaceholder")));
    m_searchTextField->setClearButtonEnabled(true);
    m_searchTextField->setFixedHeight(kControlHeight);
    QFont fieldFont = m_searchTextField->font();
    fieldFont.setPixelSize(14);
    m_searchTextField->setFont(fieldFont);
    m_searchTextField->setStyleSheet(
        QStringLiteral("QLineEdit { background: #1c1c1e; color: #eeeeee; border: 1px solid #4a4a4e;"
                       " border-radius: 6px; padding: 0 8px; selection-background-color: #2f6fd6; }"
                       "QLineEdit:focus { border: 1px solid #2f6fd6; }"
                       "QLineEdit:disabled { color: #808084; border-color: #3a3a3c; }"));
    m_goButton->setEnabled(false);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);
    layout->addWidget(m_searchTextField, 1);
    layout->addWidget(m_goButton);
    layout->addWidget(m_cancelButton);

    connect(m_searchTextField, &QLineEdit::textChanged, this,
            &AddAppViewController::controlTextDidChange);
    connect(m_searchTextField, &QLineEdit::returnPressed, this, [this] {
        if (m_goButton->isEnabled())
            go();
    });
    connect(m_goButton, &QAbstractButton::clicked, this, &AddAppViewController::go);
    connect(m_cancelButton, &QAbstractButton::clicked, this,
            &AddAppViewController::dismissController);
}

AddAppViewControllerDelegate *AddAppViewController::delegate() const
{
    return m_delegateObject ? m_delegate : nullptr;
}

void AddAppViewController::setDelegate(AddAppViewControllerDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject *>(delegate);
}

void AddAppViewController::setSearchResultsController(SearchResultsViewController *controller)
{
    m_searchResults = controller;
    m_cancelButton->setTitle(Strings::localized(QStringLiteral("Done")));
}

SearchResultsViewController *AddAppViewController::searchResultsController() const
{
    return m_searchResults;
}

MainViewController *AddAppViewController::presentingViewController() const
{
    return m_presenting;
}

bool AddAppViewController::isPresented() const
{
    return m_presenting && !m_dismissing;
}

void AddAppViewController::setPresentingViewController(MainViewController *presenting)
{
    m_presenting = presenting;
    m_dismissing = false;
}

bool AddAppViewController::isStoreLink(const QString &text)
{
    QString host = QString::fromLatin1(kStoreWebHost);
    host.replace(QLatin1Char('.'), QStringLiteral("\\."));
    static const QRegularExpression pattern(
        QStringLiteral("(%1\\/)([a-z]{2,3}\\/)|([a-z].+\\/)id[0-9]+").arg(host),
        QRegularExpression::CaseInsensitiveOption);
    return pattern.isValid() && pattern.match(text).hasMatch();
}

bool AddAppViewController::isStoreIdentifier(const QString &text)
{
    // \z, not \Z: a line break after the digits is not part of an identifier.
    static const QRegularExpression pattern(QStringLiteral("\\A[0-9]{9,10}\\z"));
    return pattern.isValid() && pattern.match(text).hasMatch();
}

std::optional<QString> AddAppViewController::submittedIdentifier(const QString &text)
{
    if (isStoreLink(text)) {
        // Only the digits are the identifier, whatever the case of the "id" before them.
        static const QRegularExpression identifierPart(QStringLiteral("id([0-9]{9,10})"),
                                                       QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch match = identifierPart.match(text);
        if (match.hasMatch())
            return match.captured(1);
        // A link without an identifier of nine or ten digits is searched for as typed.
        return std::nullopt;
    }
    if (isStoreIdentifier(text))
        return text;
    return std::nullopt;
}

void AddAppViewController::go()
{
    AddAppViewControllerDelegate *target = delegate();
    if (!target)
        return;
    const QString text = m_searchTextField->text();
    if (const std::optional<QString> identifier = submittedIdentifier(text))
        target->addAppViewControllerSubmittedIdentifier(this, *identifier);
    else
        target->addAppViewControllerSubmittedAppName(this, text);
}

void AddAppViewController::controlTextDidChange(const QString &text)
{
    m_goButton->setEnabled(!text.isEmpty());
    const bool names = isStoreLink(text) || isStoreIdentifier(text);
    m_goButton->setTitle(
        Strings::localized(names ? QStringLiteral("Add") : QStringLiteral("Search")));
}

void AddAppViewController::viewDidAppear()
{
    m_searchTextField->setFocus(Qt::OtherFocusReason);
    if (AddAppViewControllerDelegate *target = delegate())
        target->addAppViewControllerDidAppear(this);
}

void AddAppViewController::viewWillDisappear()
{
    if (AddAppViewControllerDelegate *target = delegate())
        target->addAppViewControllerDidDisappear(this);
}

void AddAppViewController::dismissController()
{
    const QPointer<SearchResultsViewController> results = m_searchResults;
    if (m_presenting)
        m_presenting->dismissViewController(this);
    if (results && results->presentingViewController())
        results->presentingViewController()->dismissViewController(results);
}

void AddAppViewController::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && isEnabled()) {
        dismissController();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace tanvill
