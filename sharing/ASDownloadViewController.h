#pragma once

#include <QProgressBar>
#include <QWidget>

namespace tanvill {

class Label;

// The import window's second step: what the download is doing, and a bar that turns from busy
// to a percentage once the look-ups start. It only shows what the guide sets.
class ASDownloadViewController : public QWidget
{
    Q_OBJECT
public:
    explicit ASDownloadViewController(QWidget *parent = nullptr);

    QProgressBar *progressIndicator() const { return m_progressIndicator; }
    Label *label() const { return m_label; }

    QString text() const { return m_text; }
    void setText(const QString &text);
    // -1 until set; the bar is busy until then. Values outside 0…100 are shown clamped.
    double percentage() const { return m_percentage; }
    void setPercentage(double percentage);

    static constexpr QSize kSize { 440, 116 };

private:
    QProgressBar *m_progressIndicator;
    Label *m_label;
    QString m_text;
    double m_percentage = -1.0;
};

} // namespace tanvill
