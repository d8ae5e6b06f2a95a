// FTP over TLS and the extensions on the scripted server: explicit and
// implicit TLS with every data connection resuming the control connection's
// session (the server refuses any that does not), the certificate judged
// before a word of the log-in is sent, FEAT, EPSV/EPRT, MLSD with its one
// fallback to LIST, and IPv6 on ::1.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "Socket.h"
#include "TestTls.h"
#include "TestUtil.h"

#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

using Mode = FtpSecurity::Mode;

namespace {

const QByteArray Listing = "drwxr-xr-x 2 ftp ftp 4096 Mar 14 09:30 pub\r\n"
                           "-rw-r--r-- 1 ftp ftp 1234 Jan  2  2020 read me.txt\r\n";
const QByteArray Machine = "type=cdir;modify=20240102030405; .\r\n"
                           "type=dir;modify=20240102030405;UNIX.mode=0755; pub\r\n"
                           "type=file;size=5368709120;modify=20240102030405; big.iso\r\n";

struct Session {
    FakeFtpServer server;
    CFtpConnection ftp;
    QStringList log;
    QList<platform::TlsPeer> asked;
    bool answer = true;

    explicit Session(Mode mode, const QHostAddress& address = QHostAddress(QHostAddress::LocalHost))
        : server(address) {
        server.setRequireSessionReuse(true);
        ftp.setTimeout(10);
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setPassiveMode(true);
        ftp.setSecurity(mode);
        // The test certificate names localhost, 127.0.0.1 and ::1.
        ftp.setTlsCaCertificates({TestTls::localhost().certificate});
        ftp.setCertificateQuestion([this](const platform::TlsPeer& peer) {
            asked << peer;
            return answer;
        });
        QObject::connect(&ftp, &CFtpConnection::SessionProtocolMessage,
                         [this](const QString& text, int) { log << text; });
    }
    // USER, PASS and, on an encrypted session, PBSZ and PROT; then PWD.
    FakeFtpServer& login(bool tls, const QStringList& features = {}) {
        server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230 Logged in");
        if (tls)
            server.expect("PBSZ 0")
                .reply("200 PBSZ=0")
                .expect("PROT P")
                .reply("200 PROT now Private");
        if (!features.isEmpty())
            server.expect("FEAT").reply(FakeFtpServer::featReply(features));
        return server.expect("PWD").reply("257 \"/\" is current");
    }
    bool logs(const QString& part) const {
        for (const QString& line : log)
            if (line.contains(part))
                return true;
        return false;
    }
};

QString errors(const FakeFtpServer& server) {
    return server.errors().join(QLatin1Char('\n'));
}

} // namespace

class TstSecureSession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyDataConnectionResumes_data();
    void everyDataConnectionResumes();
    void implicitTls();
    void certificateVerdicts_data();
    void certificateVerdicts();
    void ifAvailableFallsBackOnlyWhenRefused_data();
    void ifAvailableFallsBackOnlyWhenRefused();
    void mlsdWithOneFallbackToList();
    void epsvWhenOfferedAndPasvWhenRefused();
    void eprtWhenPortIsRefused();
    void ipv6BothWays_data();
    void ipv6BothWays();
    void tlsEdgeFaults_data();
    void tlsEdgeFaults();
};

void TstSecureSession::initTestCase() {
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    QVERIFY2(TestTls::localhost().ok(), qPrintable(TestTls::localhost().error));
    QVERIFY2(TestTls::other().ok(), qPrintable(TestTls::other().error));
}

void TstSecureSession::everyDataConnectionResumes_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("singleUse");
    QTest::newRow("TLS 1.2, passive") << int(TestTls::Version::Tls12) << true << false;
    QTest::newRow("TLS 1.3, passive") << int(TestTls::Version::Tls13) << true << false;
    QTest::newRow("TLS 1.2, active") << int(TestTls::Version::Tls12) << false << false;
    QTest::newRow("TLS 1.3, active") << int(TestTls::Version::Tls13) << false << false;
    QTest::newRow("TLS 1.3, single-use tickets") << int(TestTls::Version::Tls13) << true << true;
}

