// The data side of CFtpConnection: data connection set-up (active and
// passive), the data socket's handlers, listing, download and upload. The
// control side lives in CFtpConnection.cpp.

#include "CFtpConnection.h"

#include "ExtendedAddress.h"
#include "Fault.h"
#include "FtpErrors.h"
#include "ListingParser.h"
#include "LocalFile.h"
#include "MlsdParser.h"
#include "Socket.h"
#include "TruncatedListing.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QScopeGuard>
#include <algorithm>
#include <limits>

namespace {

// The active-mode ports: counted from FirstDataPort, back to it after the
// largest value the 16-bit counter holds.
constexpr qint16 FirstDataPort = 11000;
constexpr int MaxPortAttempts = 100;
// Preliminary replies one transfer command may bring; more is a flood.
constexpr int MaxPreliminaryReplies = 100;
constexpr int MaxDrainReads = 64;
// A listing larger than this is no directory anyone can use.
constexpr qsizetype MaxListingBytes = qsizetype(512) * 1024 * 1024;

// A port field of a 227 reply: a decimal number 0..255, blanks around it allowed.
bool portField(const QString& field, int& value) {
    bool ok = false;
    value = field.trimmed().toInt(&ok, 10);
    return ok && value >= 0 && value <= 255;
}

// The size a 150 reply announces, "(4194304 bytes)" as most servers put it; -1 when none.
qint64 announcedSize(const FtpReply& reply) {
    static const QRegularExpression pattern(QStringLiteral("\\((\\d{1,18}) bytes\\)"));
    const QRegularExpressionMatch match = pattern.match(reply.text());
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

} // namespace

// ---------------------------------------------------------------- data connection set-up

quint16 CFtpConnection::NextDataPort() {
    if (m_DataPort <= 0 || m_DataPort == std::numeric_limits<qint16>::max())
        m_DataPort = FirstDataPort;
    else
        ++m_DataPort;
    return static_cast<quint16>(m_DataPort);
}

void CFtpConnection::PrepareDataConnection() {
    CloseDataSocket();
    // After PROT P every data connection is TLS, and resumes the control
    // connection's session: servers refuse one that does not (vsftpd's
    // require_ssl_reuse, proftpd by default), so nobody else can take it over.
    wscData->setTlsCapable(m_ProtectData);
    wscData->setTlsSessionSource(m_ProtectData ? wscControl : nullptr);
    m_Transfer.dataEnd = Transfer::DataEnd::Open;
    m_Transfer.dataError = 0;
    m_Transfer.dataErrorText.clear();
}

bool CFtpConnection::DataConnectionEnded() const {
    return m_Transfer.dataEnd != Transfer::DataEnd::Open ||
           wscData->state() == platform::Socket::Closed;
}

bool CFtpConnection::PrepareData() {
    return m_PassiveMode ? ProcessPASVCommand() : ProcessPORTCommand();
}

quint16 CFtpConnection::ListenForData(const QHostAddress& localAddress) {
    // A taken port is skipped silently; the bound keeps a machine without
    // free ports from spinning forever.
    QString lastFailure;
    for (int attempt = 0; attempt < MaxPortAttempts; ++attempt) {
        const quint16 candidate = NextDataPort();
        try {
            if (wscData->state() != platform::Socket::Closed)
                wscData->close();
            wscData->setLocalAddress(localAddress);
            wscData->setLocalPort(candidate);
            wscData->listen();
            return candidate;
        } catch (const platform::Fault& fault) {
            lastFailure = fault.description();
        }
    }
    // The data connection cannot be opened (425's code), and why.
    m_LastError = 42;
    m_LastErrorDescription =
        QStringLiteral("No local port is free for the data connection: ") + lastFailure;
    return 0;
}

bool CFtpConnection::ProcessPORTCommand() {
    try {
        emit StateChanged(EstablishingDataConnection);
        PrepareDataConnection();

        // PORT can only name an IPv4 address; EPRT names either.
        bool isV4 = false;
        const quint32 local = wscControl->localAddress().toIPv4Address(&isV4);
        if (!isV4 || m_PortRefused)
            return ProcessEPRTCommand();
        const QHostAddress localAddress(local);
        const quint16 port = ListenForData(localAddress);
        if (port == 0)
            return false;

        QString command = QStringLiteral("PORT ") + localAddress.toString();
        command.replace(QLatin1Char('.'), QLatin1Char(','));
        command += QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
        const auto reply = Exchange(command);
        if (reply && reply->hasCode && reply->code >= 500 && reply->code <= 504) {
            // Some servers (IPv6-minded ones, or a firewall's rule) take
            // only EPRT: asked once, remembered for the session.
            m_PortRefused = true;
            return ProcessEPRTCommand();
        }
        if (!Expect(reply, 200))
            return false;
        emit StateChanged(DataConnectionEstablished);
        return true;
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessPORTCommand");
    }
}

bool CFtpConnection::ProcessEPRTCommand() {
    try {
        const QHostAddress localAddress = wscControl->localAddress();
        const quint16 port = ListenForData(localAddress);
        if (port == 0)
            return false;
        const QString argument = ExtendedAddress::BuildEprtArgument(localAddress, port);
        if (argument.isEmpty()) {
            TranslateReplyCode(425);
            return false;
        }
        if (!Expect(Exchange(QStringLiteral("EPRT ") + argument), 200))
            return false;
        emit StateChanged(DataConnectionEstablished);
        return true;
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessEPRTCommand");
    }
}

bool CFtpConnection::UseEpsv() const {
    bool isV4 = false;
    wscControl->remoteAddress().toIPv4Address(&isV4);
    // PASV cannot name an IPv6 address.
    if (!isV4)
        return true;
    return m_Extensions && m_Features.Epsv() && !m_EpsvRefused;
}

bool CFtpConnection::ProcessPASVCommand() {
    try {
        emit StateChanged(EstablishingDataConnection);
        PrepareDataConnection();
        if (UseEpsv())
            return ProcessEPSVCommand();
        const auto reply = Exchange(QStringLiteral("PASV"));
        if (!Expect(reply, 227))
            return false;
        return MakePassiveDataConnection(reply->text());
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessPASVCommand");
    }
}

bool CFtpConnection::ProcessEPSVCommand() {
    try {
        const auto reply = Exchange(QStringLiteral("EPSV"));
        bool isV4 = false;
        wscControl->remoteAddress().toIPv4Address(&isV4);
        if (isV4 && reply && reply->hasCode && reply->code >= 500 && reply->code <= 504) {
            // FEAT said EPSV, the server says no: PASV for the rest of the session.
            m_EpsvRefused = true;
            const auto pasv = Exchange(QStringLiteral("PASV"));
            if (!Expect(pasv, 227))
                return false;
            return MakePassiveDataConnection(pasv->text());
        }
        if (!Expect(reply, 229))
            return false;
        const std::optional<quint16> port = ExtendedAddress::ParseEpsvReply(reply->text());
        if (!port) {
            TranslateReplyCode(425);
            return false;
        }
        return ConnectPassiveData(*port);
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessEPSVCommand");
    }
}

bool CFtpConnection::MakePassiveDataConnection(const QString& strReply) {
    try {
        // Only the port is taken from the reply. The data connection goes to the
        // server we are talking to: a server must not aim us at another host,
        // and servers behind NAT announce addresses nobody can reach.
        const qsizetype open = strReply.indexOf(QLatin1Char('('));
        const qsizetype close = open < 0 ? -1 : strReply.indexOf(QLatin1Char(')'), open + 1);
        const QStringList fields =
            close < 0 ? QStringList()
                      : strReply.mid(open + 1, close - open - 1).split(QLatin1Char(','));
        int high = 0;
        int low = 0;
        if (fields.size() != 6 || !portField(fields.at(4), high) || !portField(fields.at(5), low)) {
            TranslateReplyCode(425);
            return false;
        }
        return ConnectPassiveData(static_cast<quint16>(high * 256 + low));
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "MakePassiveDataConnection");
    }
}

