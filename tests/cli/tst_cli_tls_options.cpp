// krellin-cli's choice of security from the URL's scheme and the TLS
// options, and their usage errors.

#include "CliArguments.h"

#include <QtTest>

using Mode = FtpSecurity::Mode;
Q_DECLARE_METATYPE(FtpSecurity::Mode)

class TstCliTlsOptions : public QObject {
    Q_OBJECT
private slots:
    void schemes_data();
    void schemes();
    void errors_data();
    void errors();
};

void TstCliTlsOptions::schemes_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Mode>("security");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("fingerprint"); // hex, empty for none
    QTest::addColumn<bool>("insecure");

    const QString hex =
        QStringLiteral("00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff");
    QTest::newRow("ftp is plain") << QStringList{"ftp://h/"} << Mode::Plain << 21 << "" << false;
    QTest::newRow("ftpes is explicit TLS")
        << QStringList{"ftpes://h"} << Mode::ExplicitRequired << 21 << "" << false;
    QTest::newRow("ftps is implicit TLS on 990")
        << QStringList{"FTPS://h"} << Mode::Implicit << 990 << "" << false;
    QTest::newRow("ftps with a port")
        << QStringList{"ftps://[::1]:2990"} << Mode::Implicit << 2990 << "" << false;
    QTest::newRow("--tls on ftp") << QStringList{"--tls", "ftp://h"} << Mode::ExplicitRequired << 21
                                  << "" << false;
    QTest::newRow("--tls keeps implicit")
        << QStringList{"--tls", "ftps://h"} << Mode::Implicit << 990 << "" << false;
    QTest::newRow("--fingerprint with colons")
        << QStringList{"--fingerprint",
                       "SHA256:" +
                           QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()).toHex(':')),
                       "ftpes://h"}
        << Mode::ExplicitRequired << 21 << hex << false;
    QTest::newRow("--fingerprint=") << QStringList{"--fingerprint=" + hex, "--tls", "ftp://h"}
                                    << Mode::ExplicitRequired << 21 << hex << false;
    QTest::newRow("--insecure") << QStringList{"--insecure", "ftps://h"} << Mode::Implicit << 990
                                << "" << true;
}

void TstCliTlsOptions::schemes() {
    QFETCH(QStringList, arguments);
    QFETCH(Mode, security);
    QFETCH(int, port);
    QFETCH(QString, fingerprint);
    QFETCH(bool, insecure);
    const CliParseResult result = CliArguments::parse(arguments);
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.options.url.security, security);
    QCOMPARE(int(result.options.url.port), port);
    QCOMPARE(QString::fromLatin1(result.options.fingerprint.toHex()), fingerprint);
    QCOMPARE(result.options.insecure, insecure);
}

void TstCliTlsOptions::errors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("part");
    QTest::newRow("unknown scheme") << QStringList{"sftp://h"} << "ftps://";
    QTest::newRow("short fingerprint")
        << QStringList{"--fingerprint", "SHA256:0011", "ftps://h"} << "SHA-256";
    QTest::newRow("fingerprint missing") << QStringList{"--fingerprint"} << "--fingerprint needs";
    QTest::newRow("fingerprint on plain ftp")
        << QStringList{"--fingerprint", QString(64, QLatin1Char('a')), "ftp://h"} << "for TLS";
    QTest::newRow("insecure on plain ftp") << QStringList{"--insecure", "ftp://h"} << "for TLS";
}

void TstCliTlsOptions::errors() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, part);
    const CliParseResult result = CliArguments::parse(arguments);
    QVERIFY2(result.error.contains(part), qPrintable(result.error));
}

QTEST_GUILESS_MAIN(TstCliTlsOptions)
#include "tst_cli_tls_options.moc"