void TstSecureSession::everyDataConnectionResumes() {
    QFETCH(int, version);
    QFETCH(bool, passive);
    QFETCH(bool, singleUse);
    Session s(Mode::ExplicitRequired);
    s.server.setTlsVersion(TestTls::Version(version));
    s.server.setSingleUseTlsSessions(singleUse);
    s.ftp.setPassiveMode(passive);
    const QByteArray file = TestUtil::patternBytes(700001);
    const QByteArray upload = TestUtil::patternBytes(900017);
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("down.bin"));
    const QString source = dir.filePath(QStringLiteral("up.bin"));
    QVERIFY(TestUtil::writeFile(source, upload));

    s.server.expectAuthTls();
    s.login(true);
    auto data = [&](const QString& command) -> FakeFtpServer& {
        if (passive)
            s.server.expect("PASV").passive();
        else
            s.server.expect("PORT *").reply("200 PORT ok");
        s.server.expect(command).reply("150 Opening data connection");
        return passive ? s.server : s.server.dataConnect();
    };
    // Listing, download, upload, listing, upload, download: the order that
    // made other clients fail after an upload.
    auto binary = [&](const QString& command) -> FakeFtpServer& {
        s.server.expect("TYPE I").reply("200 Binary");
        return data(command);
    };
    data("LIST").dataSend(Listing).dataClose().reply("226 Done");
    binary("RETR f.bin").dataSend(file, 3).dataClose().reply("226 Done");
    binary("STOR up1.bin").dataReceive().reply("226 Stored");
    data("LIST").dataSend(Listing).dataClose().reply("226 Done");
    binary("STOR up2.bin").dataReceive().reply("226 Stored");
    binary("RETR f.bin").dataSend(file).dataClose().reply("226 Done");

    QVERIFY2(s.ftp.Connect(), qPrintable(s.ftp.GetFtpErrorDescription(s.ftp.FtpGetLastError())));
    QVERIFY(s.ftp.Encrypted());
    QVERIFY(s.server.controlEncrypted());
    std::shared_ptr<CFtpFiles> files;
    QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QCOMPARE(files->Count(), 2);
    QVERIFY2(s.ftp.DownloadFile("f.bin", local, 1, 0), qPrintable(errors(s.server)));
    QCOMPARE(TestUtil::readFile(local), file);
    QVERIFY2(s.ftp.UploadFile(source, "up1.bin", 1, 0), qPrintable(errors(s.server)));
    QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QVERIFY2(s.ftp.UploadFile(source, "up2.bin", 1, 0), qPrintable(errors(s.server)));
    QVERIFY(QFile::remove(local));
    QVERIFY2(s.ftp.DownloadFile("f.bin", local, 1, 0), qPrintable(errors(s.server)));
    QCOMPARE(TestUtil::readFile(local), file);

    QVERIFY2(s.server.errors().isEmpty(), qPrintable(errors(s.server)));
    QCOMPARE(s.server.dataSessionsReused(), QList<bool>(6, true));
    QCOMPARE(s.server.uploads(), QList<QByteArray>({upload, upload}));
    // Both uploads ended with close_notify.
    QCOMPARE(s.server.dataCloseNotifies(), QList<bool>({true, true}));
    QVERIFY(s.asked.isEmpty());
    QCOMPARE(s.server.commands().mid(0, 6),
             QStringList({"AUTH TLS", "USER anonymous", "PASS guest@krellin.invalid", "PBSZ 0",
                          "PROT P", "PWD"}));
}

void TstSecureSession::implicitTls() {
    Session s(Mode::Implicit);
    s.server.setImplicitTls(true);
    s.login(true);
    s.server.expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done");
    QVERIFY2(s.ftp.Connect(), qPrintable(s.ftp.GetFtpErrorDescription(s.ftp.FtpGetLastError())));
    QVERIFY(s.ftp.Encrypted());
    std::shared_ptr<CFtpFiles> files;
    QVERIFY(s.ftp.EnumFiles(files));
    QCOMPARE(files->Count(), 2);
    QCOMPARE(s.server.dataSessionsReused(), QList<bool>({true}));
    QCOMPARE(s.server.commands().first(), QStringLiteral("USER anonymous"));
    QVERIFY(s.logs(QStringLiteral("the certificate is verified")));
}

