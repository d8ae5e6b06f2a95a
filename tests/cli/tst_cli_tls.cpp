// krellin-cli over FTP over TLS against pyftpdlib's TLS handler: an unknown
// certificate is refused before the log-in, with the fingerprint to pin; a
// pinned one works; a changed pin is refused naming both; --insecure works
// and warns.

#include "RealFtpServer.h"
#include "TlsPeer.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QSslCertificate>
#include <QSslSocket>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

class TestCliTls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void certificateChoices_data();
    void certificateChoices();

private:
    Run run(const QStringList& arguments);
    std::unique_ptr<RealFtpServer> m_Server;
    QString m_Binary;
    QString m_Fingerprint;
};

void TestCliTls::initTestCase() {
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    m_Binary = QStringLiteral(KRELLIN_BINARY_DIR "/cli/krellin-cli");
    RealFtpServer::Options options;
    options.tls = RealFtpServer::Tls::Explicit;
    const QString reason =
        RealFtpServer::unavailableReason(RealFtpServer::Kind::Pyftpdlib, options);
    if (!reason.isEmpty())
        QSKIP(qPrintable(reason));
    m_Server = std::make_unique<RealFtpServer>(RealFtpServer::Kind::Pyftpdlib, options);
    QVERIFY2(m_Server->start(), qPrintable(m_Server->lastError()));
    const auto certificates = QSslCertificate::fromPath(m_Server->certificatePath());
    QVERIFY(!certificates.isEmpty());
    m_Fingerprint = platform::fingerprintText(
        QCryptographicHash::hash(certificates.first().toDer(), QCryptographicHash::Sha256));
}

Run TestCliTls::run(const QStringList& arguments) {
    QProcess process;
    process.start(m_Binary, arguments);
    Run result;
    if (!process.waitForStarted(10000) || !process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCliTls::certificateChoices_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrPart");
    QTest::addColumn<bool>("loggedIn");
    const QString other = QStringLiteral("SHA256:") + QString(64, QLatin1Char('a'));
    QTest::newRow("unknown certificate") << QStringList() << 1 << "Error #66" << false;
    QTest::newRow("pinned") << QStringList{"--fingerprint", "{pin}"} << 0 << "" << true;
    QTest::newRow("pinned to another")
        << QStringList{"--fingerprint", other} << 1 << "Error #67" << false;
    QTest::newRow("insecure") << QStringList{"--insecure"} << 0 << "WARNING: --insecure" << true;
}

void TestCliTls::certificateChoices() {
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrPart);
    QFETCH(bool, loggedIn);
    options.replaceInStrings(QStringLiteral("{pin}"), m_Fingerprint);
    const QString before = m_Server->transcript();
    const QString url = QStringLiteral("ftpes://%1:%2@%3:%4/")
                            .arg(m_Server->userName(), m_Server->password(), m_Server->host())
                            .arg(m_Server->port());
    const Run r = run(options << url << QStringLiteral("ls"));
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
    if (!stderrPart.isEmpty())
        QVERIFY2(r.err.contains(stderrPart), qPrintable(r.err));
    if (exitCode == 0) {
        QVERIFY(r.out.contains(RealFtpServer::writableDir()));
    } else {
        // The certificate's fingerprint is shown, to be compared and pinned.
        QVERIFY2(r.err.contains(m_Fingerprint), qPrintable(r.err));
    }
    const QString session = m_Server->transcript().mid(before.size());
    QCOMPARE(session.contains(QLatin1String("USER")), loggedIn);
    QCOMPARE(session.contains(QLatin1String("PASS")), loggedIn);
}

QTEST_GUILESS_MAIN(TestCliTls)
#include "tst_cli_tls.moc"
