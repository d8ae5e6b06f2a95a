// The engine against real server daemons -- vsftpd, proftpd, pure-ftpd and
// pyftpdlib -- in passive and active mode, through the public CFtpConnection
// API only: log-in, listing, byte-exact transfers, the file and directory
// commands, and a Stop in the middle of a large download and upload after
// which the same session goes on working.
//
// vsftpd, proftpd and pure-ftpd need root (see RealFtpServer); where one
// cannot run, its rows skip and say why. CI runs as root and always has
// vsftpd and pyftpdlib.

#include "CFtpConnection.h"
#include "RealFtpServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

using Kind = RealFtpServer::Kind;
Q_DECLARE_METATYPE(RealFtpServer::Kind)

namespace {

const QList<Kind> AllKinds = {Kind::Vsftpd, Kind::Proftpd, Kind::PureFtpd, Kind::Pyftpdlib};

// Large enough that no socket buffer holds a real part of it: a Stop that
// does not stop the server shows up as most of the file arriving.
constexpr qint64 StopSize = 256 * 1024 * 1024;
// An odd size, so that a block boundary bug cannot hide.
constexpr qint64 RoundTripSize = 3 * 1024 * 1024 + 17;

QString failure(CFtpConnection& ftp) {
    return QStringLiteral("#%1 %2 (server: %3)")
        .arg(ftp.FtpGetLastError())
        .arg(ftp.GetFtpErrorDescription(ftp.FtpGetLastError()), ftp.GetLastServerResponse());
}

std::shared_ptr<CFtpFile> listed(CFtpConnection& ftp, const QString& name) {
    std::shared_ptr<CFtpFiles> files;
    if (!ftp.EnumFiles(files) || !files)
        return nullptr;
    for (const auto& file : *files) {
        if (file->FileName == name)
            return file;
    }
    return nullptr;
}

// A sparse file of the given size: costs no disk, reads as zeros.
bool makeSparseFile(const QString& path, qint64 size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(size);
}

qint64 fileSize(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

} // namespace

class TestRealServers : public QObject {
    Q_OBJECT

    std::map<Kind, std::unique_ptr<RealFtpServer>> m_Servers;
    std::map<Kind, QString> m_Unavailable;
    QTemporaryDir m_Local;

    // The running server of a kind, started on first use; null (with the
    // reason in m_Unavailable) when it cannot run here.
    RealFtpServer* server(Kind kind) {
        if (m_Unavailable.count(kind))
            return nullptr;
        auto& slot = m_Servers[kind];
        if (!slot) {
            auto started = std::make_unique<RealFtpServer>(kind);
            if (!started->start()) {
                m_Unavailable[kind] = started->lastError();
                return nullptr;
            }
            slot = std::move(started);
        }
        return slot.get();
    }

    std::unique_ptr<CFtpConnection> logIn(RealFtpServer& srv, bool passive,
                                          bool extensions = false) {
        auto ftp = std::make_unique<CFtpConnection>();
        ftp->setExtensions(extensions);
        ftp->setTimeout(10);
        ftp->setFtpServer(srv.host());
        ftp->setPort(srv.port());
        ftp->setUserName(srv.userName());
        ftp->setPassword(srv.password());
        ftp->setPassiveMode(passive);
        ftp->setZeroCopy(TestUtil::zeroCopyPath());
        if (!ftp->Connect()) {
            qWarning("log-in to %s failed: %s", qPrintable(RealFtpServer::kindName(srv.kind())),
                     qPrintable(failure(*ftp)));
            return nullptr;
        }
        return ftp;
    }

    QString local(const QString& name) const { return m_Local.filePath(name); }

