// The data side of CFtpConnection: data connection set-up (active and
// passive), the data socket's handlers, listing, download and upload. The
// control side lives in CFtpConnection.cpp.

#include "CFtpConnection.h"

#include "Fault.h"
#include "ListingParser.h"
#include "LocalFile.h"
#include "Socket.h"

#include "EventPump.h"

#include <QHostAddress>
#include <QScopeGuard>
#include <algorithm>
#include <limits>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// The active-mode ports: counted from FirstDataPort, back to it after the
// largest value the 16-bit counter holds.
constexpr qint16 FirstDataPort = 11000;
constexpr int MaxPortAttempts = 100;
// More than this many reply lines in one pass means the server floods us;
// the next pass takes the rest.
constexpr int MaxLinesPerPass = 64;
constexpr int MaxDrainReads = 64;

// Length of the 150/125 reply the buffer begins with, its line end included:
// 0 when the buffer begins with another reply, -1 while a multi-line 150 is
// still incomplete. The whole buffer cannot simply be parsed: when the final
// reply came in the same arrival the last code would hide the 150.
qsizetype preliminaryReplyLength(const QString& buffer) {
    if (buffer.size() < 4 ||
        !(buffer.startsWith(QLatin1String("150")) || buffer.startsWith(QLatin1String("125"))))
        return 0;
    qsizetype lastLine = 0;
    if (buffer.at(3) == QLatin1Char('-')) {
        lastLine = buffer.indexOf(CrLf + buffer.left(3) + QLatin1Char(' '));
        if (lastLine < 0)
            return -1;
        lastLine += 2;
    } else if (buffer.at(3) != QLatin1Char(' ')) {
        return 0;
    }
    const qsizetype end = buffer.indexOf(CrLf, lastLine);
    return end < 0 ? -1 : end + 2;
}

// A port field of a 227 reply: a decimal number 0..255, blanks around it allowed.
bool portField(const QString& field, int& value) {
    bool ok = false;
    value = field.trimmed().toInt(&ok, 10);
    return ok && value >= 0 && value <= 255;
}

} // namespace

// ---------------------------------------------------------------- fault path

bool CFtpConnection::StepFault(const platform::Fault& fault, const char* step) {
    // A fault that already went through an inner step's trap keeps that step's name.
    if (fault.source().startsWith(QLatin1String("CFtpConnection.")))
        throw fault;
    TrapFault(fault, step);
    return false;
}

void CFtpConnection::RecordTransferFault(qint32 number, const QString& description) {
    if (m_TransferFaulted)
        return;
    m_TransferFaulted = true;
    m_TransferFaultNumber = number;
    m_TransferFaultDescription = description;
}

// ---------------------------------------------------------------- data connection set-up

quint16 CFtpConnection::NextDataPort() {
    if (m_DataPort <= 0 || m_DataPort == std::numeric_limits<qint16>::max())
        m_DataPort = FirstDataPort;
    else
        ++m_DataPort;
    return static_cast<quint16>(m_DataPort);
}

bool CFtpConnection::ProcessPORTCommand() {
    try {
        emit StateChanged(EstablishingDataConnection);

        // PORT can only name an IPv4 address.
        bool isV4 = false;
        const quint32 local = wscControl->localAddress().toIPv4Address(&isV4);
        if (!isV4) {
            TranslateReplyCode(425);
            return false;
        }
        const QHostAddress localAddress(local);

        // A taken port is skipped silently; the bound keeps a machine without
        // free ports from spinning forever.
        quint16 port = 0;
        QString lastFailure;
        for (int attempt = 0; attempt < MaxPortAttempts && port == 0; ++attempt) {
            platform::pumpEvents();
            const quint16 candidate = NextDataPort();
            try {
                if (wscData->state() != platform::Socket::Closed)
                    wscData->close();
                wscData->setLocalAddress(localAddress);
                wscData->setLocalPort(candidate);
                wscData->listen();
                port = candidate;
            } catch (const platform::Fault& fault) {
                lastFailure = fault.description();
            }
        }
        if (port == 0) {
            m_LastError = 0;
            m_LastErrorDescription = lastFailure;
            return false;
        }

        QString command = QStringLiteral("PORT ") + localAddress.toString();
        command.replace(QLatin1Char('.'), QLatin1Char(','));
        command += QStringLiteral(",%1,%2").arg(port / 256).arg(port % 256);
        if (!SendCommand(command))
            return false;
        if (WaitFor([this] { return m_ReplyBuffer.contains(CrLf); }) != WaitEnd::Completed)
            return false;
        QString reply = TakeReply();
        const qint16 code = ParseServerReply(reply);
        if (code != 200) {
            TranslateReplyCode(code);
            return false;
        }
        emit StateChanged(DataConnectionEstablished);
        return true;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessPORTCommand");
    }
}

