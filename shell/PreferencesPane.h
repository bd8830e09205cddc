#pragma once

// The common form of the preference panes: a two-column grid with right-aligned section
// titles on the left and the settings on the right, dimmed notes under a setting, and the
// label and icon under which the preferences window lists the pane.

#include <QString>
#include <QWidget>

class QGridLayout;
class QLabel;
class QLayout;

namespace tanvill {

class PreferencesPane : public QWidget
{
    Q_OBJECT
public:
    PreferencesPane(const QString &label, const QString &iconName, QWidget *parent = nullptr);

    // The pane's name in the toolbar and the window's title while it is shown.
    QString label() const { return m_label; }
    // The drawing of its toolbar button (see controls/Images.h).
    QString iconName() const { return m_iconName; }

    static constexpr int kTextPixelSize = 13;
    static constexpr int kNotePixelSize = 11;

protected:
    // Adds a row with `title` (may be empty) on the left and `field` on the right.
    void addRow(const QString &title, QWidget *field);
    void addRow(const QString &title, QLayout *field);
    // A row across both columns.
    void addWideRow(QWidget *field);
    // A dimmed, wrapped note under the previous row's setting.
    QLabel *addNote(const QString &text);
    // Space between groups of rows.
    void addSeparation();

    QLabel *makeTitle(const QString &text) const;

private:
    int nextRow() const;

    QString m_label;
    QString m_iconName;
    QGridLayout *m_grid = nullptr;
};

} // namespace tanvill
