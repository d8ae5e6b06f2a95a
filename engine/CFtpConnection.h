#pragma once

#include "CFtpFiles.h"
#include "CTimeout.h"
#include "Fault.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <memory>
#include <optional>

namespace platform {
class Socket;
class LocalFile;
} // namespace platform

// The FTP session engine: one control connection, one data connection at a
// time. Every operation blocks its caller until its exchange is over while
// pumping events, so the owner's window stays responsive. Failures are
// values: a false result plus FtpGetLastError()/GetFtpErrorDescription().
// Only faults the engine does not know reach the caller (platform::Fault).
class CFtpConnection : public QObject {
    Q_OBJECT
public:
    enum FtpConnectionState {
        ResolvingHost = 0,
        HostResolved = 1,
        Connected = 2,
        Authenticating = 3,
        LoggedIn = 4,
        EstablishingDataConnection = 5,
        DataConnectionEstablished = 6,
        RetrievingDirectoryInfo = 7,
        DirectoryListingCompleted = 8,
        TransferInProgress = 9,
        TransferCompleted = 10
    };
    enum FtpMessageType {
        UserCommand = 0,
        ServerResponse = 1,
        ServerBadResponse = 2,
        ApplicationMessage = 3
    };
    // The engine's own error codes.
    enum { ErrTimeout = 58, ErrTransferInProgress = 59, ErrBusy = 60, ErrCancelled = 61 };

    explicit CFtpConnection(QObject* parent = nullptr);
    ~CFtpConnection() override;

    // --- members in interface order
    void CancelAnyCall();
    void setWindowHandle(qint32 hwnd);
    qint32 FtpGetLastError() const;
    QString CurrentDirectory() const;
    QString GetLastServerResponse() const;
    qint32 TransferMode() const;
    void setTransferMode(qint32 value); // sends TYPE when the value changes
    bool PassiveMode() const;
    void setPassiveMode(bool value);
    bool EnumFiles(std::shared_ptr<CFtpFiles>& oFiles);
    bool SetCurrentDirectory(const QString& strNewDirectory);
    QString FtpServer() const;
    void setFtpServer(const QString& value);
    QString Password() const;
    void setPassword(const QString& value);
    QString UserName() const;
    void setUserName(const QString& value);
    bool Connect();
    bool RenameFile(const QString& strOldFileName, const QString& strNewFileName);
    bool DeleteFile(const QString& strFileName);
    bool RemoveDirectory(const QString& strDirName);
    bool CreateDirectory(const QString& strDirName);
    bool DownloadFile(const QString& strFileName, const QString& strLocalFileName,
                      qint32 vTransferMode, qint64 lStartPoint);
    void BreakeConnection();
    bool UploadFile(const QString& strLocalFileName, const QString& strRemoteFileName,
                    qint32 vTransferMode, qint64 lStartPoint);
    void setTimeout(qint16 seconds);
    qint16 Timeout() const;
    bool Busy() const;
    QString GetCurrentDirectory();
    bool CancelTransfer();
    bool SetParentAsCurrentDirectory();
    QString GetFtpErrorDescription(qint32 lngErrorCode);
    bool CloseConnection();
    QString WelcomeMessage(); // emptied by the read

    // Control connection port; 21 unless a caller says otherwise.
    quint16 Port() const;
    void setPort(quint16 port);

    // Anonymous password sent when none is given.
    static const QString AnonymousPassword;

signals:
    void StateChanged(int State);
    void DownloadProgress(qint64 lBytes);
    void UploadProgress(qint64 lBytes);
    void ListingDataArrived(qint64 lTotalBytes);
    void SessionProtocolMessage(const QString& strMessage, int MessageType);

protected:
    // Writes one finished command line (line end included) to the control
    // socket. Virtual only so that tests can inject faults.
    virtual void WriteControl(const QByteArray& line);

private:
    // ----- control channel (CFtpConnection.cpp)
    void wscControl_DataArrival(qint64 bytesTotal);
    void wscControl_Error(qint32 Number, const QString& Description);
    // The reply code of the text's last final line, 0 when it holds none. An
    // incomplete multi-line reply is awaited (the running wait's time-out and
    // cancel still apply) and the caller's text becomes the whole buffer.
    qint16 ParseServerReply(QString& text);