bool CFtpConnection::ProcessPASVCommand() {
    try {
        emit StateChanged(EstablishingDataConnection);
        if (!SendCommand(QStringLiteral("PASV")))
            return false;
        if (WaitFor([this] { return m_ReplyBuffer.contains(CrLf); }) != WaitEnd::Completed)
            return false;
        QString reply = TakeReply();
        const qint16 code = ParseServerReply(reply);
        if (code != 227) {
            TranslateReplyCode(code);
            return false;
        }
        return MakePassiveDataConnection(reply);
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessPASVCommand");
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
        const quint16 port = static_cast<quint16>(high * 256 + low);
        const QString host = wscControl->remoteHostIp();

        wscData->close();
        wscData->setLocalAddress(QHostAddress());
        wscData->setLocalPort(0);
        wscData->connectToHost(host, port);
        if (WaitFor([this] { return wscData->state() == platform::Socket::Connected; }) !=
            WaitEnd::Completed)
            return false;
        emit StateChanged(DataConnectionEstablished);
        emit SessionProtocolMessage(QStringLiteral("Connected to: ") + host + QLatin1Char(':') +
                                        QString::number(port),
                                    ApplicationMessage);
        return true;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "MakePassiveDataConnection");
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
    } catch (const platform::Fault& fault) {
        wscData_Error(fault.number(), fault.description());
    }
}

void CFtpConnection::wscData_DataArrival(qint64 bytesTotal) {
    if (bytesTotal <= 0)
        return;
    try {
        const QByteArrayView bytes = wscData->readAvailable();
        if (bytes.isEmpty())
            return;
        if (!m_Downloading) {
            m_ListingText.append(bytes);
            emit ListingDataArrived(m_ListingText.size());
        } else if (m_LocalFileOpen && m_LocalFile && !m_TransferFaulted) {
            ConfirmDownload();
            if (!m_TransferFaulted) {
                m_LocalFile->write(bytes);
                m_DownloadBytes += bytes.size();
                emit DownloadProgress(m_DownloadBytes);
            }
        }
        m_TimeoutTimer->Reset();
    } catch (const platform::Fault& fault) {
        if (!m_Downloading)
            return;
        RecordTransferFault(fault.number(), fault.description());
    }
    if (m_Downloading && m_TransferFaulted) {
        // Nothing more can be stored: stop the flow; the RETR wait still takes
        // the server's final reply so it cannot answer a later command.
        CloseDataSocket();
        if (m_LocalFile)
            m_LocalFile->close();
        m_LocalFileOpen = false;
    }
}

void CFtpConnection::wscData_Close() {
    try {
        // Bytes still buffered belong to the listing or the file.
        DrainDataSocket();
        for (int i = 0; i < 4 && wscData->state() == platform::Socket::Closing; ++i)
            wscData->close();
    } catch (const platform::Fault&) {
        // A socket that cannot be closed is closed already.
    }
}

void CFtpConnection::wscData_Error(qint32 number, const QString& description) {
    CancelAnyCall();
    m_LastError = number;
    m_LastErrorDescription = description;
}

void CFtpConnection::wscData_SendProgress(qint64 bytesSent, qint64 bytesRemaining) {
    Q_UNUSED(bytesRemaining);
    if (!m_Uploading)
        return;
    m_UploadBytes += bytesSent;
    emit UploadProgress(m_UploadBytes);
}

