// CPU cost of an idle wait: Connect to a server on 127.0.0.1 that accepts
// and never greets, with a 5-second time-out, cancelled after about 6 s (the
// greeting wait times out once and starts over). Prints the CPU time used as
// a share of one core over the wall time; an idle wait should cost almost
// nothing.

#include "CFtpConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    QTcpServer silent; // accepts, never greets
    QList<QTcpSocket*> accepted;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection())
            accepted << s;
    });
    if (!silent.listen(QHostAddress::LocalHost, 0)) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }

    CFtpConnection ftp;
    ftp.setFtpServer(QStringLiteral("127.0.0.1"));
    ftp.setPort(silent.serverPort());
    ftp.setTimeout(5);
    int connectedEvents = 0;
    QObject::connect(&ftp, &CFtpConnection::StateChanged, [&](int state) {
        if (state == CFtpConnection::Connected)
            ++connectedEvents;
    });
    QTimer::singleShot(6000, [&ftp] { ftp.CancelAnyCall(); });

    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    const bool loggedIn = ftp.Connect();
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.elapsed()) / 1000.0;

    std::printf("connect_idle: result %s, last error %d, StateChanged(2) x%d\n",
                loggedIn ? "logged in" : "not logged in", ftp.FtpGetLastError(), connectedEvents);
    std::printf("connect_idle: wall %.2f s, cpu %.3f s, %.2f%% of one core (target < 1%%)\n",
                seconds, cpu, seconds > 0 ? 100.0 * cpu / seconds : 0.0);
    qDeleteAll(accepted);
    return 0;
}