void TstSecureSession::certificateVerdicts_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("impostor");  // the server shows another certificate
    QTest::addColumn<QString>("pinned"); // "", "localhost" or "impostor"
    QTest::addColumn<bool>("answer");    // of the question, if it is asked
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("error"); // 0: logged in

    const int exp = int(Mode::ExplicitRequired);
    const int imp = int(Mode::Implicit);
    QTest::newRow("unknown, refused")
        << exp << true << "" << false << false << 1 << int(CFtpConnection::ErrCertificateRefused);
    QTest::newRow("unknown, refused, implicit")
        << imp << true << "" << false << false << 1 << int(CFtpConnection::ErrCertificateRefused);
    QTest::newRow("unknown, accepted") << exp << true << "" << true << false << 1 << 0;
    QTest::newRow("unknown, insecure") << exp << true << "" << false << true << 0 << 0;
    QTest::newRow("pinned") << exp << true << "impostor" << false << false << 0 << 0;
    QTest::newRow("pinned, changed") << exp << true << "localhost" << true << false << 0
                                     << int(CFtpConnection::ErrCertificateChanged);
    QTest::newRow("pinned, changed, insecure") << imp << true << "localhost" << true << true << 0
                                               << int(CFtpConnection::ErrCertificateChanged);
    QTest::newRow("verified, pinned to another") << exp << false << "impostor" << true << false << 0
                                                 << int(CFtpConnection::ErrCertificateChanged);
}

void TstSecureSession::certificateVerdicts() {
    QFETCH(int, mode);
    QFETCH(bool, impostor);
    QFETCH(QString, pinned);
    QFETCH(bool, answer);
    QFETCH(bool, insecure);
    QFETCH(int, asked);
    QFETCH(int, error);
    Session s{Mode(mode)};
    const bool implicit = Mode(mode) == Mode::Implicit;
    if (impostor)
        s.server.setTlsCredentials(TestTls::other());
    s.server.setImplicitTls(implicit);
    s.answer = answer;
    s.ftp.setInsecure(insecure);
    if (pinned == QLatin1String("localhost"))
        s.ftp.setTrustedFingerprint(TestTls::localhost().sha256);
    else if (pinned == QLatin1String("impostor"))
        s.ftp.setTrustedFingerprint(TestTls::other().sha256);
    if (!implicit)
        s.server.expectAuthTls();
    s.login(true);

    const bool ok = s.ftp.Connect();
    QCOMPARE(ok, error == 0);
    QCOMPARE(int(s.asked.size()), asked);
    if (asked > 0) {
        QCOMPARE(s.asked.first().sha256, TestTls::other().sha256);
        QVERIFY(!s.asked.first().errors.isEmpty());
    }
    if (error != 0) {
        QCOMPARE(s.ftp.FtpGetLastError(), error);
        // Not a word of the log-in went to a server whose certificate was refused.
        QCOMPARE(s.server.commands(), implicit ? QStringList() : QStringList({"AUTH TLS"}));
        QVERIFY(!s.server.rawControlBytes().contains("PASS"));
        QVERIFY(!s.ftp.Encrypted());
        if (error == CFtpConnection::ErrCertificateChanged) {
            const QString text = s.ftp.GetFtpErrorDescription(error);
            QVERIFY2(text.contains(platform::fingerprintText(TestTls::localhost().sha256)) &&
                         text.contains(platform::fingerprintText(TestTls::other().sha256)),
                     qPrintable(text));
        }
    } else {
        QVERIFY(s.ftp.Encrypted());
        QCOMPARE(s.ftp.ServerCertificate().sha256,
                 impostor ? TestTls::other().sha256 : TestTls::localhost().sha256);
        if (insecure)
            QVERIFY(s.logs(QStringLiteral("WITHOUT CHECKING THE CERTIFICATE")));
    }
}

