#pragma once

#include <QObject>

class QWidget;

namespace tanvill {

// How a controller is laid over the main view and taken away again: the add field's segue and
// the search results' animator. The main view controller keeps the animator of each
// presentation until its dismissal has ended.
class PresentationAnimator : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void animatePresentation(QWidget *presented, QWidget *presenting) = 0;
    virtual void animateDismissal(QWidget *presented, QWidget *presenting) = 0;
    // Ends a transition that is still running at once, in the state it was going to.
    virtual void finishNow() = 0;
    virtual bool isDismissing() const = 0;
};

} // namespace tanvill
