#pragma once

#include <QPixmap>
#include <QRect>
#include <QWidget>

#include <vector>

namespace tanvill {

// A picture laid over a bar while widgets in it swap places: the bar's own background, then
// each widget drawn from a snapshot, faded and scaled about its centre. The add button and
// the add field trade places under one while the real widgets already stand as they will end.
class TransitionOverlay : public QWidget
{
    Q_OBJECT
public:
    enum class Motion { Appearing, Disappearing };

    // Covers `host` and draws its background; made hidden, show() puts it on top.
    explicit TransitionOverlay(QWidget *host);

    // Takes a snapshot of `source` (a child of the host) where it stands now.
    void addLayer(QWidget *source, Motion motion);

    // 0 at the start of the motion, 1 at its end.
    void setProgress(qreal progress);
    qreal progress() const { return m_progress; }

    // How a layer stands at `progress`: opacity 0 to 1 (appearing) or back, linear; scale
    // through 1.25, 0.9, 1 (appearing) or 1, 0.9, 1.25, at 0, 0.33 and 1, eased out.
    static qreal opacityAt(Motion motion, qreal progress);
    static qreal scaleAt(Motion motion, qreal progress);

    static constexpr int kDuration = 150;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Layer
    {
        QPixmap image;
        QRect rect;
        Motion motion;
    };

    void takeBackground();

    QWidget *m_host;
    QPixmap m_background;
    std::vector<Layer> m_layers;
    qreal m_progress = 0.0;
};

} // namespace tanvill
