#include "EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <deque>

namespace platform {

namespace {

struct Delivery {
    QPointer<QObject> context;
    std::function<void()> run;
};

// Socket events waiting for the loop. Handing each one through Qt's posted
// events would cost a wake-up of the dispatcher (two system calls) per event,
// which an upload pays on every block; the engine's waits run them directly,
// and a zero-interval timer (registered without any system call) brings the
// rest to whatever loop runs next.
std::deque<Delivery> pending;

// What the innermost running code on the thread is: an engine wait inside
// Qt's event processing, or a delivered handler (which may run a loop of its
// own, a modal dialog say).
enum class Frame { None, Wait, Delivery };
Frame innermost = Frame::None;

class FrameScope {
public:
    explicit FrameScope(Frame frame) : m_Outer(innermost) { innermost = frame; }
    ~FrameScope() { innermost = m_Outer; }
    FrameScope(const FrameScope&) = delete;
    FrameScope& operator=(const FrameScope&) = delete;

private:
    Frame m_Outer;
};

// Runs what was queued when it was called; what those handlers queue waits
// for the next pass, as with Qt's posted events. A nested wait inside a
// handler may take some of the same deliveries first.
void runPending() {
    for (std::size_t n = pending.size(); n > 0 && !pending.empty(); --n) {
        Delivery delivery = std::move(pending.front());
        pending.pop_front();
        if (!delivery.context)
            continue;
        const FrameScope scope(Frame::Delivery);
        delivery.run();
    }
}

QTimer* carrier() {
    static QTimer* const timer = [] {
        auto* t = new QTimer;
        QObject::connect(t, &QTimer::timeout, t, [t] {
            if (pending.empty()) {
                t->stop();
                return;
            }
            // Inside an engine wait the wait itself runs them when Qt returns,
            // in the order Qt's posted events would have had: what arrives
            // during one pass of the loop is handled in the next.
            if (innermost == Frame::Wait)
                return;
            runPending();
        });
        return t;
    }();
    return timer;
}

} // namespace

void queueDelivery(QObject* context, std::function<void()> run) {
    pending.push_back(Delivery{context, std::move(run)});
    QTimer* timer = carrier();
    if (!timer->isActive())
        timer->start(0);
}

void pumpEvents() {
    runPending();
    const FrameScope scope(Frame::Wait);
    QCoreApplication::processEvents();
}

void waitForEvents() {
    if (!pending.empty()) {
        runPending();
        // Sockets, timers and Qt's posted events get their turn without
        // blocking: a steady stream of deliveries must not starve them.
        const FrameScope scope(Frame::Wait);
        QCoreApplication::processEvents();
        return;
    }
    const FrameScope scope(Frame::Wait);
    // Sleeps in the event dispatcher until a socket, timer or posted event
    // wakes it; a queued delivery keeps the carrier timer due, so the
    // dispatcher does not block past it.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace platform
