// FEAT replies of real servers to the feature set, and the EPSV reply and
// EPRT argument of RFC 2428, with hostile variants.

#include "ExtendedAddress.h"
#include "FtpFeatures.h"

#include <QtTest>

class TstFtpFeatures : public QObject {
    Q_OBJECT
private slots:
    void feat_data();
    void feat();
    void mlstFacts();
    void epsv_data();
    void epsv();
    void eprtBuild_data();
    void eprtBuild();
    void eprtParse_data();
    void eprtParse();
};

namespace {

// Order of the flags column: AUTH TLS, PBSZ, PROT, EPSV, EPRT, MLST, UTF8,
// REST STREAM, SIZE, MDTM.
QString flags(const FtpFeatures& f) {
    QString out;
    for (bool on : {f.AuthTls(), f.Pbsz(), f.Prot(), f.Epsv(), f.Eprt(), f.Mlst(), f.Utf8(),
                    f.RestStream(), f.Size(), f.Mdtm()})
        out += on ? QLatin1Char('1') : QLatin1Char('0');
    return out;
}

} // namespace

void TstFtpFeatures::feat_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("expected");

    // vsftpd 3.0.3 with ssl_enable=YES: AUTH on two lines, no MLST.
    QTest::newRow("vsftpd")
        << "211-Features:\r\n AUTH SSL\r\n AUTH TLS\r\n EPRT\r\n EPSV\r\n MDTM\r\n"
           " PASV\r\n PBSZ\r\n PROT\r\n REST STREAM\r\n SIZE\r\n TVFS\r\n"
           " UTF8\r\n211 End\r\n"
        << true << "1111101111";
    // proftpd 1.3.8 with mod_tls.
    QTest::newRow("proftpd")
        << "211-Features:\r\n AUTH TLS\r\n CCC\r\n CLNT\r\n EPRT\r\n EPSV\r\n"
           " HOST\r\n LANG en-US*\r\n MDTM\r\n MFF modify;UNIX.group;UNIX.mode;\r\n"
           " MFMT\r\n MLST modify*;perm*;size*;type*;unique*;UNIX.group*;"
           "UNIX.groupname*;UNIX.mode*;UNIX.owner*;UNIX.ownername*;\r\n"
           " PBSZ\r\n PROT\r\n RANG STREAM\r\n REST STREAM\r\n SITE COPY\r\n"
           " SIZE\r\n SSCN\r\n TVFS\r\n UTF8\r\n211 End\r\n"
        << true << "1111111111";
    // pure-ftpd 1.0.50 with TLS.
    QTest::newRow("pure-ftpd")
        << "211-Extensions supported:\r\n EPRT\r\n IDLE\r\n MDTM\r\n SIZE\r\n"
           " MFMT\r\n REST STREAM\r\n MLST type*;size*;sizd*;modify*;"
           "UNIX.mode*;UNIX.uid*;UNIX.gid*;unique*;\r\n MLSD\r\n"
           " AUTH TLS\r\n PBSZ\r\n PROT\r\n UTF8\r\n TVFS\r\n ESTP\r\n"
           " PASV\r\n EPSV\r\n SPSV\r\n ESTA\r\n211 End.\r\n"
        << true << "1111111111";
    // pyftpdlib 1.5.7 without TLS.
    QTest::newRow("pyftpdlib") << "211-Features supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n MFMT\r\n"
                                  " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;"
                                  "unix.gid;\r\n REST STREAM\r\n SIZE\r\n TVFS\r\n UTF8\r\n"
                                  "211 End FEAT.\r\n"
                               << true << "0001111111";
    QTest::newRow("pyftpdlib TLS handler")
        << "211-Features supported:\r\n AUTH SSL\r\n AUTH TLS\r\n EPRT\r\n EPSV\r\n MDTM\r\n"
           " MFMT\r\n MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;unix.gid;\r\n"
           " PBSZ\r\n PROT\r\n REST STREAM\r\n SIZE\r\n TVFS\r\n UTF8\r\n211 End FEAT.\r\n"
        << true << "1111111111";
    QTest::newRow("lower case, no indent, bare line ends")
        << "211-Features\nauth tls;ssl\n  epsv\nrest\n211 End" << true << "1001000000";
    QTest::newRow("AUTH SSL only") << "211-x\r\n AUTH SSL\r\n211 End\r\n" << true << "0000000000";
    QTest::newRow("AUTH TLS-C is not TLS") << "211-x\r\n AUTH TLS-C\r\n211 End\r\n"
                                           << true << "0000000000";
    QTest::newRow("single-line 211") << "211 No features\r\n" << false << "0000000000";
    QTest::newRow("refused") << "500 FEAT not understood\r\n" << false << "0000000000";
    QTest::newRow("not implemented") << "502 Command not implemented\r\n" << false << "0000000000";
    QTest::newRow("final line missing") << "211-Features:\r\n AUTH TLS\r\n"
                                        << false << "0000000000";
    QTest::newRow("empty") << "" << false << "0000000000";
}

void TstFtpFeatures::feat() {
    QFETCH(QString, reply);
    QFETCH(bool, known);
    QFETCH(QString, expected);
    const FtpFeatures features = FtpFeatures::FromReply(reply);
    QCOMPARE(features.Known(), known);
    QCOMPARE(flags(features), expected);
}

