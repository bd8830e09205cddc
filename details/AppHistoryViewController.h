#pragma once

// The content of the detail window's history popover: what changed at the last refresh of one
// application, one whole line per change (price, rating, version, in that order), as many lines
// as there are changes and one empty line when there is none. Its height follows the lines
// (37, 59 or 81 for one, two or three); its width fits the longest line, so no line is ever
// shortened. While it lives it rebuilds the lines after every refresh that includes its
// application. The detail view makes a new one each time the history is opened.

#include <QString>
#include <QWidget>

#include <array>

namespace tanvill {

class App;
class Label;
class ListsController;

class AppHistoryViewController : public QWidget
{
    Q_OBJECT
public:
    explicit AppHistoryViewController(ListsController &lists, QWidget *parent = nullptr);
    ~AppHistoryViewController() override;

    App *app() const { return m_app; }
    // Rebuilds the lines.
    void setApp(App *app);
    void reloadHistory();

    Label *firstLabel() const { return m_labels[0]; }
    Label *secondLabel() const { return m_labels[1]; }
    Label *thirdLabel() const { return m_labels[2]; }
    // The lines shown now, top to bottom (an empty line counts).
    int lineCount() const { return m_lineCount; }

    // The view's height for n lines.
    static int heightForLines(int lines) { return (lines - 1) * kLinePitch + 20 + kLineHeight; }

    static constexpr int kSideMargin = 15;
    static constexpr int kFirstLineTop = 10;
    static constexpr int kLinePitch = 22;
    static constexpr int kLineHeight = 17;
    static constexpr int kMinimumWidth = 240;

private:
    void showLine(int index);
    void resizeToLines(int lines);

    ListsController &m_lists;
    App *m_app = nullptr;
    std::array<Label *, 3> m_labels {};
    int m_lineCount = 0;
};

} // namespace tanvill