void CFtpConnection::wscData_SendComplete() {
    if (m_Uploading && m_UploadStarted && !m_FirstBlockPending)
        UploadData(0);
    m_TimeoutTimer->Reset();
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
    try {
        if (wscData->state() != platform::Socket::Closed)
            wscData->close();
    } catch (const platform::Fault&) {
        // Already gone.
    }
}

// ---------------------------------------------------------------- listing

bool CFtpConnection::EnumFiles(std::shared_ptr<CFtpFiles>& oFiles) {
    if (m_Busy) {
        m_LastError = ErrBusy;
        return false;
    }
    m_Busy = true;
    const auto done = qScopeGuard([this] {
        m_ListingText.clear();
        CloseDataSocket();
        m_Busy = false;
    });
    // Bytes of an earlier aborted transfer must not open this listing.
    m_ListingText.clear();

    if (!(m_PassiveMode ? ProcessPASVCommand() : ProcessPORTCommand()))
        return false;
    emit StateChanged(RetrievingDirectoryInfo);
    if (!ProcessLISTCommand())
        return false;
    try {
        const WaitEnd end = WaitFor([this] {
            const int state = wscData->state();
            return state == platform::Socket::Closed || state == platform::Socket::Closing;
        });
        if (end != WaitEnd::Completed)
            return false;
        DrainDataSocket();
        oFiles = ParseListing(m_ListingText);
        emit StateChanged(DirectoryListingCompleted);
        return true;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "EnumFiles");
    }
}

bool CFtpConnection::ProcessLISTCommand() {
    try {
        m_LastError = 0;
        m_ReplyBuffer.clear();
        if (!SendCommand(QStringLiteral("LIST")))
            return false;
        QString finalReply;
        const WaitEnd end = WaitFor([&] {
            for (int line = 0; line < MaxLinesPerPass && m_ReplyBuffer.contains(CrLf); ++line) {
                const qsizetype preliminary = preliminaryReplyLength(m_ReplyBuffer);
                if (preliminary < 0)
                    return false;
                if (preliminary > 0) {
                    m_ReplyBuffer.remove(0, preliminary);
                    continue;
                }
                finalReply = TakeReply();
                return true;
            }
            return false;
        });
        if (end != WaitEnd::Completed)
            return false;
        const qint16 code = ParseServerReply(finalReply);
        if (code == 226 || code == 250)
            return true;
        TranslateReplyCode(code);
        return false;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessLISTCommand");
    }
}

// ---------------------------------------------------------------- download