void TstSecureSession::ifAvailableFallsBackOnlyWhenRefused_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<int>("allow"); // the downgrade question: -1 none, 0 no, 1 yes
    QTest::addColumn<QByteArray>("trusted");
    const QByteArray none;
    QTest::newRow("if available, not offered, allowed")
        << int(Mode::ExplicitIfAvailable) << "500 AUTH not understood" << true << 1 << none;
    QTest::newRow("if available, 502, allowed")
        << int(Mode::ExplicitIfAvailable) << "502 Command not implemented" << true << 1 << none;
    // Never silently: without a question, or answered no, nothing is sent in clear.
    QTest::newRow("if available, 502, no question")
        << int(Mode::ExplicitIfAvailable) << "502 Command not implemented" << false << -1 << none;
    QTest::newRow("if available, 502, refused")
        << int(Mode::ExplicitIfAvailable) << "502 Command not implemented" << false << 0 << none;
    // A server whose certificate was trusted spoke TLS before: never downgraded.
    QTest::newRow("if available, 502, trusted before")
        << int(Mode::ExplicitIfAvailable) << "502 Command not implemented" << false << 1
        << TestTls::localhost().sha256;
    QTest::newRow("if available, temporary refusal")
        << int(Mode::ExplicitIfAvailable) << "431 Try again later" << false << 1 << none;
    QTest::newRow("required, not offered")
        << int(Mode::ExplicitRequired) << "500 AUTH not understood" << false << 1 << none;
}

void TstSecureSession::ifAvailableFallsBackOnlyWhenRefused() {
    QFETCH(int, mode);
    QFETCH(QString, reply);
    QFETCH(bool, loggedIn);
    QFETCH(int, allow);
    QFETCH(QByteArray, trusted);
    Session s{Mode(mode)};
    s.server.expect("AUTH TLS").reply(reply);
    s.login(false);
    if (allow >= 0)
        s.ftp.setDowngradeQuestion([allow](CFtpConnection::Downgrade what) {
            return what == CFtpConnection::Downgrade::NoTls && allow == 1;
        });
    s.ftp.setTrustedFingerprint(trusted);
    QCOMPARE(s.ftp.Connect(), loggedIn);
    QVERIFY(!s.ftp.Encrypted());
    if (loggedIn) {
        QCOMPARE(s.server.commands(),
                 QStringList({"AUTH TLS", "USER anonymous", "PASS guest@krellin.invalid", "PWD"}));
        QVERIFY(s.logs(QStringLiteral("continuing with plain FTP")));
    } else {
        QCOMPARE(s.server.commands(), QStringList({"AUTH TLS"}));
        const bool downgrade = mode == int(Mode::ExplicitIfAvailable) && reply.startsWith(u'5');
        QCOMPARE(s.ftp.FtpGetLastError(), int(downgrade ? CFtpConnection::ErrDowngradeRefused
                                                        : CFtpConnection::ErrTlsRefused));
        if (!downgrade)
            QVERIFY(s.ftp.GetFtpErrorDescription(s.ftp.FtpGetLastError()).contains(reply));
    }
}