    // Server × data connection mode, for every test below.
    void serverRows() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("passive");
        for (Kind kind : AllKinds) {
            for (bool passive : {true, false}) {
                QTest::addRow("%s %s", qPrintable(RealFtpServer::kindName(kind)),
                              passive ? "passive" : "active")
                    << kind << passive;
            }
        }
    }

#define REAL_SERVER(var)                                                                           \
    QFETCH(Kind, kind);                                                                            \
    QFETCH(bool, passive);                                                                         \
    RealFtpServer* var = server(kind);                                                             \
    if (!var)                                                                                      \
        QSKIP(qPrintable(RealFtpServer::kindName(kind) + ": " + m_Unavailable[kind]));             \
    const QString tag =                                                                            \
        QStringLiteral("%1-%2").arg(RealFtpServer::kindName(kind), passive ? "p" : "a");

private slots:
    // Every transfer once with zero copy and once copying.
    void initTestCase_data() {
        TestUtil::addTransferPaths();
    }
    void initTestCase() {
        QVERIFY(m_Local.isValid());
        for (Kind kind : AllKinds) {
            const QString reason = RealFtpServer::unavailableReason(kind);
            qInfo("%-9s %-22s %s", qPrintable(RealFtpServer::kindName(kind)),
                  qPrintable(RealFtpServer::version(kind)),
                  reason.isEmpty() ? "runs" : qPrintable("skips: " + reason));
        }
    }

    void session_data() {
        serverRows();
    }
    void session() {
        REAL_SERVER(srv);
        const QString root = srv->rootPath();
        const QString incoming = root + '/' + RealFtpServer::writableDir();
        QVERIFY(TestUtil::writePatternFile(root + "/src-" + tag, RoundTripSize));
        const QByteArray sum = TestUtil::fileChecksum(root + "/src-" + tag);

        auto ftp = logIn(*srv, passive);
        QVERIFY(ftp);
        QCOMPARE(ftp->GetCurrentDirectory(), QStringLiteral("/"));

        const auto entry = listed(*ftp, "src-" + tag);
        QVERIFY2(entry, qPrintable(failure(*ftp)));
        QCOMPARE(entry->FileSize, RoundTripSize);
        QVERIFY(!entry->IsDirectory);

        QVERIFY2(ftp->DownloadFile("src-" + tag, local("got-" + tag), 1, 0),
                 qPrintable(failure(*ftp)));
        QCOMPARE(TestUtil::fileChecksum(local("got-" + tag)), sum);

        QVERIFY2(ftp->SetCurrentDirectory(RealFtpServer::writableDir()), qPrintable(failure(*ftp)));
        QVERIFY2(ftp->UploadFile(local("got-" + tag), "up-" + tag, 1, 0),
                 qPrintable(failure(*ftp)));
        // Some servers finish writing just after their final reply.
        QVERIFY(TestUtil::waitUntil(
            [&] { return TestUtil::fileChecksum(incoming + "/up-" + tag) == sum; }, 5000));

        // ASCII type: no REST goes out, so servers that refuse REST in ASCII
        // type (pyftpdlib) take it; bare LF lines survive every server.
        const QByteArray text = "first line\nsecond line\n";
        QVERIFY(TestUtil::writeFile(local("text-" + tag), text));
        QVERIFY2(ftp->UploadFile(local("text-" + tag), "text-" + tag, 0, 0),
                 qPrintable(failure(*ftp)));
        QVERIFY(TestUtil::waitUntil(
            [&] { return TestUtil::readFile(incoming + "/text-" + tag) == text; }, 5000));

        QVERIFY2(ftp->CreateDirectory("dir-" + tag), qPrintable(failure(*ftp)));
        QVERIFY(QFileInfo(incoming + "/dir-" + tag).isDir());
        const auto dir = listed(*ftp, "dir-" + tag);
        QVERIFY(dir);
        QVERIFY(dir->IsDirectory);

        QVERIFY2(ftp->RenameFile("up-" + tag, "dir-" + tag + "/moved"), qPrintable(failure(*ftp)));
        QVERIFY(!QFileInfo::exists(incoming + "/up-" + tag));
        QCOMPARE(TestUtil::fileChecksum(incoming + "/dir-" + tag + "/moved"), sum);
        // A directory that is not empty stays.
        QVERIFY(!ftp->RemoveDirectory("dir-" + tag));
        QVERIFY(QFileInfo(incoming + "/dir-" + tag).isDir());
        QVERIFY2(ftp->DeleteFile("dir-" + tag + "/moved"), qPrintable(failure(*ftp)));
        QVERIFY(!QFileInfo::exists(incoming + "/dir-" + tag + "/moved"));
        QVERIFY2(ftp->RemoveDirectory("dir-" + tag), qPrintable(failure(*ftp)));
        QVERIFY(!QFileInfo::exists(incoming + "/dir-" + tag));

        // Refusals are failures, and the session goes on.
        QVERIFY(!ftp->DeleteFile("absent-" + tag));
        QVERIFY(ftp->FtpGetLastError() != 0);
        QVERIFY(!ftp->DownloadFile("absent-" + tag, local("absent-" + tag), 1, 0));
        QVERIFY(ftp->FtpGetLastError() != 0);
        QVERIFY(ftp->SetParentAsCurrentDirectory());
        QVERIFY(listed(*ftp, "src-" + tag));

        QVERIFY(ftp->CloseConnection());
        QVERIFY(!ftp->Busy());
    }

