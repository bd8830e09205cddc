#include "shell/MessageBoxAlertPresenter.h"

#include "controls/SheetFit.h"
#include "platform/Strings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace tanvill {

namespace {

constexpr char kButtonIndex[] = "alertButtonIndex";

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Warning:
        return QMessageBox::Warning;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

QWidget *windowOf(const Alert &alert)
{
    auto *widget = qobject_cast<QWidget *>(alert.window.data());
    return widget ? widget->window() : nullptr;
}

} // namespace

QMessageBox *MessageBoxAlertPresenter::messageBox(const Alert &alert)
{
    QWidget *window = windowOf(alert);
    auto *box = new QMessageBox(window);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    // A sheet never wider than its window.
    keepSheetInsideWindow(box);
    box->setIcon(iconFor(alert.style));
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    // The message stands out above the informative text, as on every desktop's alerts.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    // The informative text has a label of its own, which does not follow the box's format.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);

    const QStringList titles = alert.buttons.isEmpty()
        ? QStringList { Strings::localized(QStringLiteral("OK")) }
        : alert.buttons;
    const int cancel = alert.cancelButtonIndex();
    for (int index = 0; index < titles.size(); ++index) {
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (index == cancel && titles.size() > 1)
            role = QMessageBox::RejectRole;
        else if (index == 0)
            role = QMessageBox::AcceptRole;
        // A title is the alert's text, never a mnemonic.
        QString title = titles[index];
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QPushButton *button = box->addButton(title, role);
        button->setProperty(kButtonIndex, index);
        if (index == 0)
            box->setDefaultButton(button);
        if (index == cancel)
            box->setEscapeButton(button);
    }
    if (alert.showsSuppressionButton)
        box->setCheckBox(new QCheckBox(
            Strings::localized(QStringLiteral("Do not show this message again")), box));
    return box;
}

AlertAnswer MessageBoxAlertPresenter::answer(const QMessageBox &box, const Alert &alert)
{
    AlertAnswer answer;
    // Closed without a button (the window's close button): the cancelling one.
    const QAbstractButton *clicked = box.clickedButton();
    answer.buttonIndex = clicked && clicked->property(kButtonIndex).isValid()
        ? clicked->property(kButtonIndex).toInt()
        : alert.cancelButtonIndex();
    answer.suppressionChecked = box.checkBox() && box.checkBox()->isChecked();
    return answer;
}

void MessageBoxAlertPresenter::presentError(const Error &error, QObject *window,
                                            Completion completion)
{
    present(alertForError(error, window), std::move(completion));
}

void MessageBoxAlertPresenter::present(const Alert &alert, Completion completion)
{
    QMessageBox *box = messageBox(alert);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box,
                     [box, alert, completion = std::move(completion)] {
                         if (completion)
                             completion(answer(*box, alert));
                     });
    box->show();
}

AlertAnswer MessageBoxAlertPresenter::runModal(const Alert &alert)
{
    QMessageBox *box = messageBox(alert);
    // The box may lose its window while it runs; only a box still there is read and deleted.
    QPointer<QMessageBox> guard(box);
    box->exec();
    if (!guard)
        return { alert.cancelButtonIndex(), false };
    const AlertAnswer result = answer(*box, alert);
    delete box;
    return result;
}

} // namespace tanvill
