#include "store/widgets/ChangeCell.h"

#include "controls/Label.h"
#include "store/ChangeLog.h"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace tanvill {

QString ChangeCell::identifierFor(int numberOfChanges)
{
    switch (numberOfChanges) {
    case 1:
        return QStringLiteral("ChangeCell_1");
    case 2:
        return QStringLiteral("ChangeCell_2");
    default:
        return QStringLiteral("ChangeCell_3");
    }
}

double ChangeCell::rowHeightFor(int numberOfChanges)
{
    switch (numberOfChanges) {
    case 1:
        return 64.0;
    case 2:
        return 89.0;
    default:
        return 114.0;
    }
}

ChangeCell::ChangeCell(const QString &identifier, QWidget *parent) : TableRowView(parent)
{
    setObjectName(identifier);
    setIdentifier(identifier);
    const int changeLines = identifier == QLatin1String("ChangeCell_1") ? 1
        : identifier == QLatin1String("ChangeCell_2")                   ? 2
                                                                        : 3;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 8, 14, 8);
    layout->setSpacing(0);

    m_nameLabel = new Label(this);
    QFont nameFont = m_nameLabel->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.1);
    m_nameLabel->setFont(nameFont);
    m_nameLabel->setFixedHeight(23);
    layout->addWidget(m_nameLabel);

    QPointer<Label> *changeLabels[] = { &m_changeOneLabel, &m_changeTwoLabel, &m_changeThreeLabel };
    for (int i = 0; i < changeLines; ++i) {
        auto *label = new Label(this);
        label->setFixedHeight(25);
        layout->addWidget(label);
        *changeLabels[i] = label;
    }
    layout->addStretch();
}

void ChangeCell::setUpdate(const std::optional<AppUpdate> &update)
{
    m_update = update;
    if (!update)
        return;
    if (m_nameLabel)
        m_nameLabel->setStringValue(update->app);
    const auto setter = [](const QPointer<Label> &label) -> ChangeLog::LabelSetter {
        if (!label)
            return {};
        return [label](const QString &text) {
            if (label)
                label->setStringValue(text);
        };
    };
    ChangeLog::updateDescription(setter(m_changeOneLabel), {}, setter(m_changeTwoLabel), {},
                                 setter(m_changeThreeLabel), {}, *update, true);
}

void ChangeCell::mousePressEvent(QMouseEvent *event)
{
    // The window moves by its background, rows included.
    if (event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        event->accept();
        return;
    }
    TableRowView::mousePressEvent(event);
}

} // namespace tanvill
