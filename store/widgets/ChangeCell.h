#pragma once

// One row of the Latest Changes window: an application's name and one line per change of its
// AppUpdate. Its identifier ("ChangeCell_1" … "ChangeCell_3") says how many change lines it has.

#include "controls/Label.h"
#include "controls/TableRowView.h"
#include "store/AppUpdate.h"

#include <QPointer>

#include <optional>

namespace tanvill {

class ChangeCell : public TableRowView
{
    Q_OBJECT

public:
    // The cell identifier and row height for an update with this many changes.
    static QString identifierFor(int numberOfChanges);
    static double rowHeightFor(int numberOfChanges);

    ChangeCell(const QString &identifier, QWidget *parent = nullptr);

    Label *nameLabel() const { return m_nameLabel; }
    Label *changeOneLabel() const { return m_changeOneLabel; }
    Label *changeTwoLabel() const { return m_changeTwoLabel; }
    Label *changeThreeLabel() const { return m_changeThreeLabel; }

    const std::optional<AppUpdate> &update() const { return m_update; }
    // Writes the name and the long change texts; none leaves the labels as they are.
    void setUpdate(const std::optional<AppUpdate> &update);

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPointer<Label> m_nameLabel;
    QPointer<Label> m_changeOneLabel;
    QPointer<Label> m_changeTwoLabel;
    QPointer<Label> m_changeThreeLabel;
    std::optional<AppUpdate> m_update;
};

} // namespace tanvill