bool CFtpConnection::ConnectPassiveData(quint16 port) {
    try {
        const QString host = wscControl->remoteHostIp();

        wscData->setLocalAddress(QHostAddress());
        wscData->setLocalPort(0);
        wscData->connectToHost(host, port);
        if (WaitFor([this] {
                return wscData->state() == platform::Socket::Connected ||
                       m_Transfer.dataEnd != Transfer::DataEnd::Open;
            }) != WaitEnd::Completed)
            return false;
        if (m_Transfer.dataEnd != Transfer::DataEnd::Open) {
            // Refused or unreachable: the socket's own number says which.
            const bool named = m_Transfer.dataError != 0;
            m_LastError = named ? m_Transfer.dataError : 42;
            m_LastErrorDescription =
                named ? m_Transfer.dataErrorText
                      : QString::fromLatin1(FtpErrors::replyError(425)->description);
            return false;
        }
        // The handshake runs while the transfer command is sent; the server
        // starts its side when it takes the command.
        if (m_ProtectData)
            wscData->startClientEncryption();
        emit StateChanged(DataConnectionEstablished);
        emit SessionProtocolMessage(QStringLiteral("Connected to: ") + host + QLatin1Char(':') +
                                        QString::number(port),
                                    ApplicationMessage);
        return true;
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "MakePassiveDataConnection");
    }
}

