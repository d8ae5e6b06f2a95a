// Whether a server's certificate is accepted, for every combination of the
// verification's verdict, a remembered fingerprint and --insecure; and the
// texts a person decides from.

#include "FtpSecurity.h"
#include "TestTls.h"

#include <QtTest>

using FtpSecurity::Verdict;

Q_DECLARE_METATYPE(FtpSecurity::Verdict)

namespace {

platform::TlsPeer peerFor(const TestTls::Credentials& credentials, const QStringList& errors) {
    platform::TlsPeer peer = platform::TlsPeer::fromCertificate(credentials.certificate);
    peer.errors = errors;
    peer.protocol = QStringLiteral("TLS 1.3");
    return peer;
}

} // namespace

class TstFtpSecurity : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void verdicts_data();
    void verdicts();
    void texts();
};

void TstFtpSecurity::initTestCase() {
    QVERIFY2(TestTls::localhost().ok(), qPrintable(TestTls::localhost().error));
    QVERIFY2(TestTls::other().ok(), qPrintable(TestTls::other().error));
}

void TstFtpSecurity::verdicts_data() {
    QTest::addColumn<bool>("verified");
    QTest::addColumn<QString>("remembered"); // "", "same", "other"
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<Verdict>("verdict");

    QTest::newRow("verified") << true << "" << false << Verdict::Trusted;
    QTest::newRow("verified, insecure") << true << "" << true << Verdict::Trusted;
    QTest::newRow("unverified") << false << "" << false << Verdict::Ask;
    QTest::newRow("unverified, insecure") << false << "" << true << Verdict::Insecure;
    QTest::newRow("pinned, unverified") << false << "same" << false << Verdict::Accepted;
    QTest::newRow("pinned, verified") << true << "same" << false << Verdict::Accepted;
    QTest::newRow("pinned other, unverified") << false << "other" << false << Verdict::Changed;
    // A valid certificate does not excuse a replaced pinned one.
    QTest::newRow("pinned other, verified") << true << "other" << false << Verdict::Changed;
    QTest::newRow("pinned other, insecure") << false << "other" << true << Verdict::Changed;
}

void TstFtpSecurity::verdicts() {
    QFETCH(bool, verified);
    QFETCH(QString, remembered);
    QFETCH(bool, insecure);
    QFETCH(Verdict, verdict);
    const platform::TlsPeer peer = peerFor(
        TestTls::localhost(),
        verified ? QStringList()
                 : QStringList{QStringLiteral("The certificate is self-signed, and untrusted")});
    QByteArray fingerprint;
    if (remembered == QLatin1String("same"))
        fingerprint = TestTls::localhost().sha256;
    else if (remembered == QLatin1String("other"))
        fingerprint = TestTls::other().sha256;
    QCOMPARE(FtpSecurity::judge(peer, fingerprint, insecure), verdict);
}

void TstFtpSecurity::texts() {
    const platform::TlsPeer peer = peerFor(
        TestTls::localhost(), {QStringLiteral("The certificate is self-signed, and untrusted")});
    const QString text = FtpSecurity::describe(peer);
    QVERIFY(text.contains(QLatin1String("Subject: CN=localhost, O=Krellin tests")));
    QVERIFY(text.contains(QLatin1String("Issuer: CN=localhost, O=Krellin tests")));
    QVERIFY(text.contains(QLatin1String("Valid until: ")));
    QVERIFY(text.contains(platform::fingerprintText(TestTls::localhost().sha256)));
    QVERIFY(text.contains(QLatin1String("self-signed")));
    QVERIFY(text.contains(QLatin1String("TLS 1.3")));

    const QString warning = FtpSecurity::changedWarning(TestTls::other().sha256, peer);
    QVERIFY(warning.contains(platform::fingerprintText(TestTls::other().sha256)));
    QVERIFY(warning.contains(platform::fingerprintText(TestTls::localhost().sha256)));

    QCOMPARE(FtpSecurity::judge(platform::TlsPeer(), {}, true), Verdict::Insecure);
    QCOMPARE(FtpSecurity::judge(platform::TlsPeer(), TestTls::localhost().sha256, true),
             Verdict::Changed);
    QCOMPARE(FtpSecurity::describe(platform::TlsPeer()),
             QStringLiteral("The server showed no certificate."));
}

QTEST_GUILESS_MAIN(TstFtpSecurity)
#include "tst_ftp_security.moc"