    // The one function that puts a command line on the wire. A line holding
    // CR, LF or NUL is refused (last error 48, nothing sent or logged) and the
    // result is false. On a control socket that is not connected it throws
    // the socket's wrong-state fault (40006, last error 4 once trapped).
    // Logs strLogged, or the command itself when strLogged is empty.
    bool SendCommand(const QString& strCommand, const QString& strLogged = {});

    enum class WaitEnd { Completed, TimedOut, Cancelled };
    // The common wait: starts the timer from the tick count, clears the cancel
    // flag, then blocks for events and tests time-out (58), cancel (61) and
    // the completion test, in that order. Sets the last error on 58 and 61.
    // The first pass does not block, so a reply already buffered completes at
    // once. The timer is stopped on the way out, also when a fault passes.
    // While it runs, m_WaitTimerId names its timer.
    WaitEnd WaitFor(const std::function<bool()>& completed);
    QString TakeReply(); // the whole reply buffer, emptied

    // Completion tests of the command steps.
    enum class Completion { LineEnd, Length, Parsed };
    bool ReplyComplete(Completion test);
    // SendCommand + WaitFor(test) + TakeReply. Empty when the line was refused
    // or the wait timed out or was cancelled (last error already set).
    std::optional<QString> Exchange(const QString& strCommand, Completion test,
                                    const QString& strLogged = {});
    // True when code is the accepted one; otherwise records it through
    // TranslateReplyCode. An empty reply (no exchange) is a plain failure.
    bool Expect(const std::optional<QString>& reply, qint16 accepted);

    // Fault path of a trapped step: a known fault number becomes the last
    // error (and its description), an unknown one is rethrown with the source
    // "CFtpConnection." + step.
    void TrapFault(const platform::Fault& fault, const char* step);
    // Runs a step under the fault trap; a trapped known fault yields the
    // step's failure value (a value-initialised result).
    template <typename Step> auto Trapped(const char* step, Step body) -> decltype(body()) {
        try {
            return body();
        } catch (const platform::Fault& fault) {
            TrapFault(fault, step);
            return decltype(body()){};
        }
    }
    // A member guarded by the busy flag: 60 and busyResult while busy,
    // otherwise Busy for the duration of body (cleared also when a fault passes).
    template <typename Result, typename Body> Result Guarded(Result busyResult, Body body) {
        if (m_Busy) {
            m_LastError = ErrBusy;
            return busyResult;
        }
        m_Busy = true;
        BusyScope scope{m_Busy};
        return body();
    }
    struct BusyScope {
        bool& busy;
        ~BusyScope() { busy = false; }
    };
    // For the members that run even while another operation waits (Stop,
    // the transfer type): busy while they run, and afterwards busy again if
    // an interrupted operation is still waiting further up the stack. Clearing
    // the flag there would let a second command start inside a running
    // transfer and take over its data connection.
    struct BusyOverride {
        bool& busy;
        const bool before = busy;
        explicit BusyOverride(bool& flag) : busy(flag) { busy = true; }
        ~BusyOverride() { busy = before; }
    };

    qint32 ProcessUSERCommand();
    qint32 ProcessPASSCommand();
    bool ProcessPWDCommand();
    bool ProcessTYPECommand(qint32 vTransferMode);
    bool ProcessCWDCommand(const QString& strNewDirectory);
    bool ProcessCDUPCommand();
    bool ProcessMKDCommand(const QString& strDirName);
    bool ProcessRMDCommand(const QString& strDirName);
    bool ProcessDELECommand(const QString& strFileName);
    bool ProcessRNFRCommand(const QString& strFileName);
    bool ProcessRNTOCommand(const QString& strFileName);
    bool ProcessQUITCommand();
    bool ProcessABORCommand();
    // Connect's connect wait, greeting wait and log-in; loggedIn turns true
    // once USER/PASS succeeded, so a later fault still reports the log-in.
    void ConnectAndLogIn(bool& loggedIn);
    void LogIn(bool& loggedIn);