void TstSecureSession::mlsdWithOneFallbackToList() {
    Session t(Mode::Plain);
    t.ftp.setExtensions(true);
    t.server.expect("USER anonymous")
        .reply("331 Password required")
        .expect("PASS *")
        .reply("230 Logged in")
        .expect("FEAT")
        .reply(FakeFtpServer::featReply({"MLST type*;size*;modify*;", "UTF8"}))
        .expect("OPTS UTF8 ON")
        .reply("200 Always in UTF8 mode")
        .expect("PWD")
        .reply("257 \"/\" is current")
        // MLSD works: exact sizes beyond 4 GiB, no "." entry.
        .expect("PASV")
        .passive()
        .expect("MLSD")
        .reply("150 Here")
        .dataSend(Machine)
        .dataClose()
        .reply("226 Done")
        // Refused once: the same listing comes by LIST ...
        .expect("PASV")
        .passive()
        .expect("MLSD")
        .reply("500 Unknown command")
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done")
        // ... and MLSD is not asked again in this session.
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done");
    QVERIFY(t.ftp.Connect());
    QVERIFY(t.ftp.Features().Mlst());
    std::shared_ptr<CFtpFiles> files;
    QVERIFY2(t.ftp.EnumFiles(files), qPrintable(errors(t.server)));
    QCOMPARE(files->Count(), 2);
    QCOMPARE(files->Item(2)->FileName, QStringLiteral("big.iso"));
    QCOMPARE(files->Item(2)->FileSize, qint64(5368709120));
    QVERIFY(files->Item(1)->IsDirectory);
    QVERIFY2(t.ftp.EnumFiles(files), qPrintable(errors(t.server)));
    QCOMPARE(files->Item(2)->FileName, QStringLiteral("read me.txt"));
    QVERIFY(t.logs(QStringLiteral("listing with LIST instead")));
    QVERIFY2(t.ftp.EnumFiles(files), qPrintable(errors(t.server)));
    QVERIFY2(t.server.errors().isEmpty(), qPrintable(errors(t.server)));
    QVERIFY(t.server.scriptFinished());
}

void TstSecureSession::epsvWhenOfferedAndPasvWhenRefused() {
    Session s(Mode::Plain);
    s.ftp.setExtensions(true);
    s.login(false, {"EPSV", "EPRT"})
        .expect("EPSV")
        .extendedPassive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done")
        .expect("EPSV")
        .reply("502 EPSV not implemented here")
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done")
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here")
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done");
    QVERIFY(s.ftp.Connect());
    std::shared_ptr<CFtpFiles> files;
    for (int i = 0; i < 3; ++i)
        QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QVERIFY2(s.server.errors().isEmpty(), qPrintable(errors(s.server)));
    QVERIFY(s.server.scriptFinished());
}

void TstSecureSession::eprtWhenPortIsRefused() {
    Session s(Mode::Plain);
    s.ftp.setPassiveMode(false);
    s.login(false)
        .expect("PORT *")
        .reply("500 PORT not allowed")
        .expect("EPRT |1|127.0.0.1|*")
        .reply("200 EPRT ok")
        .expect("LIST")
        .reply("150 Here")
        .dataConnect()
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done")
        .expect("EPRT |1|127.0.0.1|*")
        .reply("200 EPRT ok")
        .expect("LIST")
        .reply("150 Here")
        .dataConnect()
        .dataSend(Listing)
        .dataClose()
        .reply("226 Done");
    QVERIFY(s.ftp.Connect());
    std::shared_ptr<CFtpFiles> files;
    QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QCOMPARE(files->Count(), 2);
    QVERIFY(s.server.scriptFinished());
}

void TstSecureSession::ipv6BothWays_data() {
    QTest::addColumn<bool>("passive");
    QTest::addColumn<bool>("tls");
    QTest::newRow("passive") << true << false;
    QTest::newRow("active") << false << false;
    QTest::newRow("passive, TLS") << true << true;
    QTest::newRow("active, TLS") << false << true;
}

void TstSecureSession::ipv6BothWays() {
    QFETCH(bool, passive);
    QFETCH(bool, tls);
    Session s(tls ? Mode::ExplicitRequired : Mode::Plain,
              QHostAddress(QHostAddress::LocalHostIPv6));
    if (!s.server.errors().isEmpty())
        QSKIP("no IPv6 loopback here");
    s.ftp.setPassiveMode(passive);
    if (tls)
        s.server.expectAuthTls();
    s.login(tls);
    // No FEAT: an IPv6 connection needs the extended commands anyway.
    if (passive)
        s.server.expect("EPSV").extendedPassive();
    else
        s.server.expect("EPRT |2|::1|*").reply("200 EPRT ok");
    s.server.expect("LIST").reply("150 Here");
    if (!passive)
        s.server.dataConnect();
    s.server.dataSend(Listing).dataClose().reply("226 Done");

    QVERIFY2(s.ftp.Connect(), qPrintable(s.ftp.GetFtpErrorDescription(s.ftp.FtpGetLastError())));
    std::shared_ptr<CFtpFiles> files;
    QVERIFY2(s.ftp.EnumFiles(files), qPrintable(errors(s.server)));
    QCOMPARE(files->Count(), 2);
    QCOMPARE(s.server.lastDataPeer(), QHostAddress(QHostAddress::LocalHostIPv6));
    if (tls)
        QCOMPARE(s.server.dataSessionsReused(), QList<bool>({true}));
    QVERIFY2(s.server.errors().isEmpty(), qPrintable(errors(s.server)));
}

