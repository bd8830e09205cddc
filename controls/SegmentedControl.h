#pragma once

#include <QStringList>
#include <QWidget>

namespace tanvill {

// A row of touching segments, exactly one of them selected, drawn as one rounded outline with
// the selected segment filled. The search results choose their platform with it.
class SegmentedControl : public QWidget
{
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList &labels, QWidget *parent = nullptr);

    int segmentCount() const { return int(m_labels.size()); }
    QString labelForSegment(int segment) const { return m_labels.value(segment); }
    // The segment shown selected; -1 before one is. Setting a segment that does not exist
    // selects none.
    int selectedSegment() const { return m_selected; }
    void setSelectedSegment(int segment);

    // The part of the control a segment takes.
    QRect segmentRect(int segment) const;

    QSize sizeHint() const override;

signals:
    // The user chose a segment (also the one already selected); selectedSegment() tells which.
    void segmentClicked(int segment);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int segmentAt(const QPoint &point) const;
    void choose(int segment);

    QStringList m_labels;
    int m_selected = -1;
    int m_pressed = -1;
};

} // namespace tanvill
