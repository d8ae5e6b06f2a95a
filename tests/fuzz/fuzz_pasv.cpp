// The 227 reply handling: a listing in passive mode whose PASV answer is the
// input (its first line). The data connection may only ever go to the control
// peer at the port the reply names; a reply that names a valid port gets the
// port of this run's own listener put in its place, so no input reaches any
// other port on this machine, and a connection anywhere else is a failure.

#include "CFtpConnection.h"
#include "LoopbackPeer.h"

#include <QCoreApplication>
#include <cstdlib>

namespace {

LoopbackPeer* peer = nullptr;
CFtpConnection* ftp = nullptr;
QString connectedTo;

bool portField(const QString& field) {
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    return ok && value >= 0 && value <= 255;
}

// The first line of the input, with a valid port swapped for the listener's.
QByteArray pasvReply(const uint8_t* data, size_t size) {
    QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype end = line.indexOf("\r\n");
    if (end >= 0)
        line.truncate(end);
    QString text = QString::fromUtf8(line);
    const qsizetype open = text.indexOf(u'(');
    const qsizetype close = open < 0 ? -1 : text.indexOf(u')', open + 1);
    if (close >= 0) {
        QStringList fields = text.mid(open + 1, close - open - 1).split(u',');
        if (fields.size() == 6 && portField(fields[4]) && portField(fields[5])) {
            fields[4] = QString::number(peer->passivePort() / 256);
            fields[5] = QString::number(peer->passivePort() % 256);
            text = text.left(open + 1) + fields.join(u',') + text.mid(close);
            line = text.toUtf8();
        }
    }
    return line + "\r\n";
}

void answer(const QByteArray& line, const QByteArray& pasv) {
    const QByteArray verb = line.left(line.indexOf(' ')).toUpper();
    if (verb == "USER")
        peer->send("230 Logged in\r\n");
    else if (verb == "PWD")
        peer->send("257 \"/\" is current\r\n");
    else if (verb == "PASV")
        peer->send(pasv);
    else if (verb == "LIST") {
        QTcpSocket* data = peer->data();
        if (!data || data->state() != QAbstractSocket::ConnectedState) {
            peer->send("425 No data connection\r\n");
            return;
        }
        peer->send("150 Here it comes\r\n");
        data->write("-rw-r--r-- 1 ftp ftp 12 Jan  2  2020 a.txt\r\n");
        data->disconnectFromHost();
        peer->send("226 Done\r\n");
    } else
        peer->send("500 Unknown\r\n");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ensureApplication();
    peer = new LoopbackPeer;
    ftp = new CFtpConnection;
    ftp->setFtpServer(QStringLiteral("127.0.0.1"));
    ftp->setPort(peer->port());
    ftp->setTimeout(1);
    ftp->setPassiveMode(true);
    QObject::connect(ftp, &CFtpConnection::SessionProtocolMessage,
                     [](const QString& text, int type) {
                         if (type == CFtpConnection::ApplicationMessage &&
                             text.startsWith(QLatin1String("Connected to: ")))
                             connectedTo = text.mid(14);
                     });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray pasv = pasvReply(data, size);
    peer->onConnected = [] { peer->send("220 Ready\r\n"); };
    peer->onLine = [pasv](const QByteArray& line) { answer(line, pasv); };
    connectedTo.clear();

    peer->arm(ftp, 500);
    if (!ftp->Connect())
        std::abort(); // the scripted log-in always works, also after any earlier input
    peer->arm(ftp, 20);
    std::shared_ptr<CFtpFiles> files;
    ftp->EnumFiles(files);
    peer->disarm();
    if (ftp->Busy())
        std::abort();
    if (!connectedTo.isEmpty() &&
        connectedTo != QStringLiteral("127.0.0.1:%1").arg(peer->passivePort()))
        std::abort();
    ftp->GetFtpErrorDescription(ftp->FtpGetLastError());
    ftp->BreakeConnection();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