// Faults a server, or someone between it and the client, can cause around
// TLS: the engine ends with a clear error, sends nothing it should not and
// writes nothing it should not.
enum class Fault { AfterAuth, PbszRefused, ProtRefused, DataCut, DataReset, DataImpostor };

void TstSecureSession::tlsEdgeFaults_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("bytes"); // after AUTH TLS, or the refusal
    QTest::addColumn<int>("allow");        // the downgrade question: -1 none, 1 yes
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<bool>("announced"); // the 150 gives the size
    QTest::addColumn<int>("error");      // 0: it worked
    QTest::addColumn<QString>("says");   // in the error's description

    const int req = int(Mode::ExplicitRequired);
    const int avail = int(Mode::ExplicitIfAvailable);
    const int refused = int(CFtpConnection::ErrProtectionRefused);
    const int downgrade = int(CFtpConnection::ErrDowngradeRefused);
    const int cut = int(CFtpConnection::ErrIncompleteTransfer);
    const QByteArray no = "536 Not now\r\n";
    QTest::newRow("a reply injected after 234")
        << Fault::AfterAuth << req << QByteArray("234 Go ahead\r\n230 Logged in\r\n") << -1 << false
        << false << 64 << "plain text";
    QTest::newRow("part of a reply after 234")
        << Fault::AfterAuth << req << QByteArray("234 Go\r\n23") << -1 << false << false << 64
        << "plain text";
    QTest::newRow("PBSZ refused, required")
        << Fault::PbszRefused << req << no << 1 << false << false << refused << "536 Not now";
    QTest::newRow("PROT P refused, implicit") << Fault::ProtRefused << int(Mode::Implicit) << no
                                              << 1 << false << false << refused << "536 Not now";
    QTest::newRow("PROT P refused, if available, no question")
        << Fault::ProtRefused << avail << no << -1 << false << false << downgrade << "";
    QTest::newRow("PROT P refused, if available, allowed")
        << Fault::ProtRefused << avail << no << 1 << false << false << 0 << "";
    QTest::newRow("PROT P refused, if available, trusted before")
        << Fault::ProtRefused << avail << no << 1 << true << false << downgrade << "trusted before";
    QTest::newRow("data cut without close_notify")
        << Fault::DataCut << req << no << -1 << false << false << cut << "close_notify";
    QTest::newRow("data cut without close_notify, size met")
        << Fault::DataCut << req << no << -1 << false << true << 0 << "";
    QTest::newRow("data reset") << Fault::DataReset << req << no << -1 << false << false << 10054
                                << "reset";
    QTest::newRow("data shows another certificate")
        << Fault::DataImpostor << req << no << -1 << false << false
        << int(platform::Socket::ErrTlsPeerChanged) << "another certificate";
}