    // A listing handed out as it arrives holds the records of the whole
    // one, with LIST and (where the server offers MLST) MLSD alike.
    void streamedListing_data() {
        serverRows();
    }
    void streamedListing() {
        REAL_SERVER(srv);
        const QString dir = srv->rootPath() + "/list-" + tag;
        QVERIFY(QDir().mkpath(dir + "/sub folder"));
        for (const QString& name : {QStringLiteral("a b.txt"), QStringLiteral("\u00e9t\u00e9"),
                                    QStringLiteral(".hidden"), QStringLiteral("last")})
            QVERIFY(TestUtil::writeFile(dir + '/' + name, name.toUtf8()));
        // "ls -l" times are to the minute (vsftpd's too): never seconds.
        const auto describe = [](const CFtpFile& f) {
            return QStringList{f.FileName,
                               QString::number(f.FileSize),
                               QString::number(f.LastWriteTime, 'f', 6),
                               f.Permissions,
                               f.IsDirectory ? "dir" : "file",
                               f.SecondsKnown ? "seconds" : "minutes"};
        };
        for (const bool extensions : {false, true}) {
            auto ftp = logIn(*srv, passive, extensions);
            QVERIFY(ftp);
            QVERIFY2(ftp->SetCurrentDirectory("list-" + tag), qPrintable(failure(*ftp)));
            std::shared_ptr<CFtpFiles> files;
            QVERIFY2(ftp->EnumFiles(files) && files, qPrintable(failure(*ftp)));
            QList<QStringList> whole;
            for (const auto& file : *files)
                whole << describe(*file);
            QList<QStringList> streamed;
            QVERIFY2(ftp->EnumFiles([&](const CFtpFile& f) { streamed << describe(f); }),
                     qPrintable(failure(*ftp)));
            QCOMPARE(streamed, whole);
            QVERIFY(whole.size() >= 4);
            if (!extensions) {
                for (const QStringList& file : std::as_const(whole))
                    QCOMPARE(file.last(), QStringLiteral("minutes"));
            }
        }
    }