// ---------------------------------------------------------------- data socket events

void CFtpConnection::wscData_ConnectionRequest(int requestID) {
    try {
        // Only the server may connect: anyone else who finds the open port
        // would otherwise feed us a listing or a file.
        // The socket records the address when the request arrives, so even a
        // peer that has already hung up (an empty listing) is checked.
        const QHostAddress peer = wscData->requestAddress(requestID);
        if (peer.isNull() ||
            !peer.isEqual(wscControl->remoteAddress(), QHostAddress::TolerantConversion)) {
            wscData->reject(requestID);
            emit SessionProtocolMessage(QStringLiteral("Refused data connection from: ") +
                                            peer.toString(),
                                        ApplicationMessage);
            return;
        }
        // accept() ends the listening itself and keeps the request alive.
        wscData->accept(requestID);
        // The server connected, yet the client is the TLS client here too.
        if (m_ProtectData)
            wscData->startClientEncryption();
    } catch (const platform::Fault& fault) {
        wscData_Error(fault.number(), fault.description());
    }
}

void CFtpConnection::wscData_DataArrival(qint64 bytesTotal) {
    // Nothing was asked for before the transfer command went out.
    if (bytesTotal <= 0 || !m_Transfer.requested())
        return;
    // A stopped download takes no more bytes: the file keeps what came
    // before the Stop (a resume fetches the rest), however fast the rest
    // would arrive before the wait closes the data connection.
    if (m_Control->cancelled() && m_Transfer.kind == Transfer::Kind::Download)
        return;
    // Under PROT P nothing is read before the handshake has completed and
    // the data connection showed the control connection's certificate: the
    // bytes of a server that failed that check reach no file and no listing.
    if (m_ProtectData && !wscData->isEncrypted())
        return;
    try {
        if (m_Transfer.kind == Transfer::Kind::Download && m_Transfer.zeroCopy &&
            !m_Transfer.faulted()) {
            ReceiveDownloadData();
            if (m_Transfer.zeroCopy)
                return CheckDataFault();
        }
        const QByteArrayView bytes = wscData->readAvailable();
        if (bytes.isEmpty() || m_Transfer.faulted())
            return;
        m_Control->noteProgress();
        switch (m_Transfer.kind) {
        case Transfer::Kind::Listing:
            if (m_Transfer.listingBytes + bytes.size() > MaxListingBytes) {
                m_Transfer.fault(ErrReplyTooLong,
                                 QStringLiteral("The server's listing is too long."));
                m_Transfer.listingText.clear();
                break;
            }
            m_Transfer.listingBytes += bytes.size();
            if (m_Transfer.listingStream)
                m_Transfer.listingStream->Feed(bytes, m_Transfer.listingSink);
            else
                m_Transfer.listingText.append(bytes);
            emit ListingDataArrived(m_Transfer.listingBytes);
            break;
        case Transfer::Kind::Download:
            if (!m_Transfer.file)
                break;
            ConfirmDownload();
            if (m_Transfer.faulted())
                break;
            m_Transfer.file->write(bytes);
            m_Transfer.bytes += bytes.size();
            emit DownloadProgress(m_Transfer.bytes);
            break;
        default:
            break;
        }
    } catch (const platform::Fault& fault) {
        m_Transfer.fault(fault.number(), fault.description());
    }
    CheckDataFault();
}

void CFtpConnection::CheckDataFault() {
    if (m_Transfer.faulted()) {
        // Nothing more can be stored: stop the flow; the command's wait still
        // takes the server's final reply so it cannot answer a later command.
        CloseDataSocket();
        m_Transfer.closeLocalFile();
    }
}

void CFtpConnection::ReceiveDownloadData() {
    try {
        ConfirmDownload();
        if (m_Transfer.faulted() || !m_Transfer.file)
            return;
        // The socket gives up Qt's reading once the bytes are the file's;
        // one that cannot (already closed by the peer) is read as usual.
        if (!wscData->receivingDirect() && !wscData->receiveDirect()) {
            m_Transfer.zeroCopy = false;
            return;
        }
        const qint64 moved = wscData->receiveInto(*m_Transfer.file);
        if (moved <= 0)
            return;
        m_Control->noteProgress();
        m_Transfer.bytes += moved;
        emit DownloadProgress(m_Transfer.bytes);
    } catch (const platform::Fault& fault) {
        m_Transfer.fault(fault.number(), fault.description());
    }
}

void CFtpConnection::wscData_Close() {
    try {
        // Bytes still buffered belong to the listing or the file.
        DrainDataSocket();
    } catch (const platform::Fault&) {
    }
    if (m_Transfer.dataEnd == Transfer::DataEnd::Open)
        m_Transfer.dataEnd = Transfer::DataEnd::Closed;
    CloseDataSocket();
}