void TstFtpFeatures::mlstFacts() {
    const FtpFeatures features = FtpFeatures::FromReply(
        "211-Features supported:\r\n MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;"
        "unix.gid;\r\n211 End FEAT.\r\n");
    QCOMPARE(features.MlstFacts(), QStringList({"type", "perm", "size", "modify", "unique",
                                                "unix.mode", "unix.uid", "unix.gid"}));
    QCOMPARE(features.MlstFactsEnabled(),
             QStringList({"type", "perm", "size", "modify", "unique"}));

    // A flood of feature lines is cut; the parser stays bounded.
    QString flood = QStringLiteral("211-Features:\r\n");
    for (int i = 0; i < 10000; ++i)
        flood += QStringLiteral(" X%1\r\n").arg(i);
    flood += QStringLiteral(" EPSV\r\n211 End\r\n");
    const FtpFeatures flooded = FtpFeatures::FromReply(flood);
    QVERIFY(flooded.Known());
    QVERIFY(flooded.Has(QStringLiteral("x0")));
    QVERIFY(!flooded.Epsv());
}

void TstFtpFeatures::epsv_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("port"); // 0: no port

    QTest::newRow("vsftpd") << "229 Entering Extended Passive Mode (|||41237|)" << 41237;
    QTest::newRow("pyftpdlib") << "229 Entering extended passive mode (|||49645|)." << 49645;
    QTest::newRow("proftpd") << "229 Entering Extended Passive Mode (|||30001|)" << 30001;
    QTest::newRow("other delimiter") << "229 ok (!!!1024!)" << 1024;
    QTest::newRow("protocol and address ignored")
        << "229 Entering Extended Passive Mode (|2|127.0.0.2|6446|)" << 6446;
    QTest::newRow("port 65535") << "229 (|||65535|)" << 65535;
    QTest::newRow("port 0") << "229 (|||0|)" << 0;
    QTest::newRow("port 65536") << "229 (|||65536|)" << 0;
    QTest::newRow("huge port") << "229 (|||99999999999999999999|)" << 0;
    QTest::newRow("negative") << "229 (|||-21|)" << 0;
    QTest::newRow("blank in port") << "229 (||| 21|)" << 0;
    QTest::newRow("mixed delimiters") << "229 (|||21!)" << 0;
    QTest::newRow("too few fields") << "229 (||21|)" << 0;
    QTest::newRow("too many fields") << "229 (||||21|)" << 0;
    QTest::newRow("digit as delimiter") << "229 (1112111)" << 0;
    QTest::newRow("no parentheses") << "229 Entering Extended Passive Mode |||21|" << 0;
    QTest::newRow("unclosed") << "229 (|||21|" << 0;
    QTest::newRow("empty parentheses") << "229 ()" << 0;
    QTest::newRow("PASV form") << "227 Entering Passive Mode (127,0,0,1,4,1)" << 0;
}

void TstFtpFeatures::epsv() {
    QFETCH(QString, reply);
    QFETCH(int, port);
    const std::optional<quint16> parsed = ExtendedAddress::ParseEpsvReply(reply);
    QCOMPARE(parsed.value_or(0), port);
}

void TstFtpFeatures::eprtBuild_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("argument");

    QTest::newRow("IPv4") << "127.0.0.1" << 11000 << "|1|127.0.0.1|11000|";
    QTest::newRow("IPv6 loopback") << "::1" << 11001 << "|2|::1|11001|";
    QTest::newRow("IPv4 mapped into IPv6") << "::ffff:127.0.0.1" << 2121 << "|1|127.0.0.1|2121|";
    QTest::newRow("scope left out") << "fe80::1%lo" << 5000 << "|2|fe80::1|5000|";
    QTest::newRow("null address") << "" << 5000 << "";
    QTest::newRow("port 0") << "127.0.0.1" << 0 << "";
}

void TstFtpFeatures::eprtBuild() {
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, argument);
    QCOMPARE(ExtendedAddress::BuildEprtArgument(QHostAddress(address), quint16(port)), argument);
}

void TstFtpFeatures::eprtParse_data() {
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("address"); // empty: refused
    QTest::addColumn<int>("port");

    QTest::newRow("IPv4") << "|1|132.235.1.2|6275|"
                          << "132.235.1.2" << 6275;
    QTest::newRow("IPv6") << "|2|1080::8:800:200C:417A|5282|"
                          << "1080::8:800:200c:417a" << 5282;
    QTest::newRow("IPv6 loopback") << "|2|::1|11000|"
                                   << "::1" << 11000;
    QTest::newRow("other delimiter") << "!1!127.0.0.1!2121!"
                                     << "127.0.0.1" << 2121;
    QTest::newRow("IPv6 named as 1") << "|1|::1|2121|"
                                     << "" << 0;
    QTest::newRow("IPv4 named as 2") << "|2|127.0.0.1|2121|"
                                     << "" << 0;
    QTest::newRow("unknown protocol") << "|3|127.0.0.1|2121|"
                                      << "" << 0;
    QTest::newRow("host name") << "|1|localhost|2121|"
                               << "" << 0;
    QTest::newRow("port 0") << "|1|127.0.0.1|0|"
                            << "" << 0;
    QTest::newRow("port too big") << "|1|127.0.0.1|70000|"
                                  << "" << 0;
    QTest::newRow("missing last delimiter") << "|1|127.0.0.1|2121"
                                            << "" << 0;
    QTest::newRow("letter as delimiter") << "a1a127.0.0.1a2121a"
                                         << "" << 0;
    QTest::newRow("empty") << ""
                           << "" << 0;
}

void TstFtpFeatures::eprtParse() {
    QFETCH(QString, argument);
    QFETCH(QString, address);
    QFETCH(int, port);
    const auto endpoint = ExtendedAddress::ParseEprtArgument(argument);
    QCOMPARE(endpoint.has_value(), !address.isEmpty());
    if (endpoint) {
        QCOMPARE(endpoint->address, QHostAddress(address));
        QCOMPARE(int(endpoint->port), port);
    }
}

QTEST_GUILESS_MAIN(TstFtpFeatures)
#include "tst_ftp_features.moc"
