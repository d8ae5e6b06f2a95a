// The window's peak memory with a 100,000-item transfer queue: the real main
// window (offscreen, scripted prompts), its queue filled with that many
// downloads in one batch, the pane refreshed and scrolled end to end. Prints
// the resident set before and after (the window alone is the peer) and the
// time the batch and a scroll took. The queue is not started: its server is
// never contacted.
//
//   bench_window_queue [ITEMS]

#include "MainWindowDriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The queue's store goes to a folder of its own, not the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int items = argc > 1 ? std::atoi(argv[1]) : 100000;

    MainWindowDriver ui;
    ui.window.resize(1000, 700);
    ui.window.show();
    QCoreApplication::processEvents();
    const long before = peakKiB();

    QueueSession session;
    session.host = QStringLiteral("127.0.0.1");
    session.port = 9;
    ui.window.transfers()->setSession(session);
    QElapsedTimer clock;
    clock.start();
    QList<QueueItem> batch;
    batch.reserve(items);
    for (int i = 0; i < items; ++i)
        batch << TransferQueue::downloadItem(
            QStringLiteral("/many/f%1").arg(i, 6, 10, QLatin1Char('0')),
            data.filePath(QStringLiteral("f%1").arg(i)), 1000);
    ui.queue()->add(batch);
    batch.clear();
    ui.window.transfers()->model()->refresh();
    QCoreApplication::processEvents();
    const qint64 added = clock.restart();

    QTableView* view = ui.window.queuePane()->view();
    QScrollBar* bar = view->verticalScrollBar();
    for (int step = 0; step <= 100; ++step) {
        bar->setValue(bar->maximum() * step / 100);
        ui.window.transfers()->model()->refresh();
        QCoreApplication::processEvents();
    }
    const qint64 scrolled = clock.elapsed();
    const long after = peakKiB();

    std::printf("window, empty queue         %8.1f MiB\n", before / 1024.0);
    std::printf("window, %6d-item queue    %8.1f MiB  (%.2fx; limit 250 MiB)\n", items,
                after / 1024.0, double(after) / double(before));
    std::printf("batch added and shown       %8lld ms\n", static_cast<long long>(added));
    std::printf("101 refreshes while scrolling %6lld ms (%.1f ms each)\n",
                static_cast<long long>(scrolled), scrolled / 101.0);
    std::printf("rows in the pane            %8d\n", view->model()->rowCount());
    return after / 1024 < 250 && view->model()->rowCount() == items ? 0 : 1;
}
