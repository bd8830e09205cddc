#pragma once

#include <QStringList>
#include <QWidget>

namespace tanvill {

// Five stars for an application's store rating (0 to 5), full, half or empty, drawn at the
// view's height and touching; ratings below 1 show nothing. Search results and detail
// windows use it.
class RatingView : public QWidget
{
    Q_OBJECT
public:
    explicit RatingView(QWidget *parent = nullptr);

    float rating() const { return m_rating; }
    void setRating(float rating);

    // The names of the star images drawn from left to right; empty below a rating of 1.
    static QStringList starImageNames(float rating);

    QSize sizeHint() const override { return QSize(80, 16); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float m_rating = 0.0f;
};

} // namespace tanvill
