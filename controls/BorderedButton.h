#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tanvill {

// A rounded, outlined button with a filled pressed state and a greyed disabled state, which
// can widen itself to fit its title but never narrows. The price buttons of application rows
// and detail windows, the add button of a search result and the rating prompt's answers.
class BorderedButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit BorderedButton(QWidget *parent = nullptr);

    // Border and title colour, and the fill while pressed; white until set.
    QColor tintColor() const { return m_tintColor; }
    void setTintColor(const QColor &color);
    // Title colour while pressed; a dark grey until set.
    QColor alternateTintColor() const { return m_alternateTintColor; }
    void setAlternateTintColor(const QColor &color);

    // A width the button keeps (-1: none, the layout decides). Once set, each change of title
    // or font widens it to the title's width plus 20 when that is wider; it never shrinks.
    int widthConstraint() const { return m_widthConstraint; }
    void setWidthConstraint(int width);

    // The colours as drawn now.
    QColor backgroundColor() const { return m_backgroundColor; }
    QColor borderColor() const { return m_borderColor; }
    QColor titleColor() const { return m_titleColor; }

    void setTitle(const QString &title);
    QString title() const { return text(); }

    static constexpr qreal kCornerRadius = 6.0;
    static constexpr int kDefaultPixelSize = 15;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateAppearance();
    void updateColors();
    int titleWidth() const;

    QColor m_tintColor = Qt::white;
    QColor m_alternateTintColor = QColor::fromRgbF(0.224f, 0.224f, 0.224f);
    QColor m_backgroundColor = Qt::transparent;
    QColor m_borderColor = Qt::white;
    QColor m_titleColor = Qt::white;
    int m_widthConstraint = -1;
};

} // namespace tanvill