    // ----- error model (CFtpConnection.cpp / FtpErrors)
    bool TranslateReplyCode(qint32 code);
    bool TranslateRuntimeError(qint32 number, const QString& description);
    // Closes the local file, empties the listing text, zeroes both transfer
    // counts and clears both transfer flags and the local-file-open flag.
    // Callers decide whether a transfer was running and about the data socket.
    void ResetTransferState();

    // ----- data side (CFtpConnectionTransfer.cpp)
    bool ProcessPORTCommand();
    bool ProcessPASVCommand();
    bool MakePassiveDataConnection(const QString& strReply);
    quint16 NextDataPort();
    bool ProcessLISTCommand();
    bool ProcessRESTCommand(qint64 lStartPoint);
    bool ProcessRETRCommand(const QString& strFileName);
    bool ProcessSTORCommand(const QString& strLocalFileName, const QString& strRemoteFileName,
                            qint64 lStartPoint);
    void UploadData(qint64 lStartPoint);
    void wscData_ConnectionRequest(int requestID);
    void wscData_DataArrival(qint64 bytesTotal);
    void wscData_Close();
    void wscData_Error(qint32 number, const QString& description);
    void wscData_SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void wscData_SendComplete();
    // Helpers of the data side.
    // The data side's fault trap: TrapFault, but a fault an inner step has
    // already named passes on unchanged. Returns the step's failure value.
    bool StepFault(const platform::Fault& fault, const char* step);
    void DrainDataSocket();
    void CloseDataSocket();
    void ConfirmDownload();
    bool UploadDataPass(qint64 lStartPoint);
    void SendUploadBlock(qint64 size);
    void RecordTransferFault(qint32 number, const QString& description);

    // ----- fields
    QString m_UserName;
    QString m_Password;
    QString m_FtpServer;
    QString m_CurrentDirectory;
    bool m_PassiveMode = false;
    bool m_Busy = false;
    qint16 m_Timeout = 0;
    QString m_WelcomeMessage;
    qint32 m_TransferMode = 0;
    qint32 m_LastError = 0;
    QString m_LastErrorDescription;
    QString m_ReplyBuffer;
    QString m_LastServerResponse;
    CTimeout* m_TimeoutTimer = nullptr;
    bool m_CancelCall = false;
    qint32 m_WindowHandle = 0;
    quint16 m_Port = 21;
    QStringDecoder m_ControlDecoder{QStringDecoder::Utf8};
    // Timer of the wait in progress (0 when none); the multi-line reply wait
    // inside ParseServerReply honours it.
    quint32 m_WaitTimerId = 0;

    // data-transfer state
    QByteArray m_ListingText;
    QString m_LocalFileName;
    std::unique_ptr<platform::LocalFile> m_LocalFile;
    bool m_LocalFileOpen = false;
    bool m_Downloading = false;
    qint64 m_DownloadBytes = 0;
    bool m_Uploading = false;
    qint64 m_UploadBytes = 0;
    qint64 m_BlockCount = 0;
    qint32 m_LastBlockSize = 0;
    qint64 m_BlockIndex = 0;
    qint16 m_DataPort = 0;
    // Upload blocks: the socket gets the next block only after the previous
    // one has been sent completely, so memory stays at one block. Each block
    // costs an event-loop round; 64 KiB keeps that cost small next to the copy.
    static constexpr qint64 UploadBlockSize = 64 * 1024;
    QByteArray m_UploadBlock;
    // Length of the local file, taken once at the start.
    qint64 m_UploadLength = 0;
    // The server confirmed STOR; the first block waits for the data connection.
    bool m_UploadStarted = false;
    bool m_FirstBlockPending = false;
    // Every byte was sent and the client closed the data connection.
    bool m_UploadDataDone = false;
    // Download: the local file is cut back only once the server confirms.
    qint64 m_DownloadStartPoint = 0;
    bool m_TruncatePending = false;
    bool m_LocalFileExisted = false;
    bool m_DownloadConfirmed = false;
    // A fault inside a data-socket handler cannot travel through the event
    // loop; it is kept here and raised by the waiting step.
    bool m_TransferFaulted = false;
    qint32 m_TransferFaultNumber = 0;
    QString m_TransferFaultDescription;

    platform::Socket* wscControl = nullptr;
    platform::Socket* wscData = nullptr;
};