bool CFtpConnection::DownloadFile(const QString& strFileName, const QString& strLocalFileName,
                                  qint32 vTransferMode, qint64 lStartPoint) {
    if (m_Busy) {
        m_LastError = ErrBusy;
        return false;
    }
    m_Busy = true;
    m_Downloading = false;
    m_LocalFileOpen = false;
    m_DownloadBytes = 0;
    m_TransferFaulted = false;
    m_TruncatePending = false;
    m_DownloadConfirmed = false;
    // A negative start point means a whole download, never "REST -1".
    const qint64 startPoint = std::max<qint64>(lStartPoint, 0);
    bool created = false;

    const auto finish = qScopeGuard([&] {
        m_Downloading = false;
        m_DownloadBytes = 0;
        m_TruncatePending = false;
        if (m_LocalFile)
            m_LocalFile->close();
        m_LocalFileOpen = false;
        CloseDataSocket();
        // A refused download leaves no empty file behind.
        if (created && !m_DownloadConfirmed) {
            try {
                platform::LocalFile::remove(strLocalFileName);
            } catch (const platform::Fault&) {
                // Nothing was written to it; leaving it is harmless.
            }
        }
        m_Busy = false;
    });

    // The local file is opened before the server is asked, so a bad local path
    // costs no traffic; it is cut back only once the server confirms.
    try {
        const bool existed = platform::LocalFile::existsAsFile(strLocalFileName);
        m_LocalFile = std::make_unique<platform::LocalFile>();
        m_LocalFile->openReadWrite(strLocalFileName);
        created = !existed;
        m_LocalFile->seek(startPoint);
    } catch (const platform::Fault& fault) {
        if (fault.source().isEmpty())
            throw platform::Fault(fault.number(), fault.description(),
                                  QStringLiteral("CFtpConnection.DownloadFile"));
        throw;
    }
    m_LocalFileName = strLocalFileName;
    m_LocalFileExisted = !created;
    m_DownloadStartPoint = startPoint;
    m_TruncatePending = true;
    m_LocalFileOpen = true;

    if (!ProcessTYPECommand(vTransferMode))
        return false;
    m_TransferMode = vTransferMode;
    if (!(m_PassiveMode ? ProcessPASVCommand() : ProcessPORTCommand()))
        return false;
    if (startPoint > 0) {
        m_DownloadBytes = startPoint;
        if (!ProcessRESTCommand(startPoint))
            return false;
    }
    m_Downloading = true;

    bool result = ProcessRETRCommand(strFileName);
    if (result) {
        const WaitEnd end = WaitFor([this] {
            const int state = wscData->state();
            return state == platform::Socket::Closed || state == platform::Socket::Closing;
        });
        if (end == WaitEnd::Completed) {
            DrainDataSocket();
            emit StateChanged(TransferCompleted);
            if (GetLastServerResponse().startsWith(QLatin1String("426"))) {
                TranslateReplyCode(426);
                result = false;
            }
        } else {
            result = false;
        }
    }
    if (m_TransferFaulted) {
        // A local write failure (a full disk, say) names the local problem.
        TranslateRuntimeError(m_TransferFaultNumber, m_TransferFaultDescription);
        m_LastError = 45;
        m_LastErrorDescription = QStringLiteral("Cannot write the local file %1: %2")
                                     .arg(strLocalFileName, m_TransferFaultDescription);
        result = false;
    }
    return result;
}

void CFtpConnection::ConfirmDownload() {
    m_DownloadConfirmed = true;
    if (!m_TruncatePending || !m_LocalFileOpen || !m_LocalFile)
        return;
    m_TruncatePending = false;
    try {
        if (m_LocalFile->length() > m_DownloadStartPoint)
            m_LocalFile->truncate(m_DownloadStartPoint);
        m_LocalFile->seek(m_DownloadStartPoint);
    } catch (const platform::Fault& fault) {
        RecordTransferFault(fault.number(), fault.description());
    }
}

bool CFtpConnection::ProcessRESTCommand(qint64 lStartPoint) {
    try {
        if (!SendCommand(QStringLiteral("REST ") + QString::number(lStartPoint)))
            return false;
        if (WaitFor([this] { return m_ReplyBuffer.contains(CrLf); }) != WaitEnd::Completed)
            return false;
        QString reply = TakeReply();
        const qint16 code = ParseServerReply(reply);
        if (code == 350)
            return true;
        TranslateReplyCode(code);
        return false;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessRESTCommand");
    }
}

bool CFtpConnection::ProcessRETRCommand(const QString& strFileName) {
    try {
        m_ListingText.clear();
        if (!SendCommand(QStringLiteral("RETR ") + strFileName))
            return false;
        QString finalReply;
        bool interrupted = false;
        bool started = false;
        const WaitEnd end = WaitFor([&] {
            // A 426 on the control connection or CancelTransfer cleared the
            // transfer state; what the buffer holds is this wait's answer.
            if (!m_Downloading) {
                interrupted = true;
                finalReply = TakeReply();
                return true;
            }
            for (int line = 0; line < MaxLinesPerPass && m_ReplyBuffer.contains(CrLf); ++line) {
                const qsizetype preliminary = preliminaryReplyLength(m_ReplyBuffer);
                if (preliminary < 0)
                    return false;
                if (preliminary > 0) {
                    m_ReplyBuffer.remove(0, preliminary);
                    if (!started)
                        emit StateChanged(TransferInProgress);
                    started = true;
                    ConfirmDownload();
                    continue;
                }
                finalReply = TakeReply();
                return true;
            }
            return false;
        });
        if (end != WaitEnd::Completed)
            return false;
        const qint16 code = ParseServerReply(finalReply);
        if (interrupted && code != 426) {
            m_LastError = ErrCancelled;
            GetFtpErrorDescription(ErrCancelled);
            return false;
        }
        if (code == 226 || code == 250) {
            // An empty file may come without a 150 and without data.
            ConfirmDownload();
            return true;
        }
        TranslateReplyCode(code);
        return false;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessRETRCommand");
    }
}