void CFtpConnection::wscData_Error(qint32 number, const QString& description) {
    // A reset is not an end: the step that waits says what was lost. What
    // came before it is kept for a resume, unless the connection failed its
    // TLS checks: then none of it is the server's.
    const bool untrusted = number == platform::Socket::ErrTlsHandshake ||
                           number == platform::Socket::ErrTlsPeerChanged;
    if (!untrusted) {
        try {
            DrainDataSocket();
        } catch (const platform::Fault&) {
        }
    }
    if (m_Transfer.dataEnd == Transfer::DataEnd::Open) {
        m_Transfer.dataEnd = Transfer::DataEnd::Failed;
        m_Transfer.dataError = number;
        m_Transfer.dataErrorText = description;
    }
    CloseDataSocket();
}

void CFtpConnection::wscData_SendProgress(qint64 bytesSent, qint64 bytesRemaining) {
    Q_UNUSED(bytesRemaining);
    if (m_Transfer.kind != Transfer::Kind::Upload || bytesSent <= 0)
        return;
    m_Control->noteProgress();
    m_Transfer.bytes += bytesSent;
    emit UploadProgress(m_Transfer.bytes);
    // Room in the socket: the next blocks go now, not after the last drained.
    UploadData();
}

void CFtpConnection::wscData_SendComplete() {
    m_Control->noteProgress();
    UploadData();
}

void CFtpConnection::DrainDataSocket() {
    for (int i = 0; i < MaxDrainReads; ++i) {
        const qint64 available = wscData->bytesAvailable();
        if (available <= 0)
            break;
        wscData_DataArrival(available);
    }
}

void CFtpConnection::CloseDataSocket() {
    // A transfer that ended before its data connection was made has none.
    if (!wscData)
        return;
    try {
        if (wscData->state() != platform::Socket::Closed)
            wscData->close();
    } catch (const platform::Fault&) {
        // Already gone.
    }
}

void CFtpConnection::OpenLocalFile(const char* step,
                                   const std::function<void(platform::LocalFile&)>& open) {
    // A local file that cannot be had is the caller's fault to handle, named
    // after the member that met it.
    try {
        m_Transfer.file = std::make_unique<platform::LocalFile>();
        open(*m_Transfer.file);
    } catch (const platform::Fault& fault) {
        m_Transfer.file.reset();
        if (fault.source().isEmpty())
            throw platform::Fault(fault.number(), fault.description(),
                                  QStringLiteral("CFtpConnection.") + QLatin1String(step));
        throw;
    }
}

void CFtpConnection::BeginTransfer(Transfer::Kind kind) {
    m_Transfer.closeLocalFile();
    m_Transfer = Transfer();
    m_Transfer.kind = kind;
}

// ---------------------------------------------------------------- transfer commands

CFtpConnection::TransferEnd
CFtpConnection::TransferExchange(const QString& strCommand, FtpReply& finalReply,
                                 const std::function<void(const FtpReply&)>& onPreliminary,
                                 const std::function<void()>& onPass) {
    const TransferEnd end = ExchangeOnce(strCommand, finalReply, onPreliminary, onPass);
    if (end != TransferEnd::Replied || !ServerMissedDataPort(finalReply))
        return end;
    // In active mode the server connects to us. One that connects from a
    // fixed port of its own (port 20, or pure-ftpd's) cannot reach a port
    // its earlier connection to it still holds in TIME_WAIT, and says 425:
    // a new engine, or a new session, counts its ports from the start
    // again. The command goes once more, to the next port.
    emit SessionProtocolMessage(
        QStringLiteral("The server could not connect to port %1; trying the next port.")
            .arg(m_DataPort),
        ApplicationMessage);
    m_Transfer.state = Transfer::State::Preparing;
    if (!ProcessPORTCommand())
        return TransferEnd::NoReply;
    if (m_Transfer.startPoint > 0 && !ProcessRESTCommand(m_Transfer.startPoint))
        return TransferEnd::NoReply;
    return ExchangeOnce(strCommand, finalReply, onPreliminary, onPass);
}

bool CFtpConnection::ServerMissedDataPort(const FtpReply& finalReply) const {
    // Still listening: the server never connected, so nothing moved.
    return !m_PassiveMode && finalReply.hasCode && finalReply.code == 425 &&
           wscData->state() == platform::Socket::Listening;
}

