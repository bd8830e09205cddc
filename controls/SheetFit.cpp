#include "controls/SheetFit.h"

#include "controls/WindowPlacement.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QWindow>

#include <algorithm>

namespace tanvill {

namespace {

// A window manager may put a sheet it has just mapped elsewhere than where the sheet was placed,
// even at the screen's corner with its title bar off the screen. For this long after it is
// shown, a sheet the window system moves off the screen or away from its window is placed
// again, a few times at most: later moves are the user's.
constexpr int kSettleMilliseconds = 2000;
constexpr int kMaxPlacements = 3;

class SheetFitter : public QObject
{
public:
    explicit SheetFitter(QDialog *sheet) : QObject(sheet) { sheet->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Asked of every event, those of the sheet's destruction too, when it is a dialog no
        // more.
        auto *sheet = qobject_cast<QDialog *>(watched);
        if (m_fitting || !sheet)
            return false;
        switch (event->type()) {
        case QEvent::Show:
            m_shown.start();
            m_placements = 0;
            [[fallthrough]];
        case QEvent::Resize:
            // A message box sizes itself as it shows, after the show event reached this filter:
            // its resize is where it is fitted.
            fitNow(sheet, sheet->windowHandle() && sheet->windowHandle()->isExposed());
            break;
        case QEvent::Move:
            if (event->spontaneous() && m_shown.isValid() && m_shown.elapsed() < kSettleMilliseconds
                && m_placements < kMaxPlacements && strayed(*sheet)) {
                ++m_placements;
                fitNow(sheet, false);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void fitNow(QDialog *sheet, bool shown)
    {
        m_fitting = true;
        fit(sheet, shown);
        m_fitting = false;
    }

    static const QWidget *windowOf(const QDialog &sheet)
    {
        const QWidget *parent = sheet.parentWidget();
        const QWidget *window = parent ? parent->window() : nullptr;
        return window && window->isVisible() ? window : nullptr;
    }

    // Off the screen, or nowhere over the window it belongs to.
    static bool strayed(const QDialog &sheet)
    {
        const QWidget *window = windowOf(sheet);
        const QRect frame = sheet.frameGeometry();
        return window && (!frameLiesOnScreen(frame) || !frame.intersects(window->frameGeometry()));
    }

    static void fit(QDialog *sheet, bool shown)
    {
        const QWidget *window = windowOf(*sheet);
        if (!window)
            return;
        const int room = window->width();
        if (sheet->width() > room)
            narrow(sheet, room);
        // Centred over the window's content as it opens; once on screen, it keeps its top as it
        // grows or shrinks. On the screen either way.
        placeOverWindow(sheet, window, shown);
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
    QElapsedTimer m_shown;
    int m_placements = 0;
};

} // namespace

void keepSheetInsideWindow(QDialog *sheet)
{
    if (sheet)
        new SheetFitter(sheet);
}

} // namespace tanvill