// ---------------------------------------------------------------- upload

bool CFtpConnection::UploadFile(const QString& strLocalFileName, const QString& strRemoteFileName,
                                qint32 vTransferMode, qint64 lStartPoint) {
    if (m_Busy) {
        m_LastError = ErrBusy;
        return false;
    }
    m_Busy = true;
    m_Uploading = false;
    m_LocalFileOpen = false;
    m_UploadBytes = 0;
    m_BlockIndex = 0;
    m_UploadStarted = false;
    m_FirstBlockPending = false;
    m_UploadDataDone = false;
    m_TransferFaulted = false;
    const qint64 startPoint = std::max<qint64>(lStartPoint, 0);

    const auto finish = qScopeGuard([this] {
        m_Uploading = false;
        m_UploadStarted = false;
        m_FirstBlockPending = false;
        if (m_LocalFile)
            m_LocalFile->close();
        m_LocalFileOpen = false;
        CloseDataSocket();
        m_Busy = false;
    });

    // Read-only: an upload never creates or changes anything locally, and a
    // missing or unreadable file is reported before the server hears of it.
    try {
        m_LocalFile = std::make_unique<platform::LocalFile>();
        m_LocalFile->openReadOnly(strLocalFileName);
        m_UploadLength = m_LocalFile->length();
    } catch (const platform::Fault& fault) {
        if (fault.source().isEmpty())
            throw platform::Fault(fault.number(), fault.description(),
                                  QStringLiteral("CFtpConnection.UploadFile"));
        throw;
    }
    m_LocalFileOpen = true;
    if (startPoint > m_UploadLength) {
        TranslateRuntimeError(40021,
                              QStringLiteral("The start point %1 lies beyond the end of %2 (%3 "
                                             "bytes).")
                                  .arg(startPoint)
                                  .arg(strLocalFileName)
                                  .arg(m_UploadLength));
        return false;
    }

    if (!ProcessTYPECommand(vTransferMode))
        return false;
    m_TransferMode = vTransferMode;
    if (!(m_PassiveMode ? ProcessPASVCommand() : ProcessPORTCommand()))
        return false;
    if (!ProcessRESTCommand(startPoint))
        return false;
    m_LocalFileName = strLocalFileName;
    m_Uploading = true;
    if (!ProcessSTORCommand(strLocalFileName, strRemoteFileName, startPoint))
        return false;

    // The server's final reply has confirmed the file: a time-out or cancel
    // while the data connection winds down does not undo that.
    const WaitEnd end = WaitFor([this] {
        const int state = wscData->state();
        return state == platform::Socket::Closed || state == platform::Socket::Closing;
    });
    if (end == WaitEnd::Completed)
        emit StateChanged(TransferCompleted);
    return true;
}