CFtpConnection::TransferEnd
CFtpConnection::ExchangeOnce(const QString& strCommand, FtpReply& finalReply,
                             const std::function<void(const FtpReply&)>& onPreliminary,
                             const std::function<void()>& onPass) {
    if (!SendCommand(strCommand))
        return TransferEnd::NoReply;
    m_Transfer.state = Transfer::State::Requested;
    bool replied = false;
    bool flooded = false;
    int preliminaries = 0;
    const WaitEnd end = WaitFor([&] {
        while (!replied && m_Control->hasReply()) {
            FtpReply reply = m_Control->takeReply();
            if (!reply.isPreliminary()) {
                finalReply = std::move(reply);
                replied = true;
                break;
            }
            if (++preliminaries > MaxPreliminaryReplies) {
                flooded = true;
                return true;
            }
            onPreliminary(reply);
        }
        if (onPass)
            onPass();
        // A refusal ends it at once; a success once the data is all in.
        return replied && (!finalReply.isPositive() || DataConnectionEnded());
    });
    if (end == WaitEnd::Cancelled) {
        GetFtpErrorDescription(ErrCancelled);
        return TransferEnd::Cancelled;
    }
    if (end != WaitEnd::Completed)
        return TransferEnd::NoReply;
    if (flooded) {
        m_LastError = ErrReplyTooLong;
        m_LastErrorDescription = QStringLiteral("The server sent too many replies.");
        return TransferEnd::Flooded;
    }
    DrainDataSocket();
    return TransferEnd::Replied;
}

