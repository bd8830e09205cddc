#include "controls/SheetFit.h"

#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QWindow>

#include <algorithm>

namespace tanvill {

namespace {

class SheetFitter : public QObject
{
public:
    explicit SheetFitter(QDialog *sheet) : QObject(sheet) { sheet->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A message box sizes itself as it shows, after the show event reached this filter:
        // its resize is where it is fitted.
        if ((event->type() == QEvent::Show || event->type() == QEvent::Resize) && !m_fitting) {
            m_fitting = true;
            auto *sheet = static_cast<QDialog *>(watched);
            fit(sheet, sheet->windowHandle() && sheet->windowHandle()->isExposed());
            m_fitting = false;
        }
        return false;
    }

private:
    static void fit(QDialog *sheet, bool shown)
    {
        const QWidget *parent = sheet->parentWidget();
        const QWidget *window = parent ? parent->window() : nullptr;
        if (!window || !window->isVisible())
            return;
        const int room = window->width();
        if (sheet->width() > room)
            narrow(sheet, room);
        // Centred over the window's content as it opens; once on screen, it keeps its top as it
        // grows or shrinks.
        const QRect content = window->geometry();
        const int top = shown ? sheet->geometry().y()
                              : content.top() + (content.height() - sheet->height()) / 2;
        const QPoint origin(content.left() + (content.width() - sheet->width()) / 2,
                            std::max(top, content.top()));
        if (origin != sheet->geometry().topLeft())
            sheet->move(origin - (sheet->geometry().topLeft() - sheet->pos()));
    }

    static void narrow(QDialog *sheet, int width)
    {
        // Every text of the sheet wraps to the narrower width.
        for (QLabel *label : sheet->findChildren<QLabel *>()) {
            if (!label->text().isEmpty() && label->textFormat() != Qt::RichText)
                label->setWordWrap(true);
        }
        QLayout *layout = sheet->layout();
        if (!layout) {
            sheet->setFixedWidth(width);
            return;
        }
        layout->activate();
        const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                       : layout->totalMinimumSize().height();
        if (qobject_cast<QMessageBox *>(sheet) || sheet->minimumWidth() == sheet->maximumWidth())
            sheet->setFixedSize(width, height);
        else
            sheet->resize(width, std::max(height, sheet->minimumHeight()));
    }

    bool m_fitting = false;
};

} // namespace

void keepSheetInsideWindow(QDialog *sheet)
{
    if (sheet)
        new SheetFitter(sheet);
}

} // namespace tanvill
