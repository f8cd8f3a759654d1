#include "platform/widgets/step_after_paint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

namespace {

const QEvent::Type kRunStep = static_cast<QEvent::Type>(QEvent::registerEventType());

// How long a window that gets no paint holds its step back: a few frames.
constexpr int kLatestMs = 50;

// Input by which the user acts: a pointer merely passing over the window
// (a move, an enter, a hover) need not wait for the step.
bool actsOnTheProgram(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
        case QEvent::NativeGesture:
            return true;
        default:
            return false;
    }
}

}  // namespace

TStepAfterPaint::TStepAfterPaint(QWidget& window, std::function<void()> step)
    : window_(&window), step_(std::move(step)) {
    // The program's filters see every event, the window's paint and any
    // input before a widget gets it.
    QCoreApplication::instance()->installEventFilter(this);
    if (window.isVisible())
        QTimer::singleShot(kLatestMs, this, [this] { RunNow(); });
    else
        QCoreApplication::postEvent(this, new QEvent(kRunStep));
}

TStepAfterPaint::~TStepAfterPaint() { stopWatching(); }

void TStepAfterPaint::RunNow() {
    if (!step_) return;
    stopWatching();
    // Taken out first: the step may start an event loop (a message box)
    // that would otherwise run it a second time.
    const std::function<void()> step = std::move(step_);
    step_ = nullptr;
    step();
}

void TStepAfterPaint::stopWatching() {
    if (auto* application = QCoreApplication::instance()) application->removeEventFilter(this);
}

bool TStepAfterPaint::event(QEvent* event) {
    if (event->type() != kRunStep) return QObject::event(event);
    RunNow();
    return true;
}

bool TStepAfterPaint::eventFilter(QObject* watched, QEvent* event) {
    // The window is painted before its children: the step goes behind the
    // whole paint, which is under way.
    if (watched == window_ && event->type() == QEvent::Paint)
        QCoreApplication::postEvent(this, new QEvent(kRunStep));
    else if (actsOnTheProgram(event->type()))
        RunNow();  // may have ended this step's owner
    return false;
}
