#pragma once

#include <QColor>
#include <QWidget>

namespace tanvill {

class Label;

// A capsule (its ends are half circles whatever its size) holding a price label; the
// archive window's rows show the price an application had with it.
class ArchivePriceBadge : public QWidget
{
    Q_OBJECT
public:
    explicit ArchivePriceBadge(QWidget *parent = nullptr);

    // The label inside the capsule, laid out to fill it with a small margin.
    Label *label() const { return m_label; }

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    qreal cornerRadius() const { return height() * 0.5; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Label *m_label; // a child, owned by the badge
    QColor m_color = QColor(0, 0, 0, 40);
};

} // namespace tanvill
