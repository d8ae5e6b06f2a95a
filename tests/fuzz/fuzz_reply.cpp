// The reply parser through a real CFtpConnection: the input is everything a
// server sends on the control connection of a Connect, cut into arrivals at
// points the input chooses. Whatever arrives, Connect must return, and the
// engine must not stay busy.
//
// Input: byte 0 % 8 = number of cuts k; the next k bytes give the lengths of
// the first k arrivals (1..64 bytes each); the rest arrives last.

#include "CFtpConnection.h"
#include "LoopbackPeer.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

LoopbackPeer* peer = nullptr;
CFtpConnection* ftp = nullptr;

QList<QByteArray> arrivals(const uint8_t* data, size_t size) {
    QList<QByteArray> pieces;
    if (size == 0)
        return pieces;
    const size_t cuts = std::min<size_t>(data[0] % 8, size - 1);
    QByteArray payload(reinterpret_cast<const char*>(data + 1 + cuts), qsizetype(size - 1 - cuts));
    for (size_t i = 0; i < cuts && !payload.isEmpty(); ++i) {
        const qsizetype n = data[1 + i] % 64 + 1;
        pieces << payload.left(n);
        payload.remove(0, n);
    }
    if (!payload.isEmpty())
        pieces << payload;
    return pieces;
}

void flushEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ensureApplication();
    peer = new LoopbackPeer;
    ftp = new CFtpConnection;
    ftp->setFtpServer(QStringLiteral("127.0.0.1"));
    ftp->setPort(peer->port());
    ftp->setTimeout(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> pieces = arrivals(data, size);
    peer->onConnected = [pieces] {
        peer->sendInPieces(pieces, [] {
            peer->closeControl();
            peer->arm(ftp, 2);
        });
    };
    peer->arm(ftp, 500);
    ftp->Connect();
    peer->disarm();
    peer->sendInPieces({}, nullptr);
    if (ftp->Busy())
        std::abort();
    ftp->WelcomeMessage();
    ftp->GetFtpErrorDescription(ftp->FtpGetLastError());
    ftp->BreakeConnection();
    flushEvents();
    return 0;
}