bool CFtpConnection::ProcessSTORCommand(const QString& strLocalFileName,
                                        const QString& strRemoteFileName, qint64 lStartPoint) {
    try {
        m_ListingText.clear();
        if (!SendCommand(QStringLiteral("STOR ") + strRemoteFileName))
            return false;
        QString finalReply;
        bool interrupted = false;
        const WaitEnd end = WaitFor([&] {
            if (!m_Uploading && !m_UploadDataDone) {
                interrupted = true;
                finalReply = TakeReply();
                return true;
            }
            for (int line = 0; line < MaxLinesPerPass && m_ReplyBuffer.contains(CrLf); ++line) {
                const qsizetype preliminary = preliminaryReplyLength(m_ReplyBuffer);
                if (preliminary < 0)
                    break;
                if (preliminary > 0) {
                    m_ReplyBuffer.remove(0, preliminary);
                    if (!m_UploadStarted && !m_FirstBlockPending) {
                        emit StateChanged(TransferInProgress);
                        m_LocalFileName = strLocalFileName;
                        m_FirstBlockPending = true;
                    }
                    continue;
                }
                finalReply = TakeReply();
                return true;
            }
            return UploadDataPass(lStartPoint);
        });
        if (end != WaitEnd::Completed)
            return false;
        if (m_TransferFaulted) {
            m_TransferFaulted = false;
            return StepFault(platform::Fault(m_TransferFaultNumber, m_TransferFaultDescription),
                             "UploadData");
        }
        const qint16 code = ParseServerReply(finalReply);
        if (interrupted && code != 426) {
            m_LastError = ErrCancelled;
            GetFtpErrorDescription(ErrCancelled);
            return false;
        }
        if (code == 226 || code == 250)
            return true;
        TranslateReplyCode(code);
        return false;
    } catch (const platform::Fault& fault) {
        return StepFault(fault, "ProcessSTORCommand");
    }
}

// One pass of the STOR wait over the data side: the first block once the data
// connection is up, and the end of the data once every byte is reported sent.
// Returns true only when nothing more can happen (a local fault with the data
// connection gone).
bool CFtpConnection::UploadDataPass(qint64 lStartPoint) {
    if (m_TransferFaulted) {
        // The server sees the end of the data and answers; that reply ends the wait.
        CloseDataSocket();
        return false;
    }
    if (m_FirstBlockPending && wscData->state() == platform::Socket::Connected) {
        m_FirstBlockPending = false;
        UploadData(lStartPoint);
    }
    if (m_UploadStarted && !m_FirstBlockPending && !m_UploadDataDone && !m_TransferFaulted &&
        m_UploadBytes >= m_UploadLength) {
        // Closing the data connection tells the server the file is complete.
        m_UploadDataDone = true;
        CloseDataSocket();
        if (m_LocalFile)
            m_LocalFile->close();
        emit StateChanged(TransferCompleted);
        m_UploadBytes = 0;
        m_LocalFileOpen = false;
        m_Uploading = false;
    }
    if (m_UploadDataDone && wscData->state() != platform::Socket::Closed)
        CloseDataSocket();
    return false;
}

void CFtpConnection::UploadData(qint64 lStartPoint) {
    try {
        if (!m_UploadStarted) {
            m_UploadStarted = true;
            if (lStartPoint >= 1) {
                m_LocalFile->seek(lStartPoint);
                m_UploadBytes = lStartPoint;
            }
            const qint64 length = m_UploadLength - std::max<qint64>(lStartPoint, 0);
            m_BlockCount = length / UploadBlockSize;
            m_LastBlockSize = static_cast<qint32>(length % UploadBlockSize);
            if (m_BlockCount != 0) {
                // Many small blocks: whole segments cost the receiver (and
                // on loopback this process too) far less than one per block.
                wscData->setSendCoalescing(true);
                SendUploadBlock(UploadBlockSize);
                m_BlockIndex = 1;
            } else {
                SendUploadBlock(m_LastBlockSize);
                m_BlockIndex = 0;
            }
            return;
        }
        if (m_BlockIndex > 0 && m_BlockIndex < m_BlockCount) {
            SendUploadBlock(UploadBlockSize);
            ++m_BlockIndex;
        } else if (m_BlockIndex != 0) {
            m_BlockIndex = 0;
            SendUploadBlock(m_LastBlockSize);
            wscData->setSendCoalescing(false);
        }
    } catch (const platform::Fault& fault) {
        RecordTransferFault(fault.number(), fault.description());
        if (m_LocalFile)
            m_LocalFile->close();
        m_LocalFileOpen = false;
    }
}

void CFtpConnection::SendUploadBlock(qint64 size) {
    if (size <= 0)
        return;
    m_LocalFile->read(m_UploadBlock, size);
    if (m_UploadBlock.size() != size)
        throw platform::Fault(platform::LocalFile::ErrDeviceIO,
                              QStringLiteral("The local file %1 became shorter during the upload.")
                                  .arg(m_LocalFileName));
    wscData->send(m_UploadBlock);
}