    void stopDownload_data() {
        serverRows();
    }
    void stopDownload() {
        REAL_SERVER(srv);
        const QString big = "big-down-" + tag;
        QVERIFY(makeSparseFile(srv->rootPath() + '/' + big, StopSize));
        QVERIFY(TestUtil::writePatternFile(srv->rootPath() + "/small-" + tag, 100000));

        auto ftp = logIn(*srv, passive);
        QVERIFY(ftp);
        CFtpConnection* raw = ftp.get();
        // The Stop button: an event that the download's wait delivers,
        // once the first bytes have arrived.
        QObject context;
        bool stopAsked = false;
        bool stopped = false;
        QElapsedTimer sinceStop;
        connect(raw, &CFtpConnection::DownloadProgress, &context, [&](qint64) {
            if (stopAsked)
                return;
            stopAsked = true;
            QTimer::singleShot(0, &context, [&] {
                sinceStop.start();
                raw->CancelTransfer();
                stopped = true;
            });
        });
        QElapsedTimer total;
        total.start();
        const bool ok = ftp->DownloadFile(big, local(big), 1, 0);
        const qint64 afterStop = stopped ? sinceStop.elapsed() : -1;
        const qint64 arrived = fileSize(local(big));
        qInfo("%s: download stopped after %lld ms (%lld ms in all), %lld of %lld bytes arrived",
              qPrintable(tag), afterStop, total.elapsed(), arrived, StopSize);
        QVERIFY2(stopped, "no progress arrived, or the download ended before the Stop ran");
        QVERIFY2(!ok, "a stopped download reported success");
        QCOMPARE(ftp->FtpGetLastError(), int(CFtpConnection::ErrCancelled));
        QVERIFY2(arrived < StopSize / 2, qPrintable(QString::number(arrived)));
        QVERIFY(!ftp->Busy());
        disconnect(raw, nullptr, &context, nullptr);

        // The same session goes on: a listing, then a small download.
        const auto entry = listed(*ftp, big);
        QVERIFY2(entry, qPrintable(failure(*ftp)));
        QCOMPARE(entry->FileSize, StopSize);
        QVERIFY2(ftp->DownloadFile("small-" + tag, local("small-" + tag), 1, 0),
                 qPrintable(failure(*ftp)));
        QCOMPARE(TestUtil::fileChecksum(local("small-" + tag)),
                 TestUtil::fileChecksum(srv->rootPath() + "/small-" + tag));
        QVERIFY(ftp->CloseConnection());
        QFile::remove(local(big));
    }

    void stopUpload_data() {
        serverRows();
    }
    void stopUpload() {
        REAL_SERVER(srv);
        const QString big = "big-up-" + tag;
        const QString stored = srv->rootPath() + '/' + RealFtpServer::writableDir() + '/' + big;
        QVERIFY(makeSparseFile(local(big), StopSize));
        QVERIFY(TestUtil::writePatternFile(srv->rootPath() + "/small-up-" + tag, 100000));

        auto ftp = logIn(*srv, passive);
        QVERIFY(ftp);
        QVERIFY2(ftp->SetCurrentDirectory(RealFtpServer::writableDir()), qPrintable(failure(*ftp)));
        CFtpConnection* raw = ftp.get();
        QObject context;
        bool stopAsked = false;
        bool stopped = false;
        QElapsedTimer sinceStop;
        connect(raw, &CFtpConnection::UploadProgress, &context, [&](qint64) {
            if (stopAsked)
                return;
            stopAsked = true;
            QTimer::singleShot(0, &context, [&] {
                sinceStop.start();
                raw->CancelTransfer();
                stopped = true;
            });
        });
        QElapsedTimer total;
        total.start();
        const bool ok = ftp->UploadFile(local(big), big, 1, 0);
        const qint64 afterStop = stopped ? sinceStop.elapsed() : -1;
        qInfo("%s: upload stopped after %lld ms (%lld ms in all), the server holds %lld of %lld "
              "bytes",
              qPrintable(tag), afterStop, total.elapsed(), fileSize(stored), StopSize);
        QVERIFY2(stopped, "no progress arrived, or the upload ended before the Stop ran");
        QVERIFY2(!ok, "a stopped upload reported success");
        QCOMPARE(ftp->FtpGetLastError(), int(CFtpConnection::ErrCancelled));
        QVERIFY(!ftp->Busy());
        disconnect(raw, nullptr, &context, nullptr);
        // The local file is never touched by an upload.
        QCOMPARE(fileSize(local(big)), StopSize);

        // The same session goes on: a listing, then a small download.
        std::shared_ptr<CFtpFiles> files;
        QVERIFY2(ftp->EnumFiles(files), qPrintable(failure(*ftp)));
        QVERIFY(ftp->SetParentAsCurrentDirectory());
        QVERIFY2(ftp->DownloadFile("small-up-" + tag, local("small-up-" + tag), 1, 0),
                 qPrintable(failure(*ftp)));
        QCOMPARE(TestUtil::fileChecksum(local("small-up-" + tag)),
                 TestUtil::fileChecksum(srv->rootPath() + "/small-up-" + tag));
        QVERIFY(ftp->CloseConnection());
        // What the server kept is well under the whole file.
        QVERIFY2(fileSize(stored) < StopSize / 2, qPrintable(QString::number(fileSize(stored))));
        QFile::remove(local(big));
        QFile::remove(stored);
    }