void TstSecureSession::tlsEdgeFaults() {
    QFETCH(Fault, fault);
    QFETCH(int, mode);
    QFETCH(QByteArray, bytes);
    QFETCH(int, allow);
    QFETCH(bool, trusted);
    QFETCH(bool, announced);
    QFETCH(int, error);
    QFETCH(QString, says);
    Session s{Mode(mode)};
    const bool implicit = Mode(mode) == Mode::Implicit;
    const int avail = int(Mode::ExplicitIfAvailable);
    s.server.setImplicitTls(implicit);
    QList<CFtpConnection::Downgrade> questions;
    if (allow >= 0)
        s.ftp.setDowngradeQuestion([&questions, allow](CFtpConnection::Downgrade what) {
            questions << what;
            return what == CFtpConnection::Downgrade::NoDataProtection && allow == 1;
        });
    if (trusted)
        s.ftp.setTrustedFingerprint(TestTls::localhost().sha256);
    QStringList sent;
    if (!implicit)
        sent << "AUTH TLS";
    const bool download = fault >= Fault::DataCut;
    if (fault == Fault::AfterAuth) {
        // Played along: a client that took the injected 230 would log in.
        s.server.expect("AUTH TLS").sendRaw(bytes).startTls();
        s.login(true);
    } else {
        if (!implicit)
            s.server.expectAuthTls();
        s.server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230 Logged in")
            .expect("PBSZ 0");
        sent << "USER anonymous"
             << "PASS guest@krellin.invalid"
             << "PBSZ 0";
        if (fault == Fault::PbszRefused) {
            s.server.sendRaw(bytes);
        } else {
            s.server.reply("200 PBSZ=0").expect("PROT P");
            sent << "PROT P";
            s.server.sendRaw(fault == Fault::ProtRefused ? bytes : "200 PROT P\r\n");
            s.server.expect("PWD").reply("257 \"/\" is current");
            if (fault != Fault::ProtRefused || error == 0)
                sent << "PWD";
        }
    }
    // Part of a file, its end unknown unless the 150 gave its size.
    const QByteArray file = TestUtil::patternBytes(70001);
    const QByteArray old = "the local file as it was";
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("f.bin"));
    if (download) {
        QVERIFY(TestUtil::writeFile(local, old));
        if (fault == Fault::DataImpostor) {
            s.server.setDataTlsCredentials(TestTls::other());
            // Its session cannot be the control connection's.
            s.server.setRequireSessionReuse(false);
        }
        s.server.expect("TYPE I").reply("200 Binary").expect("PASV").passive();
        s.server.expect("RETR f.bin")
            .reply(announced ? QStringLiteral("150 Opening f.bin (%1 bytes)").arg(file.size())
                             : QStringLiteral("150 Opening f.bin"))
            .dataSend(file, 2);
        if (fault == Fault::DataCut)
            s.server.dataCloseWithoutNotify();
        else if (fault == Fault::DataReset)
            s.server.dataAbort();
        else
            s.server.dataClose();
        s.server.reply("226 Done");
        sent << "TYPE I"
             << "PASV"
             << "RETR f.bin";
    }

    const bool connected = s.ftp.Connect();
    QCOMPARE(connected, download || error == 0);
    bool ok = connected;
    if (download)
        ok = s.ftp.DownloadFile("f.bin", local, 1, 0);
    QCOMPARE(ok, error == 0);
    QCOMPARE(s.ftp.SessionOpen(), connected);
    if (error != 0) {
        QCOMPARE(s.ftp.FtpGetLastError(), error);
        const QString text = s.ftp.GetFtpErrorDescription(error);
        QVERIFY2(text.contains(says), qPrintable(text));
    }
    QCOMPARE(s.server.commands(), sent);
    // Only "if available" asks, and never for a server trusted before.
    QCOMPARE(questions, (mode == avail && allow >= 0 && !trusted)
                            ? QList({CFtpConnection::Downgrade::NoDataProtection})
                            : QList<CFtpConnection::Downgrade>());
    if (!download) {
        // Nothing may go over a data connection without its protection.
        QCOMPARE(s.server.dataConnectionCount(), 0);
        QVERIFY(!s.ftp.DataProtected());
        return;
    }
    const QByteArray kept = TestUtil::readFile(local);
    if (fault == Fault::DataImpostor)
        QCOMPARE(kept, old); // not one byte of it, not even cut back
    else if (fault == Fault::DataReset)
        QVERIFY(file.startsWith(kept)); // what came, kept for a resume
    else
        QCOMPARE(kept, file);
}

QTEST_GUILESS_MAIN(TstSecureSession)
#include "tst_secure_session.moc"
