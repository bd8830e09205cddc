#include "controls/ProgressHUD.h"

#include "controls/Images.h"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QLabel>
#include <QPropertyAnimation>

namespace tanvill {

namespace {

QString frameName(int frame)
{
    return QStringLiteral("working_animation_%1").arg(frame + 1);
}

} // namespace

ProgressHUD::ProgressHUD(QWidget *parentView)
    : ModalBackgroundView(parentView), m_imageView(new QLabel(this)),
      m_opacity(new QGraphicsOpacityEffect(this))
{
    m_imageView->setFixedSize(kImageSide, kImageSide);
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_imageView, 0, 0, Qt::AlignCenter);

    m_opacity->setOpacity(0.0);
    setGraphicsEffect(m_opacity);

    m_frameTimer.setInterval(400 / kFrameCount);
    connect(&m_frameTimer, &QTimer::timeout, this,
            [this] { showFrame((m_frame + 1) % kFrameCount); });
    showFrame(0);
}

void ProgressHUD::setAnimationDuration(int milliseconds)
{
    m_frameTimer.setInterval(std::max(1, milliseconds / kFrameCount));
}

qreal ProgressHUD::alphaValue() const
{
    return m_opacity->opacity();
}

void ProgressHUD::showFrame(int frame)
{
    m_frame = frame;
    // A missing frame leaves the previous one on screen rather than a hole.
    const QPixmap image
        = Images::pixmap(frameName(frame), QSize(kImageSide, kImageSide), devicePixelRatioF());
    if (!image.isNull())
        m_imageView->setPixmap(image);
}

void ProgressHUD::show()
{
    // Shown again while fading out: the fade-out is dropped, so the next hide must run.
    m_hiding = false;
    m_opacity->setOpacity(0.0);
    ModalBackgroundView::show();
    raise();
    // Shown again, it holds the focus already and keeps where it came from.
    if (window()->focusWidget() != this)
        m_focusReturn.keep(window());
    setFocus(Qt::OtherFocusReason);
    showFrame(0);
    m_frameTimer.start();
    fadeTo(1.0, {});
}

void ProgressHUD::hide()
{
    if (m_hiding)
        return;
    m_hiding = true;
    fadeTo(0.0, [this] {
        m_frameTimer.stop();
        // The user goes on where they were before the work began; given back before the
        // overlay hides, the focus goes nowhere else on the way.
        if (window()->focusWidget() == this)
            m_focusReturn.giveBack();
        ModalBackgroundView::hide();
        setParent(nullptr);
        emit hidden();
        deleteLater();
    });
}

void ProgressHUD::fadeTo(qreal alpha, std::function<void()> done)
{
    if (m_fade)
        m_fade->stop();
    m_fade = new QPropertyAnimation(m_opacity, "opacity", this);
    m_fade->setDuration(m_fadeDuration);
    m_fade->setStartValue(m_opacity->opacity());
    m_fade->setEndValue(alpha);
    if (done)
        connect(m_fade, &QPropertyAnimation::finished, this, std::move(done));
    m_fade->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace tanvill
