// Links on real servers whose MLSD names them without a target (proftpd,
// pure-ftpd): the listing by MLSD, whole or streamed, gives each link the
// target and kind its LIST gives. And pure-ftpd, told to list at most a few
// entries, has its "Output truncated" reported.

#include "CFtpConnection.h"
#include "RealFtpServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTest>

using Kind = RealFtpServer::Kind;
Q_DECLARE_METATYPE(RealFtpServer::Kind)

namespace {

std::unique_ptr<CFtpConnection> logIn(RealFtpServer& srv, bool extensions) {
    auto ftp = std::make_unique<CFtpConnection>();
    ftp->setExtensions(extensions);
    ftp->setTimeout(10);
    ftp->setFtpServer(srv.host());
    ftp->setPort(srv.port());
    ftp->setUserName(srv.userName());
    ftp->setPassword(srv.password());
    ftp->setPassiveMode(true);
    return ftp->Connect() ? std::move(ftp) : nullptr;
}

// "name -> target (dir|file)" for each link of a listing, sorted.
QStringList links(const QList<CFtpFile>& files) {
    QStringList out;
    for (const CFtpFile& f : files) {
        if (f.Permissions.startsWith(QLatin1Char('l')))
            out << f.FileName + " -> " + f.FilePath + (f.IsDirectory ? " (dir)" : " (file)");
    }
    out.sort();
    return out;
}

QList<CFtpFile> whole(CFtpConnection& ftp) {
    std::shared_ptr<CFtpFiles> files;
    QList<CFtpFile> out;
    if (ftp.EnumFiles(files) && files) {
        for (const auto& f : *files)
            out << *f;
    }
    return out;
}

QList<CFtpFile> streamed(CFtpConnection& ftp) {
    QList<CFtpFile> out;
    if (!ftp.EnumFiles([&out](const CFtpFile& f) { out << f; }))
        out.clear();
    return out;
}

} // namespace

class TestRealLinks : public QObject {
    Q_OBJECT
private slots:
    void linksAsList_data() {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("proftpd") << Kind::Proftpd;
        QTest::newRow("pure-ftpd") << Kind::PureFtpd;
    }
    void linksAsList() {
        QFETCH(Kind, kind);
        const QString reason = RealFtpServer::unavailableReason(kind);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        RealFtpServer srv(kind);
        QVERIFY2(srv.start(), qPrintable(srv.lastError()));
        const QString root = srv.rootPath();
        QVERIFY(QDir(root).mkpath("links/sub"));
        QVERIFY(TestUtil::writeFile(root + "/links/plain.txt", "abc"));
        QVERIFY(QFile::link("plain.txt", root + "/links/filelink"));
        QVERIFY(QFile::link("sub", root + "/links/dirlink"));

        auto plain = logIn(srv, false);
        auto machine = logIn(srv, true);
        QVERIFY(plain && machine);
        QVERIFY(machine->Features().Mlst());
        QVERIFY(plain->SetCurrentDirectory("/links"));
        QVERIFY(machine->SetCurrentDirectory("/links"));
        const QStringList byList = links(whole(*plain));
        QCOMPARE(byList, (QStringList{"dirlink -> sub (dir)", "filelink -> plain.txt (file)"}));
        QCOMPARE(links(whole(*machine)), byList);
        QCOMPARE(links(streamed(*machine)), byList);
        QVERIFY(!machine->ListingTruncated());
    }

    void truncatedListing_data() {
        QTest::addColumn<bool>("extensions");
        QTest::newRow("LIST") << false;
        QTest::newRow("MLSD") << true;
    }
    void truncatedListing() {
        QFETCH(bool, extensions);
        const QString reason = RealFtpServer::unavailableReason(Kind::PureFtpd);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        RealFtpServer::Options options;
        options.listLimit = 3;
        RealFtpServer srv(Kind::PureFtpd, options);
        QVERIFY2(srv.start(), qPrintable(srv.lastError()));
        QVERIFY(QDir(srv.rootPath()).mkpath("many"));
        for (int i = 0; i < 8; ++i)
            QVERIFY(TestUtil::writeFile(srv.rootPath() + QStringLiteral("/many/f%1").arg(i), "x"));
        auto ftp = logIn(srv, extensions);
        QVERIFY(ftp);
        QVERIFY(ftp->SetCurrentDirectory("/many"));
        const QList<CFtpFile> files = whole(*ftp);
        QVERIFY2(!files.isEmpty() && files.size() < 8, qPrintable(QString::number(files.size())));
        QVERIFY(ftp->ListingTruncated());
        QVERIFY2(ftp->ListingTruncatedText().contains("truncated", Qt::CaseInsensitive),
                 qPrintable(ftp->ListingTruncatedText()));
    }
};

QTEST_MAIN(TestRealLinks)
#include "tst_real_links.moc"
