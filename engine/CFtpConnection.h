#pragma once

#include "CFtpFiles.h"
#include "CTimeout.h"
#include "ControlChannel.h"
#include "Fault.h"
#include "FtpFeatures.h"
#include "FtpSecurity.h"
#include "ListingStream.h"
#include "ReplyReader.h"
#include "TlsPeer.h"
#include "Transfer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QScopeGuard>
#include <QString>
#include <deque>
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
// An engine lives in the thread that made it, with that thread's event pump
// and timers; engines in different threads share nothing.
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
    enum {
        ErrClosedByServer = 7,
        ErrTimeout = 58,
        ErrTransferInProgress = 59,
        ErrBusy = 60,
        ErrCancelled = 61,
        // The server's reply (or listing, or flood of replies) broke a limit;
        // the control connection is closed.
        ErrReplyTooLong = 62,
        // The data connection ended before the whole file arrived or was sent.
        ErrIncompleteTransfer = 63,
        // A reply the step did not expect and the tables have no error for;
        // the description carries the reply's text.
        ErrUnexpectedReply = 64,
        // FTP over TLS was required and the server refused AUTH TLS.
        ErrTlsRefused = 65,
        // The server's certificate was not accepted; nothing of the log-in
        // was sent.
        ErrCertificateRefused = 66,
        // A pinned or trusted certificate was replaced by another.
        ErrCertificateChanged = 67,
        // TLS was required and the server refused to protect the data
        // connections (PBSZ or PROT P); the session is closed before any
        // data connection.
        ErrProtectionRefused = 68,
        // "If available" met a server without TLS (or without protected data
        // connections) and the downgrade was not allowed: no question was set,
        // it was answered no, or the server's certificate is trusted or pinned
        // (proof that it spoke TLS before).
        ErrDowngradeRefused = 69
    };

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
    // The same listing, each entry handed to `entry` as soon as its line has
    // arrived, and none kept: for callers that pass entries straight on
    // (krellin-cli's ls). `entry` runs inside the wait and must not call the
    // connection. False when the listing did not come whole; the entries
    // handed out by then are what arrived.
    bool EnumFiles(const ListingStream::Sink& entry);
    // The last listing came with the server's word that it is incomplete
    // (a positive final reply saying "truncated"), and that line of text.
    // Set by each listing; false after one that failed.
    bool ListingTruncated() const;
    QString ListingTruncatedText() const;
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
    // Plain image-type transfers move their bytes inside the system
    // (sendfile, splice) unless this is off; on by default, off when the
    // environment has KRELLIN_ZERO_COPY=0. TLS and ASCII type always copy.
    bool ZeroCopy() const;
    void setZeroCopy(bool on);
    // Off by default: every transfer sends its TYPE. On (the queue's
    // workers, which move one file after another), a transfer sends TYPE
    // only when the server has not accepted that type in this session
    // already; the type is forgotten on a new log-in and after any failed
    // transfer or lost connection, so that the next one says it again.
    void setSkipRepeatedType(bool on);
    // The size of a remote file in image type (SIZE, after TYPE I where
    // needed): the bytes a resumed upload may start from. -1 when the
    // server refuses or has no such file (last error set).
    qint64 RemoteFileSize(const QString& strFileName);
    bool SetParentAsCurrentDirectory();
    QString GetFtpErrorDescription(qint32 lngErrorCode);
    bool CloseConnection();
    QString WelcomeMessage(); // emptied by the read

    // Control connection port; 21 unless a caller says otherwise.
    quint16 Port() const;
    void setPort(quint16 port);

    // Anonymous password sent when none is given.
    static const QString AnonymousPassword;

    // --- FTP over TLS and the extensions of RFC 2389, 2428, 3659 and 4217.
    // Plain unless a caller chooses otherwise; applies from the next Connect.
    FtpSecurity::Mode Security() const;
    void setSecurity(FtpSecurity::Mode mode);
    // FEAT after the log-in and what it offers: OPTS UTF8 ON, EPSV, MLSD.
    // Off, the session speaks the FTP of RFC 959 only (EPSV and EPRT still
    // serve an IPv6 connection, where PASV and PORT cannot).
    bool Extensions() const;
    void setExtensions(bool on);
    // The SHA-256 of the one certificate to accept for this server (pinned
    // by the user, or stored as "always trust"); empty for none.
    void setTrustedFingerprint(const QByteArray& sha256);
    // Accept a certificate that cannot be verified (krellin-cli --insecure).
    void setInsecure(bool on);
    // Authorities trusted besides the system's store.
    void setTlsCaCertificates(const QList<QSslCertificate>& certificates);
    // Asked during Connect about a certificate that is neither verified nor
    // trusted; true accepts it for this session. The log-in has not been
    // sent when it is asked, and without an answer the certificate is refused.
    using CertificateQuestion = std::function<bool(const platform::TlsPeer& peer)>;
    void setCertificateQuestion(CertificateQuestion ask);
    // Asked during Connect on "if available" when the server refuses TLS
    // (before the log-in is sent) or refuses to protect the data connections
    // (after it): true goes on without that protection for this session.
    // Without a question the downgrade is refused (69).
    enum class Downgrade { NoTls, NoDataProtection };
    using DowngradeQuestion = std::function<bool(Downgrade what)>;
    void setDowngradeQuestion(DowngradeQuestion ask);
    // The control connection is encrypted (and, after PROT P, every data
    // connection), and the certificate it showed.
    bool Encrypted() const;
    // Every data connection of this session is TLS (PROT P in force).
    bool DataProtected() const;
    // The control connection is open and the log-in stands. False after a
    // broken connection, and after the engine closed a session whose replies
    // could no longer be trusted (a time-out, a Stop whose owed replies did
    // not come): the next command then fails as on a broken connection.
    bool SessionOpen() const;
    platform::TlsPeer ServerCertificate() const;
    // What FEAT offered in this session (empty without Extensions).
    const FtpFeatures& Features() const;
    // The server's checksum of a remote file, for proving a transfer: HASH
    // (with OPTS HASH to pick the strongest it offers), else XSHA256, XSHA1,
    // XMD5 or XCRC, as FEAT offers them. The lower-case hex digest, with the
    // algorithm's name ("SHA-256", "SHA-1", "MD5", "CRC32") in *algorithm;
    // empty when the server offers none or refuses (last error set).
    QString FileChecksum(const QString& strFileName, QString* algorithm);

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
    // ----- control channel (ControlChannel, driven from CFtpConnection.cpp)
    void LogSent(const QString& text);
    void LogReceived(const QString& text, int code);

    // Puts a command line on the wire through the channel. A line holding CR,
    // LF or NUL is refused (last error 48, nothing sent or logged) and the
    // result is false. On a control connection that is not up it throws the
    // socket's wrong-state fault (40006, last error 4 once trapped).
    bool SendCommand(const QString& strCommand, const QString& strLogged = {});

    using WaitEnd = ControlChannel::WaitEnd;
    // The channel's one wait; an end other than Completed sets the last error
    // (61 cancelled, 58 time-out, or the connection's own failure).
    WaitEnd WaitFor(const std::function<bool()>& completed);
    // Waits for the next complete reply. Empty after a time-out, a cancel or
    // a failed connection (last error already set).
    std::optional<FtpReply> WaitForReply();
    // SendCommand + WaitForReply. Empty when the line was refused or no reply came.
    std::optional<FtpReply> Exchange(const QString& strCommand, const QString& strLogged = {});
    // True when the reply carries the accepted code; otherwise the refusal is
    // recorded (RecordRefusal). No reply is a plain failure.
    bool Expect(const std::optional<FtpReply>& reply, qint16 accepted);
    // The last error for a reply the step did not accept: the table's code and
    // text, or, for a code the table has no error for, 64 with the reply's own
    // text, so no failure goes unnamed.
    void RecordRefusal(const FtpReply& reply);
    // A multi-line reply of the greeting, the log-in or a directory change
    // leaves its message for WelcomeMessage.
    void KeepMessage(const FtpReply& reply);

    // Fault path of a trapped step: a known fault number becomes the last
    // error (and its description), an unknown one is rethrown with the source
    // "CFtpConnection." + step. A fault an inner step has already named
    // passes on unchanged. Returns the step's failure value.
    bool TrapFault(const platform::Fault& fault, const char* step);
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
    // The one busy guard of every operation: 60 and busyResult while another
    // runs; otherwise Busy for the duration of body, and then EndOperation,
    // also when a fault passes.
    template <typename Result, typename Body> Result Guarded(Result busyResult, Body body) {
        if (m_Busy) {
            m_LastError = ErrBusy;
            return busyResult;
        }
        m_Busy = true;
        // A cancel belongs to the operation it interrupted, not to this one.
        m_Control->clearCancel();
        const auto end = qScopeGuard([this] {
            EndOperation();
            m_Busy = false;
        });
        return body();
    }
    // One command, one reply: an operation that ends with replies still owed
    // leaves no late reply to answer the next command. After the user's Stop
    // the data connection is closed, a running transfer is aborted (ABOR),
    // and the owed replies are taken if they come within a second; otherwise,
    // and after a time-out or a reply out of place, the control connection is
    // closed and the session is over (SessionOpen() false). The last error
    // stays the operation's own.
    void EndOperation();
    void SettleAfterStop();
    void CloseOutOfStep(const QString& why);

    qint32 ProcessUSERCommand();
    qint32 ProcessPASSCommand();
    bool ProcessPWDCommand();
    bool ProcessTYPECommand(qint32 vTransferMode);
    // TYPE unless SkipRepeatedType holds and the server has it already.
    bool EnsureType(qint32 vTransferMode);
    bool ProcessCWDCommand(const QString& strNewDirectory);
    bool ProcessCDUPCommand();
    bool ProcessMKDCommand(const QString& strDirName);
    bool ProcessRMDCommand(const QString& strDirName);
    bool ProcessDELECommand(const QString& strFileName);
    bool ProcessRNFRCommand(const QString& strFileName);
    bool ProcessRNTOCommand(const QString& strFileName);
    bool ProcessQUITCommand();
    bool ProcessABORCommand();
    // CFtpConnectionChecksum.cpp: one command each, the digest from the reply.
    QString ProcessHASHCommand(const QString& strFileName, QString* algorithm);
    QString ProcessXHASHCommand(const QString& strFileName, QString* algorithm);
    // Connect's connect wait, greeting wait and log-in; loggedIn turns true
    // once USER/PASS succeeded, so a later fault still reports the log-in.
    void ConnectAndLogIn(bool& loggedIn);
    void LogIn(bool& loggedIn);
    // AUTH TLS and the handshake; false ends the connect (last error set).
    // Plain FTP goes on when the choice allows it and the server refuses.
    bool ProcessAUTHCommand();
    // Waits for the control connection's handshake and judges the
    // certificate; false closes the connection without a word sent.
    bool SecureControlConnection();
    // After the log-in: FEAT and OPTS UTF8 ON with the extensions.
    void AfterLogIn();
    // PBSZ 0 and PROT P on an encrypted session. A refusal ends the connect
    // (68) where TLS is required, and is a downgrade on "if available".
    bool ProtectData();
    // "If available" meets less protection than asked for: true when the
    // user allowed it (never for a server with a trusted certificate);
    // otherwise 69 is set.
    bool AllowDowngrade(Downgrade what);

    // ----- error model (CFtpConnection.cpp / FtpErrors)
    bool TranslateReplyCode(qint32 code);
    bool TranslateRuntimeError(qint32 number, const QString& description);

    // ----- data side (CFtpConnectionTransfer.cpp)
    bool ProcessPORTCommand();
    bool ProcessEPRTCommand();
    // Opens the local end for the server to connect to; 0 when no port could be had.
    quint16 ListenForData(const QHostAddress& localAddress);
    bool ProcessPASVCommand();
    bool ProcessEPSVCommand();
    bool MakePassiveDataConnection(const QString& strReply);
    bool ConnectPassiveData(quint16 port);
    // EPSV rather than PASV: an IPv6 connection, or the server offers it.
    bool UseEpsv() const;
    bool PrepareData(); // the passive or active set-up the mode asks for
    // Both forms of EnumFiles: the listing into oFiles, or (with a sink) entry
    // by entry as it arrives.
    bool ListDirectory(const ListingStream::Sink& entry, std::shared_ptr<CFtpFiles>* oFiles);
    // Empties what the last listing left, for a listing of the given kind.
    void StartListing(ListingStream::Kind kind);
    // After a whole MLSD (CFtpConnectionLinks.cpp): notes a truncated
    // listing, reads the entries (into files, or out to the sink) and gives
    // links named without a target the target and kind of the folder's LIST,
    // held-back streamed links last. False when the session failed on the way.
    bool CompleteLinks(std::shared_ptr<CFtpFiles>& files);
    bool ProcessMLSDCommand();
    quint16 NextDataPort();
    bool ProcessLISTCommand();
    bool ProcessRESTCommand(qint64 lStartPoint);
    bool ProcessRETRCommand(const QString& strFileName);
    bool ProcessSTORCommand(const QString& strRemoteFileName);
    void wscData_ConnectionRequest(int requestID);
    void wscData_DataArrival(qint64 bytesTotal);
    void wscData_Close();
    void wscData_Error(qint32 number, const QString& description);
    void wscData_SendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void wscData_SendComplete();

    // How a transfer command's wait ended. Every end but Replied has set the
    // last error already (Cancelled: 61).
    enum class TransferEnd { Replied, NoReply, Cancelled, Flooded };
    // Sends a transfer command (LIST, RETR, STOR) and waits for its replies
    // and its data: each preliminary 1xx reply goes to onPreliminary, the
    // final one to finalReply; a positive final reply also waits for the end
    // of the data connection. onPass runs on every pass (the upload's pump).
    TransferEnd TransferExchange(const QString& strCommand, FtpReply& finalReply,
                                 const std::function<void(const FtpReply&)>& onPreliminary,
                                 const std::function<void()>& onPass = {});
    TransferEnd ExchangeOnce(const QString& strCommand, FtpReply& finalReply,
                             const std::function<void(const FtpReply&)>& onPreliminary,
                             const std::function<void()>& onPass);
    // Active mode: the server answered 425 without ever connecting.
    bool ServerMissedDataPort(const FtpReply& finalReply) const;
    // The last error for a transfer whose command got a final reply: the
    // refusal, or a data connection that failed (reset) on the way.
    bool TransferSucceeded(const FtpReply& finalReply);
    bool ListingSucceeded(const FtpReply& finalReply);
    void PrepareDataConnection();
    bool DataConnectionEnded() const;
    void DrainDataSocket();
    void CloseDataSocket();
    // Download: the server confirmed; the local file is cut back to the
    // start point now, not before.
    void ConfirmDownload();
    // Keeps the upload's data connection fed, and ends the upload once
    // every byte has been sent.
    void UploadData();
    void EndUpload();
    // Download in zero copy: moves what arrived into the file inside the
    // system; clears the transfer's zeroCopy when the socket cannot.
    void ReceiveDownloadData();
    // A local fault stops the data flow (the final reply is still taken).
    void CheckDataFault();
    // This transfer may move its bytes inside the system.
    bool UseZeroCopy(qint32 vTransferMode) const;
    // Starts a transfer of this kind: the state it reads and moves.
    void BeginTransfer(Transfer::Kind kind);
    // Opens the transfer's local file; a fault passes on to the caller,
    // named "CFtpConnection." + step.
    void OpenLocalFile(const char* step, const std::function<void(platform::LocalFile&)>& open);

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
    bool m_SkipRepeatedType = false;
    // The type the server accepted last in this session; -1 when unknown.
    qint32 m_ServerType = -1;
    qint32 m_LastError = 0;
    QString m_LastErrorDescription;
    qint32 m_WindowHandle = 0;
    quint16 m_Port = 21;

    // data-transfer state
    Transfer m_Transfer;
    // The line of the last listing's final reply saying it was cut short.
    QString m_ListingNotice;
    qint16 m_DataPort = 0;
    // Upload blocks: the next block is read and queued while the previous
    // ones drain, so the system's send buffer never runs dry waiting for
    // the engine; at most UploadInFlight bytes wait in the socket, so memory
    // stays flat.
    static constexpr qint64 UploadBlockSize = 64 * 1024;
    static constexpr qint64 UploadInFlight = 256 * 1024;
    QByteArray m_UploadBlock;
    bool m_ZeroCopy = true;

    // FTP over TLS and the extensions
    FtpSecurity::Mode m_Security = FtpSecurity::Mode::Plain;
    bool m_Extensions = false;
    QByteArray m_TrustedFingerprint;
    bool m_Insecure = false;
    QList<QSslCertificate> m_TlsCaCertificates;
    CertificateQuestion m_AskCertificate;
    DowngradeQuestion m_AskDowngrade;
    platform::TlsPeer m_ServerCertificate;
    FtpFeatures m_Features;
    // USER/PASS succeeded on the current control connection.
    bool m_LoggedIn = false;
    // PROT P is in force: every data connection is TLS, resuming the
    // control connection's session.
    bool m_ProtectData = false;
    // Refused once in this session; not asked for again.
    bool m_EpsvRefused = false;
    bool m_PortRefused = false;
    bool m_MlsdRefused = false;

    ControlChannel* m_Control = nullptr;
    platform::Socket* wscControl = nullptr; // the channel's socket
    platform::Socket* wscData = nullptr;
};
