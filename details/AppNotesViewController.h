#pragma once

// The content of the detail window's notes popover: the user's own notes on one application,
// as plain text (pasted formatting is dropped), with the placeholder "None" while empty. The
// text view is as high as its text, up to the screen's height, and scrolls beyond. Every edit
// is written into the application at once and the store is saved when the popover goes, so
// neither a quit nor the window closing under the popover loses what was typed. The detail
// view makes a new one each time the notes are opened.

#include <QWidget>

class QPlainTextEdit;

namespace tanvill {

class App;
class ListsController;

class AppNotesViewController : public QWidget
{
    Q_OBJECT
public:
    explicit AppNotesViewController(ListsController &lists, QWidget *parent = nullptr);
    ~AppNotesViewController() override;

    App *app() const { return m_app; }
    // Shows the application's notes (empty when it has none).
    void setApp(App *app);

    QPlainTextEdit *textView() const { return m_textView; }
    // The height the text view is given now.
    int textViewHeight() const;

    static constexpr int kWidth = 300;
    static constexpr int kMargin = 10;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void textDidChange();
    void fitTextViewHeight();
    // Writes the text into the application and saves the store, once per opening.
    void finish();

    ListsController &m_lists;
    App *m_app = nullptr;
    QPlainTextEdit *m_textView;
    bool m_finished = false;
    bool m_filling = false;
};

} // namespace tanvill