    // proftpd and pure-ftpd name links in MLSD without a target: whole or
    // streamed, the MLSD listing's links equal LIST's.
    void linksAsList_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("passive");
        QTest::newRow("proftpd") << Kind::Proftpd << true;
        QTest::newRow("pure-ftpd") << Kind::PureFtpd << true;
    }
    void linksAsList() {
        REAL_SERVER(srv);
        const QString dir = srv->rootPath() + "/links-" + tag;
        QDir(dir).removeRecursively(); // left by the other transfer path's run
        QVERIFY(QDir().mkpath(dir + "/sub") && TestUtil::writeFile(dir + "/plain.txt", "abc"));
        QVERIFY(QFile::link("plain.txt", dir + "/filelink") &&
                QFile::link("sub", dir + "/dirlink"));
        QStringList seen[3];
        for (int way = 0; way < 3; ++way) {
            auto ftp = logIn(*srv, passive, way > 0);
            QVERIFY(ftp && ftp->SetCurrentDirectory("/links-" + tag));
            const auto keep = [&](const CFtpFile& f) {
                if (f.Permissions.startsWith('l'))
                    seen[way] << f.FileName + " -> " + f.FilePath + (f.IsDirectory ? "/" : "");
            };
            std::shared_ptr<CFtpFiles> files;
            if (way == 2)
                QVERIFY(ftp->EnumFiles(keep));
            else
                QVERIFY(ftp->EnumFiles(files) && files);
            for (const auto& f : files ? *files : CFtpFiles())
                keep(*f);
            seen[way].sort();
        }
        QCOMPARE(seen[0], (QStringList{"dirlink -> sub/", "filelink -> plain.txt"}));
        QCOMPARE(seen[1], seen[0]);
        QCOMPARE(seen[2], seen[0]);
    }

    // pure-ftpd told to list at most 3 entries ("-L 3:5") says so in its 226.
    void truncatedListing_data() {
        QTest::addColumn<bool>("extensions");
        QTest::newRow("LIST") << false;
        QTest::newRow("MLSD") << true;
    }
    void truncatedListing() {
        QFETCH(bool, extensions);
        RealFtpServer::Options options;
        options.listLimit = 3;
        if (const QString why = RealFtpServer::unavailableReason(Kind::PureFtpd, options);
            !why.isEmpty())
            QSKIP(qPrintable(why));
        RealFtpServer srv(Kind::PureFtpd, options);
        QVERIFY2(srv.start(), qPrintable(srv.lastError()));
        for (int i = 0; i < 8; ++i)
            QVERIFY(TestUtil::writeFile(srv.rootPath() + QStringLiteral("/f%1").arg(i), "x"));
        auto ftp = logIn(srv, true, extensions);
        QVERIFY(ftp);
        std::shared_ptr<CFtpFiles> files;
        QVERIFY(ftp->EnumFiles(files) && files && files->Count() < 8);
        QVERIFY2(ftp->ListingTruncated() && ftp->ListingTruncatedText().contains("truncated"),
                 qPrintable(ftp->ListingTruncatedText()));
    }
};

QTEST_GUILESS_MAIN(TestRealServers)
#include "tst_real_servers.moc"