bool CFtpConnection::TransferSucceeded(const FtpReply& finalReply) {
    if (!finalReply.isPositive()) {
        RecordRefusal(finalReply);
        return false;
    }
    if (m_Transfer.dataEnd == Transfer::DataEnd::Failed) {
        m_LastError = m_Transfer.dataError;
        m_LastErrorDescription = m_Transfer.dataErrorText;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- listing

bool CFtpConnection::EnumFiles(std::shared_ptr<CFtpFiles>& oFiles) {
    return ListDirectory({}, &oFiles);
}

bool CFtpConnection::EnumFiles(const ListingStream::Sink& entry) {
    return ListDirectory(entry, nullptr);
}

void CFtpConnection::StartListing(ListingStream::Kind kind) {
    // Bytes of an earlier aborted transfer must not open this listing.
    const ListingStream::Sink sink = std::move(m_Transfer.listingSink);
    BeginTransfer(Transfer::Kind::Listing);
    m_Transfer.listingSink = sink;
    if (sink)
        m_Transfer.listingStream = std::make_unique<ListingStream>(kind);
}

bool CFtpConnection::ListDirectory(const ListingStream::Sink& entry,
                                   std::shared_ptr<CFtpFiles>* oFiles) {
    return Guarded(false, [&] {
        m_Transfer.listingSink = entry;
        m_ListingNotice.clear();
        // The listing in the caller's hands: handed out to the end, or parsed.
        const auto deliver = [&](auto parse) {
            try {
                if (m_Transfer.listingStream)
                    m_Transfer.listingStream->Finish(m_Transfer.listingSink);
                else
                    *oFiles = parse(m_Transfer.listingText);
                emit StateChanged(DirectoryListingCompleted);
                return true;
            } catch (const platform::Fault& fault) {
                return TrapFault(fault, "EnumFiles");
            }
        };

        // MLSD where the server offers MLST; a refused MLSD is asked once more
        // as LIST, and not again in this session.
        const bool machine = m_Extensions && m_Features.Mlst() && !m_MlsdRefused;
        StartListing(machine ? ListingStream::Kind::Mlsd : ListingStream::Kind::List);
        if (!PrepareData())
            return false;
        emit StateChanged(RetrievingDirectoryInfo);
        if (machine) {
            if (ProcessMLSDCommand()) {
                // Links named without a target take theirs from LIST.
                std::shared_ptr<CFtpFiles> files;
                if (!CompleteLinks(files))
                    return false;
                return deliver([&files](const QByteArray&) { return files; });
            }
            // Entries already handed out cannot be taken back: no second listing.
            const bool handedOut =
                m_Transfer.listingStream && m_Transfer.listingStream->Entries() > 0;
            if (!m_MlsdRefused || handedOut)
                return false;
            emit SessionProtocolMessage(
                QStringLiteral("The server refused MLSD; listing with LIST instead."),
                ApplicationMessage);
            StartListing(ListingStream::Kind::List);
            if (!PrepareData())
                return false;
        }
        if (!ProcessLISTCommand())
            return false;
        m_ListingNotice = TruncatedListing::notice(m_Control->lastResponse());
        return deliver(ParseListing);
    });
}

// The end of a listing command: refused, cut, too long, or whole.
bool CFtpConnection::ListingSucceeded(const FtpReply& finalReply) {
    if (!TransferSucceeded(finalReply))
        return false;
    if (m_Transfer.faulted()) {
        m_LastError = m_Transfer.faultNumber;
        m_LastErrorDescription = m_Transfer.faultText;
        return false;
    }
    return true;
}

bool CFtpConnection::ProcessMLSDCommand() {
    try {
        m_LastError = 0;
        FtpReply finalReply;
        const TransferEnd end =
            TransferExchange(QStringLiteral("MLSD"), finalReply, [](const FtpReply&) {});
        if (end != TransferEnd::Replied)
            return false;
        if (!finalReply.isPositive()) {
            // A refusal, not a lost connection: LIST may still do.
            m_MlsdRefused = true;
            RecordRefusal(finalReply);
            return false;
        }
        return ListingSucceeded(finalReply);
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessMLSDCommand");
    }
}

bool CFtpConnection::ProcessLISTCommand() {
    try {
        m_LastError = 0;
        FtpReply finalReply;
        const TransferEnd end =
            TransferExchange(QStringLiteral("LIST"), finalReply, [](const FtpReply&) {});
        return end == TransferEnd::Replied && ListingSucceeded(finalReply);
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessLISTCommand");
    }
}

// ---------------------------------------------------------------- download

bool CFtpConnection::DownloadFile(const QString& strFileName, const QString& strLocalFileName,
                                  qint32 vTransferMode, qint64 lStartPoint) {
    const bool done = Guarded(false, [&] {
        BeginTransfer(Transfer::Kind::Download);
        // A negative start point means a whole download, never "REST -1".
        const qint64 startPoint = std::max<qint64>(lStartPoint, 0);
        const auto finish = qScopeGuard([&] {
            CloseDataSocket();
            m_Transfer.closeLocalFile();
            // A refused download leaves no empty file behind.
            if (m_Transfer.created && m_Transfer.state <= Transfer::State::Requested) {
                try {
                    platform::LocalFile::remove(strLocalFileName);
                } catch (const platform::Fault&) {
                    // Nothing was written to it; leaving it is harmless.
                }
            }
        });

        // The local file is opened before the server is asked, so a bad local
        // path costs no traffic; it is cut back only once the server confirms.
        OpenLocalFile("DownloadFile", [&](platform::LocalFile& file) {
            const bool existed = platform::LocalFile::existsAsFile(strLocalFileName);
            file.openReadWrite(strLocalFileName);
            m_Transfer.created = !existed;
            file.seek(startPoint);
        });
        m_Transfer.localName = strLocalFileName;
        m_Transfer.startPoint = startPoint;
        m_Transfer.bytes = startPoint;

        if (!EnsureType(vTransferMode))
            return false;
        m_TransferMode = vTransferMode;
        m_Transfer.zeroCopy = UseZeroCopy(vTransferMode);
        if (!PrepareData())
            return false;
        if (startPoint > 0 && !ProcessRESTCommand(startPoint))
            return false;

        const bool result = ProcessRETRCommand(strFileName);
        if (m_Transfer.faulted()) {
            // A local write failure (a full disk, say) names the local problem.
            TranslateRuntimeError(m_Transfer.faultNumber, m_Transfer.faultText);
            m_LastError = 45;
            m_LastErrorDescription = QStringLiteral("Cannot write the local file %1: %2")
                                         .arg(strLocalFileName, m_Transfer.faultText);
            return false;
        }
        if (!result)
            return false;
        const qint64 received = m_Transfer.bytes - startPoint;
        const qint64 announced = m_Transfer.announced;
        // Image type keeps the bytes as they are, so a size the server announced
        // for a whole file is the size that must have arrived.
        const bool sizeKnown = vTransferMode != 0 && startPoint == 0 && announced >= 0;
        if (sizeKnown && received != announced) {
            m_LastError = ErrIncompleteTransfer;
            m_LastErrorDescription =
                QStringLiteral("The transfer ended before the whole file arrived (%1 of %2 bytes).")
                    .arg(received)
                    .arg(announced);
            return false;
        }
        // Under TLS an end without close_notify may be anyone's: only the
        // announced size, exactly met, makes it whole.
        if (m_ProtectData && !wscData->tlsClosedCleanly() &&
            !(sizeKnown && received == announced)) {
            m_LastError = ErrIncompleteTransfer;
            m_LastErrorDescription =
                QStringLiteral("The data connection ended without TLS's close_notify after %1 "
                               "bytes: the file may be cut short.")
                    .arg(received);
            return false;
        }
        emit StateChanged(TransferCompleted);
        return true;
    });
    // After a failure the server's type is not known for sure any more.
    if (!done)
        m_ServerType = -1;
    return done;
}

void CFtpConnection::ConfirmDownload() {
    if (m_Transfer.state != Transfer::State::Requested)
        return;
    m_Transfer.state = Transfer::State::Confirmed;
    if (!m_Transfer.file)
        return;
    try {
        if (m_Transfer.file->length() > m_Transfer.startPoint)
            m_Transfer.file->truncate(m_Transfer.startPoint);
        m_Transfer.file->seek(m_Transfer.startPoint);
    } catch (const platform::Fault& fault) {
        m_Transfer.fault(fault.number(), fault.description());
    }
}

bool CFtpConnection::ProcessRESTCommand(qint64 lStartPoint) {
    try {
        return Expect(Exchange(QStringLiteral("REST ") + QString::number(lStartPoint)), 350);
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessRESTCommand");
    }
}

bool CFtpConnection::ProcessRETRCommand(const QString& strFileName) {
    try {
        FtpReply finalReply;
        bool started = false;
        const TransferEnd end = TransferExchange(
            QStringLiteral("RETR ") + strFileName, finalReply, [&](const FtpReply& reply) {
                if (!started)
                    emit StateChanged(TransferInProgress);
                started = true;
                if (m_Transfer.announced < 0)
                    m_Transfer.announced = announcedSize(reply);
                // Under PROT P the data connection may still show another
                // certificate: only its first byte that passed the check
                // may cut the local file back.
                if (!m_ProtectData)
                    ConfirmDownload();
            });
        if (end != TransferEnd::Replied || !TransferSucceeded(finalReply))
            return false;
        // An empty file may come without a 150 and without data.
        ConfirmDownload();
        return true;
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessRETRCommand");
    }
}

// ---------------------------------------------------------------- upload

bool CFtpConnection::UploadFile(const QString& strLocalFileName, const QString& strRemoteFileName,
                                qint32 vTransferMode, qint64 lStartPoint) {
    const bool done = Guarded(false, [&] {
        BeginTransfer(Transfer::Kind::Upload);
        const qint64 startPoint = std::max<qint64>(lStartPoint, 0);
        const auto finish = qScopeGuard([this] {
            m_Transfer.closeLocalFile();
            m_UploadBlock.clear();
            m_UploadBlock.squeeze();
            CloseDataSocket();
        });

        // Read-only: an upload never creates or changes anything locally, and a
        // missing or unreadable file is reported before the server hears of it.
        OpenLocalFile("UploadFile", [&](platform::LocalFile& file) {
            file.openReadOnly(strLocalFileName);
            m_Transfer.length = file.length();
        });
        m_Transfer.localName = strLocalFileName;
        if (startPoint > m_Transfer.length) {
            TranslateRuntimeError(40021,
                                  QStringLiteral("The start point %1 lies beyond the end of %2 (%3 "
                                                 "bytes).")
                                      .arg(startPoint)
                                      .arg(strLocalFileName)
                                      .arg(m_Transfer.length));
            return false;
        }

        if (!EnsureType(vTransferMode))
            return false;
        m_TransferMode = vTransferMode;
        m_Transfer.zeroCopy = UseZeroCopy(vTransferMode);
        if (!PrepareData())
            return false;
        // REST only to resume: some servers refuse it outright (pyftpdlib in
        // ASCII type, servers without REST), and "REST 0" asks for nothing.
        if (startPoint > 0 && !ProcessRESTCommand(startPoint))
            return false;
        try {
            m_Transfer.file->seek(startPoint);
        } catch (const platform::Fault& fault) {
            return TrapFault(fault, "UploadFile");
        }
        m_Transfer.startPoint = startPoint;
        m_Transfer.bytes = startPoint;
        m_Transfer.queued = startPoint;
        if (!ProcessSTORCommand(strRemoteFileName))
            return false;
        // Once more, now the server has confirmed the file.
        emit StateChanged(TransferCompleted);
        return true;
    });
    if (!done)
        m_ServerType = -1;
    return done;
}

bool CFtpConnection::ProcessSTORCommand(const QString& strRemoteFileName) {
    try {
        FtpReply finalReply;
        const TransferEnd end = TransferExchange(
            QStringLiteral("STOR ") + strRemoteFileName, finalReply,
            [this](const FtpReply&) {
                if (m_Transfer.state == Transfer::State::Requested) {
                    emit StateChanged(TransferInProgress);
                    m_Transfer.state = Transfer::State::Confirmed;
                }
            },
            [this] {
                // The first blocks go once the data connection is up; the
                // rest follow the socket's progress.
                if (m_Transfer.state == Transfer::State::Confirmed &&
                    wscData->state() == platform::Socket::Connected)
                    m_Transfer.state = Transfer::State::Sending;
                UploadData();
                // Nothing more can be read: closing tells the server, whose
                // reply then ends the wait.
                if (m_Transfer.faulted())
                    CloseDataSocket();
            });
        if (end == TransferEnd::Cancelled)
            return false;
        if (m_Transfer.faulted())
            return TrapFault(platform::Fault(m_Transfer.faultNumber, m_Transfer.faultText),
                             "UploadData");
        if (end != TransferEnd::Replied || !TransferSucceeded(finalReply))
            return false;
        // A server that confirms a file it cannot have received whole (its
        // data connection ended early) must not be believed.
        if (m_Transfer.state != Transfer::State::Sent) {
            m_LastError = ErrIncompleteTransfer;
            m_LastErrorDescription =
                QStringLiteral("The data connection ended before the whole file was sent "
                               "(%1 of %2 bytes).")
                    .arg(m_Transfer.bytes)
                    .arg(m_Transfer.length);
            return false;
        }
        return true;
    } catch (const platform::Fault& fault) {
        return TrapFault(fault, "ProcessSTORCommand");
    }
}

bool CFtpConnection::UseZeroCopy(qint32 vTransferMode) const {
    // TLS must encrypt every byte in user space. ASCII type is text, whose
    // line ends a server may change: it keeps the one copying path where
    // bytes can be looked at.
    return m_ZeroCopy && !m_ProtectData && vTransferMode != 0;
}

// Feeds the data connection: in zero copy the whole rest of the file at
// once (the system sends it as the connection takes it), otherwise block
// by block while fewer than UploadInFlight bytes wait in the socket. Runs
// on every pass of the STOR wait and on every send report; once every byte
// has been sent it ends the upload.
void CFtpConnection::UploadData() {
    // A Stop (a cancel inside the wait) sends nothing more: the wait ends
    // the upload at its next pass, and it must not end as sent first.
    if (m_Transfer.kind != Transfer::Kind::Upload || m_Transfer.state != Transfer::State::Sending ||
        m_Transfer.dataEnd != Transfer::DataEnd::Open || m_Transfer.sendFailed ||
        m_Control->cancelled() || wscData->state() != platform::Socket::Connected)
        return;
    try {
        if (m_Transfer.zeroCopy && m_Transfer.queued < m_Transfer.length) {
            if (wscData->sendFile(*m_Transfer.file, m_Transfer.queued,
                                  m_Transfer.length - m_Transfer.queued)) {
                m_Transfer.queued = m_Transfer.length;
                return;
            }
            // The system offers no sendfile for this file (or socket): copy.
            m_Transfer.zeroCopy = false;
            emit SessionProtocolMessage(
                QStringLiteral("The system cannot send this file directly; copying it instead."),
                ApplicationMessage);
        }
        // Bounded by the bytes in flight: each block adds UploadBlockSize.
        // And by the bytes of this call: while the system takes every block
        // at once, nothing counts as in flight, and without a bound one call
        // would send the whole file with no Stop, progress or event between.
        // Each block sent reports its progress, which calls again.
        qint64 sentNow = 0;
        while (m_Transfer.queued < m_Transfer.length && wscData->bytesToWrite() < UploadInFlight &&
               sentNow < UploadInFlight) {
            const qint64 size = std::min(UploadBlockSize, m_Transfer.length - m_Transfer.queued);
            m_Transfer.file->read(m_UploadBlock, size);
            if (m_UploadBlock.size() != size)
                throw platform::Fault(
                    platform::LocalFile::ErrDeviceIO,
                    QStringLiteral("The local file %1 became shorter during the upload.")
                        .arg(m_Transfer.localName));
            try {
                wscData->sendShared(m_UploadBlock);
            } catch (const platform::Fault&) {
                // Not a local fault: the connection is gone, and its event
                // (a reset or a close) says how the transfer ended.
                m_Transfer.sendFailed = true;
                return;
            }
            m_Transfer.queued += size;
            sentNow += size;
        }
        if (m_Transfer.queued == m_Transfer.length && m_Transfer.bytes == m_Transfer.length &&
            wscData->bytesToWrite() == 0)
            EndUpload();
    } catch (const platform::Fault& fault) {
        m_Transfer.fault(fault.number(), fault.description());
        m_Transfer.closeLocalFile();
    }
}

// Every byte has been handed to the system: ending the data connection
// tells the server the file is complete.
void CFtpConnection::EndUpload() {
    m_Transfer.state = Transfer::State::Sent;
    // An orderly end that waits for the server's own close: over TLS with
    // close_notify (closing at once can reset the connection under the
    // server's last reads, and TLS 1.3 sends tickets we must take). And the
    // bytes may still sit in the system's buffers, megabytes of them: a
    // server that resets the connection before it has read them all must
    // be seen doing so, not hidden behind a close of ours.
    if (wscData->state() == platform::Socket::Connected)
        wscData->finish();
    else
        CloseDataSocket();
    m_Transfer.closeLocalFile();
    emit StateChanged(TransferCompleted);
}
