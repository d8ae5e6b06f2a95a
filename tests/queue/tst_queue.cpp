// The transfer queue against real servers: one table of scenarios, each run
// on every server that can run it here. Workers are engines in threads of
// their own; this thread waits (bounded) for the queue to finish.

#include "FakeFtpServer.h"
#include "LocalChecksum.h"
#include "QueueStore.h"
#include "RealFtpServer.h"
#include "KilledRun.h"
#include "QueueTree.h"
#include "TestUtil.h"
#include "TransferQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

using Kind = RealFtpServer::Kind;
using Checksums = RealFtpServer::Options::Checksums;
Q_DECLARE_METATYPE(Kind)
Q_DECLARE_METATYPE(Checksums)
Q_DECLARE_METATYPE(Conflict::Policy)
Q_DECLARE_METATYPE(Conflict::Action)

namespace {

enum class Scenario {
    DownloadFolder,
    UploadFolder,
    ConflictSkip,
    ConflictResume,
    ConflictRename,
    ConflictSizeDiffers,
    OneConnectionOnly,
    LyingChecksum,
    // An upload cut on the way (the server's session dies) goes on from
    // the bytes the server kept: SIZE, then REST and STOR.
    UploadCutResumes,
};


QueueSession sessionFor(const RealFtpServer& server) {
    QueueSession session;
    session.host = server.host();
    session.port = server.port();
    session.userName = server.userName();
    session.password = server.password();
    session.passive = true;
    session.timeoutSeconds = 20;
    return session;
}

// Runs the queue until it finishes, bounded.
bool runToEnd(TransferQueue& queue, int timeoutMs = 40000) {
    bool finished = false;
    QObject::connect(&queue, &TransferQueue::finished, &queue, [&] { finished = true; });
    queue.start();
    return TestUtil::waitUntil([&] { return finished; }, timeoutMs);
}

// A handler that sends this reply.
FakeFtpServer::Handler answer(FakeFtpServer& server, const QString& text) {
    return [&server, text](FakeFtpServer&, const QString&) { server.sendReply(text); };
}

// A scripted server answering the log-in, TYPE, FEAT and QUIT whenever asked
// (a retry may come on a new connection); the transfers are scripted.
void answerSession(FakeFtpServer& server, const QStringList& features) {
    server.onCommand("USER", answer(server, "331 Password required"));
    server.onCommand("PASS", answer(server, "230 Logged in"));
    server.onCommand("PWD", answer(server, "257 \"/\" is the current directory"));
    server.onCommand("TYPE", answer(server, "200 Type set"));
    server.onCommand("QUIT", answer(server, "221 Bye"));
    server.onCommand("FEAT", answer(server, FakeFtpServer::featReply(features)));
}

QueueSession scriptedSession(const FakeFtpServer& server) {
    QueueSession session;
    session.host = server.host();
    session.port = server.port();
    session.userName = "anonymous";
    session.timeoutSeconds = 10;
    return session;
}

class FixedAnswer : public ConflictResolver {
public:
    explicit FixedAnswer(Conflict::Policy policy) : m_Policy(policy) {}
    Answer resolve(const QueueItem&, const Conflict::Target&) override {
        ++asked;
        return {m_Policy, true};
    }
    int asked = 0;

private:
    Conflict::Policy m_Policy;
};

} // namespace

class TestQueue : public QObject {
    Q_OBJECT
private slots:
    void conflictRules_data();
    void conflictRules();
    void freeNames();
    void localChecksums_data();
    void localChecksums();
    void scenarios_data();
    void scenarios();
    void retryResumesAndStopStops_data();
    void retryResumesAndStopStops();
    void refusedUploadStartsOver();
    void overwriteNeverBuildsOnTheOldFile();
    void deadServerFailsWithoutSpinning();
    void storeKeepsWhatAKillLeaves();
    void killedCliResumesWithoutRefetching();
};

void TestQueue::conflictRules_data() {
    // A source of 1000 bytes from day 45000; targets as listed.
    QTest::addColumn<Conflict::Policy>("policy");
    QTest::addColumn<qint64>("targetSize");
    QTest::addColumn<double>("targetTime");
    QTest::addColumn<Conflict::Action>("action");
    QTest::addColumn<qint64>("start");
    using P = Conflict::Policy;
    using A = Conflict::Action;
    QTest::newRow("resume a shorter target")
        << P::Resume << qint64(400) << 0.0 << A::Resume << qint64(400);
    QTest::newRow("resume a whole one: nothing to add")
        << P::Resume << qint64(1000) << 0.0 << A::Skip << qint64(0);
    QTest::newRow("resume a longer one")
        << P::Resume << qint64(5000) << 0.0 << A::Skip << qint64(0);
    QTest::newRow("newer source") << P::OverwriteIfNewer << qint64(1000) << 44000.0 << A::Transfer
                                  << qint64(0);
    QTest::newRow("older source") << P::OverwriteIfNewer << qint64(1000) << 46000.0 << A::Skip
                                  << qint64(0);
    QTest::newRow("no target time: not known newer")
        << P::OverwriteIfNewer << qint64(1000) << 0.0 << A::Skip << qint64(0);
    QTest::newRow("same size") << P::OverwriteIfSizeDiffers << qint64(1000) << 0.0 << A::Skip
                               << qint64(0);
    QTest::newRow("other size") << P::OverwriteIfSizeDiffers << qint64(999) << 0.0 << A::Transfer
                                << qint64(0);
    QTest::newRow("unanswered question") << P::Ask << qint64(1) << 0.0 << A::Skip << qint64(0);
}

void TestQueue::conflictRules() {
    QFETCH(Conflict::Policy, policy);
    QFETCH(qint64, targetSize);
    QFETCH(double, targetTime);
    QFETCH(Conflict::Action, action);
    QFETCH(qint64, start);
    QueueItem item;
    item.size = 1000;
    item.sourceTime = 45000;
    const Conflict::Plan plan = Conflict::decide(policy, item, {targetSize, targetTime});
    QCOMPARE(plan.action, action);
    QCOMPARE(plan.startPoint, start);
}

void TestQueue::freeNames() {
    const QStringList taken = {"/d/a (1).txt", "/d/noext (1)"};
    const auto isTaken = [&](const QString& path) { return taken.contains(path); };
    QCOMPARE(Conflict::freeName("/d/a.txt", isTaken), QStringLiteral("/d/a (2).txt"));
    QCOMPARE(Conflict::freeName("/d/noext", isTaken), QStringLiteral("/d/noext (2)"));
    QCOMPARE(Conflict::freeName("/d/.hidden", isTaken), QStringLiteral("/d/.hidden (1)"));
    QCOMPARE(Conflict::freeName("/d.x/f.tar.gz", isTaken), QStringLiteral("/d.x/f.tar (1).gz"));
}

void TestQueue::localChecksums_data() {
    // The digests servers send for "123456789" (CRC32 is the check value
    // of the zip polynomial).
    QTest::addColumn<QString>("algorithm");
    QTest::addColumn<QString>("digest");
    QTest::newRow("CRC32") << "CRC32"
                           << "cbf43926";
    QTest::newRow("MD5") << "MD5"
                         << "25f9e794323b453885f5181f1b624d0b";
    QTest::newRow("SHA-1") << "SHA-1"
                           << "f7c3bc1d808e04732adf679965ccc34ca7ae3441";
    QTest::newRow("SHA-256") << "SHA-256"
                             << "15e2b0d3c33891ebb0f1ef609ec419420c20e320ce94c65fbc8c3312448eb225";
    QTest::newRow("unknown") << "SHA-512"
                             << "";
}

void TestQueue::localChecksums() {
    QFETCH(QString, algorithm);
    QFETCH(QString, digest);
    QTemporaryDir dir;
    QVERIFY(TestUtil::writeFile(dir.filePath("f"), "123456789"));
    QCOMPARE(LocalChecksum::ofFile(dir.filePath("f"), algorithm), digest);
    QCOMPARE(LocalChecksum::ofFile(dir.filePath("missing"), algorithm), QString());
    // Continued block by block, CRC32 gives the same.
    QCOMPARE(LocalChecksum::crc32(LocalChecksum::crc32(0, "1234", 4), "56789", 5), 0xCBF43926u);
}

void TestQueue::scenarios_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Checksums>("checksums");
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("tls");
    const QList<QPair<const char*, Scenario>> common = {
        {"download folder", Scenario::DownloadFolder},
        {"upload folder", Scenario::UploadFolder},
        {"conflict skip", Scenario::ConflictSkip},
        {"conflict resume", Scenario::ConflictResume},
        {"conflict rename", Scenario::ConflictRename},
        {"conflict size differs", Scenario::ConflictSizeDiffers},
        {"one connection only", Scenario::OneConnectionOnly},
    };
    for (const Kind kind : {Kind::Vsftpd, Kind::Pyftpdlib, Kind::Proftpd, Kind::PureFtpd}) {
        // Verification wherever the server can: proftpd's mod_digest,
        // pyftpdlib's XSHA256.
        const Checksums checksums =
            kind == Kind::Proftpd || kind == Kind::Pyftpdlib ? Checksums::Honest : Checksums::Off;
        const QByteArray name8 = RealFtpServer::kindName(kind).toUtf8();
        const char* server = name8.constData();
        for (const auto& [name, scenario] : common)
            QTest::addRow("%s %s", server, name) << kind << checksums << scenario << false << false;
        // pyftpdlib, active, beside other sessions, was seen to leave a data
        // connection waiting until the time-out (the queue's retry then
        // completes it, slowly): not a row here.
        if (kind != Kind::Pyftpdlib)
            QTest::addRow("%s download folder, active", server)
                << kind << checksums << Scenario::DownloadFolder << true << false;
        QTest::addRow("%s upload folder, TLS", server)
            << kind << checksums << Scenario::UploadFolder << false << true;
    }
    QTest::addRow("pyftpdlib lying checksum")
        << Kind::Pyftpdlib << Checksums::Lying << Scenario::LyingChecksum << false << false;
    for (const Kind kind : {Kind::Vsftpd, Kind::Pyftpdlib})
        QTest::addRow("%s upload cut, resumed", qPrintable(RealFtpServer::kindName(kind)))
            << kind << Checksums::Off << Scenario::UploadCutResumes << false << false;
}

void TestQueue::scenarios() {
    QFETCH(Kind, kind);
    QFETCH(Checksums, checksums);
    QFETCH(Scenario, scenario);
    QFETCH(bool, active);
    QFETCH(bool, tls);
    RealFtpServer::Options options;
    options.checksums = checksums;
    if (tls) {
        options.tls = RealFtpServer::Tls::Explicit;
        options.tlsRequired = true;
    }
    if (scenario == Scenario::OneConnectionOnly)
        options.maxClients = 1;
    // Slow enough to be cut in the middle.
    constexpr qint64 CutFileSize = 600000;
    if (scenario == Scenario::UploadCutResumes)
        options.uploadRate = 200000;
    const QString unavailable = RealFtpServer::unavailableReason(kind, options);
    if (!unavailable.isEmpty())
        QSKIP(qPrintable(unavailable));
    RealFtpServer server(kind, options);
    QVERIFY2(server.start(), qPrintable(server.lastError()));
    QTemporaryDir local;
    QTemporaryDir data;
    QueueStore store(data.filePath("queue.sqlite"));
    QVERIFY(store.open());
    TransferQueue queue(store, "test");
    QueueSession session = sessionFor(server);
    session.passive = !active;
    if (tls) {
        // The certificate the user trusted in the browsing session.
        const auto certificates = QSslCertificate::fromPath(server.certificatePath());
        QVERIFY(!certificates.isEmpty());
        session.security = FtpSecurity::Mode::ExplicitRequired;
        session.trustedFingerprint = certificates.first().digest(QCryptographicHash::Sha256);
    }
    queue.setSession(session);
    queue.setWorkerCount(scenario == Scenario::OneConnectionOnly ? 3 : 2);
    QStringList notes;
    connect(&queue, &TransferQueue::note, this, [&](const QString& text) { notes << text; });

    const QString remoteTree = server.rootPath() + "/tree";
    const QString localTree = local.filePath("tree");
    const QString cutLocal = localTree + "/big.bin";
    const QString cutRemote = "/" + RealFtpServer::writableDir() + "/big.bin";
    if (scenario == Scenario::UploadCutResumes) {
        QVERIFY(QDir().mkpath(localTree));
        QVERIFY(TestUtil::writePatternFile(cutLocal, CutFileSize));
        queue.setWorkerCount(1);
        queue.addUpload(cutLocal, cutRemote);
    } else if (scenario == Scenario::UploadFolder) {
        QVERIFY(writeTree(localTree));
        queue.addUploadFolder(localTree, "/" + RealFtpServer::writableDir() + "/tree");
    } else {
        QVERIFY(writeTree(remoteTree));
        queue.addDownloadFolder("/tree", localTree);
    }
    // A local file in the way: a prefix of the remote one, or another file.
    const QString inTheWay = localTree + "/sub/deep/d.bin";
    const QByteArray whole = TestUtil::patternBytes(70001);
    FixedAnswer answer(Conflict::Policy::Skip);
    if (scenario >= Scenario::ConflictSkip && scenario <= Scenario::ConflictSizeDiffers) {
        QVERIFY(QDir().mkpath(QFileInfo(inTheWay).absolutePath()));
        QVERIFY(TestUtil::writeFile(inTheWay, whole.left(30000)));
        const Conflict::Policy policy =
            scenario == Scenario::ConflictSkip     ? Conflict::Policy::Skip
            : scenario == Scenario::ConflictResume ? Conflict::Policy::Resume
            : scenario == Scenario::ConflictRename ? Conflict::Policy::Rename
                                                   : Conflict::Policy::OverwriteIfSizeDiffers;
        answer = FixedAnswer(policy);
        queue.setConflictResolver(&answer);
    }

    if (scenario == Scenario::UploadCutResumes) {
        bool finished = false;
        connect(&queue, &TransferQueue::finished, this, [&] { finished = true; });
        queue.start();
        // Cut once part of the file has arrived.
        const QString arriving = server.rootPath() + cutRemote;
        QVERIFY(TestUtil::waitUntil(
            [&] { return QFileInfo(arriving).size() >= 50000 || finished; }, 20000));
        QVERIFY2(!finished, "the upload ended before it could be cut");
        QVERIFY(server.cutSessions());
        QVERIFY2(TestUtil::waitUntil([&] { return finished; }, 40000), "the queue did not finish");
    } else {
        QVERIFY2(runToEnd(queue), "the queue did not finish");
    }
    const TransferQueue::Totals totals = queue.totals();
    QString failures;
    for (int row = 0; row < queue.count(); ++row) {
        if (queue.at(row).state == QueueItem::State::Failed)
            failures += queue.at(row).remotePath + ": " + queue.at(row).lastError + "\n";
    }
    const int files = int(TreeFiles.size());
    const bool proven = checksums == Checksums::Honest;
    switch (scenario) {
    case Scenario::DownloadFolder:
    case Scenario::OneConnectionOnly:
    case Scenario::ConflictResume:
    case Scenario::ConflictSizeDiffers:
        QVERIFY2(totals.failed == 0, qPrintable(failures));
        QCOMPARE(totals.done, files);
        QCOMPARE(compareTrees(remoteTree, localTree), QString());
        // Only what the server can prove is called proven; the empty file too.
        QCOMPARE(totals.verified, proven ? files : 0);
        if (scenario == Scenario::OneConnectionOnly)
            QVERIFY2(queue.workerCount() == 1, qPrintable(notes.join('\n')));
        if (scenario != Scenario::DownloadFolder && scenario != Scenario::OneConnectionOnly)
            QCOMPARE(answer.asked, 1);
        break;
    case Scenario::UploadFolder:
        QVERIFY2(totals.failed == 0, qPrintable(failures));
        QCOMPARE(totals.done, files);
        QTRY_COMPARE(compareTrees(localTree, server.rootPath() + "/incoming/tree"), QString());
        QCOMPARE(totals.verified, proven ? files : 0);
        break;
    case Scenario::ConflictSkip:
        QVERIFY2(totals.failed == 0, qPrintable(failures));
        QCOMPARE(totals.skipped, 1);
        QCOMPARE(QFileInfo(inTheWay).size(), 30000);
        break;
    case Scenario::ConflictRename:
        QVERIFY2(totals.failed == 0, qPrintable(failures));
        QCOMPARE(QFileInfo(inTheWay).size(), 30000);
        QCOMPARE(TestUtil::readFile(localTree + "/sub/deep/d (1).bin"), whole);
        break;
    case Scenario::UploadCutResumes: {
        QVERIFY2(totals.failed == 0, qPrintable(failures));
        QCOMPARE(queue.at(0).attempts, 2);
        QCOMPARE(TestUtil::fileChecksum(server.rootPath() + cutRemote),
                 TestUtil::fileChecksum(cutLocal));
        // Asked (pyftpdlib answers SIZE in image type only), and resumed
        // from a point inside the file.
        const QString log = server.transcript();
        QVERIFY2(log.contains("SIZE " + cutRemote), qPrintable(log));
        const QRegularExpressionMatch rest = QRegularExpression("REST (\\d+)").match(log);
        QVERIFY2(rest.hasMatch(), qPrintable(log));
        QVERIFY(rest.captured(1).toLongLong() > 0 && rest.captured(1).toLongLong() < CutFileSize);
        QCOMPARE(log.count("STOR " + cutRemote), 2);
        break;
    }
    case Scenario::LyingChecksum:
        // Every file is fetched twice, then fails; each copy is kept under
        // a name that says so, and none is passed off as good.
        QCOMPARE(totals.failed, files);
        QCOMPARE(totals.done, 0);
        QVERIFY(QFileInfo::exists(localTree + "/a.bin.checksum-mismatch"));
        QVERIFY(!QFileInfo::exists(localTree + "/a.bin"));
        QCOMPARE(server.transcript().count("RETR /tree/a.bin"), 2);
        break;
    }
    // The link back up was seen, and said so.
    if (scenario == Scenario::DownloadFolder || scenario == Scenario::UploadFolder)
        QVERIFY2(notes.join('\n').contains("sub/deep/up"), qPrintable(notes.join('\n')));
    // Nothing outside the chosen folder was touched.
    QCOMPARE(QDir(local.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"tree"});
}

void TestQueue::retryResumesAndStopStops_data() {
    QTest::addColumn<bool>("stop");
    QTest::addColumn<bool>("stopAll");
    QTest::newRow("cut, retried from the bytes on disk") << false << false;
    QTest::newRow("stopped by the user") << true << false;
    QTest::newRow("Stop all") << true << true;
}

void TestQueue::retryResumesAndStopStops() {
    // A scripted server: the log-in answered whenever asked (a retry may
    // come on a new connection), the transfers scripted.
    QFETCH(bool, stop);
    QFETCH(bool, stopAll);
    const QByteArray bytes = TestUtil::patternBytes(12000);
    FakeFtpServer server;
    // HASH as the draft has it; the digest of the whole file proves the
    // resumed copy.
    answerSession(server, {"HASH SHA-1;SHA-256*;MD5"});
    server.onCommand("HASH", answer(server, "213 SHA-256 0-11999 " +
                                                QString::fromLatin1(TestUtil::checksum(bytes)) +
                                                " /f.bin"));
    server.expect("PASV").passive().expect("RETR /f.bin").reply("150 Opening");
    if (stop) {
        server.dataSend(bytes.left(5000)).stall();
    } else {
        server.dataSend(bytes.left(5000))
            .dataClose()
            .reply("426 Connection closed; transfer aborted.")
            .expect("PASV")
            .passive()
            .expect("REST 5000")
            .reply("350 Restarting at 5000")
            .expect("RETR /f.bin")
            .reply("150 Opening")
            .dataSend(bytes.mid(5000))
            .dataClose()
            .reply("226 Done");
    }
    QTemporaryDir data;
    QueueStore store(data.filePath("queue.sqlite"));
    QVERIFY(store.open());
    TransferQueue queue(store, "scripted");
    queue.setSession(scriptedSession(server));
    queue.setWorkerCount(1);
    const QString local = data.filePath("f.bin");
    const qint64 id = queue.addDownload("/f.bin", local, bytes.size());
    if (stop) {
        bool finished = false;
        connect(&queue, &TransferQueue::finished, this, [&] { finished = true; });
        queue.start();
        // One connection: a second item waits behind the first (handed to
        // the connection ahead, the first being short). Stop all holds it
        // there; a Stop on it ends it alone.
        const qint64 next = queue.addDownload("/g.bin", data.filePath("g.bin"));
        QVERIFY(TestUtil::waitUntil([&] { return queue.at(0).bytesDone > 0; }, 10000));
        if (stopAll) {
            queue.stopAll();
        } else {
            queue.stopItem(next);
            QVERIFY(TestUtil::waitUntil(
                [&] { return queue.at(1).state == QueueItem::State::Failed; }, 10000));
            QCOMPARE(queue.at(0).state, QueueItem::State::Active);
            queue.stopItem(id);
        }
        QVERIFY(TestUtil::waitUntil([&] { return finished; }, 10000));
        QCOMPARE(queue.at(0).state, QueueItem::State::Failed);
        QCOMPARE(queue.at(0).lastError, QStringLiteral("Stopped."));
        QCOMPARE(queue.at(1).state,
                 stopAll ? QueueItem::State::Queued : QueueItem::State::Failed);
        QVERIFY(!server.commands().contains("RETR /g.bin"));
        return;
    }
    QVERIFY(runToEnd(queue, 20000));
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(queue.at(0).state, QueueItem::State::Done);
    QCOMPARE(queue.at(0).attempts, 2);
    QCOMPARE(TestUtil::readFile(local), bytes);
    QCOMPARE(queue.at(0).verifiedWith, QStringLiteral("SHA-256"));
    QVERIFY(server.commands().contains("HASH /f.bin"));
}

void TestQueue::refusedUploadStartsOver() {
    // The server took the bytes and then refused the file: what it holds is
    // not to be built on, so "Retry" sends the whole file again, without
    // asking its size (the script fails on any command it does not expect).
    FakeFtpServer server;
    answerSession(server, {"REST STREAM", "SIZE"});
    for (const char* last : {"552 Exceeded storage allocation", "226 Done"})
        server.expect("PASV").passive().expect("STOR /u.bin").reply("150 Go").dataReceive().reply(
            last);
    QTemporaryDir data;
    QueueStore store(data.filePath("queue.sqlite"));
    QVERIFY(store.open());
    TransferQueue queue(store, "refused");
    queue.setSession(scriptedSession(server));
    queue.setWorkerCount(1);
    const QByteArray bytes = TestUtil::patternBytes(12000);
    QVERIFY(TestUtil::writeFile(data.filePath("u.bin"), bytes));
    const qint64 id = queue.addUpload(data.filePath("u.bin"), "/u.bin");
    QVERIFY(runToEnd(queue, 20000));
    QCOMPARE(queue.at(0).state, QueueItem::State::Failed);
    QVERIFY(queue.at(0).bytesDone > 0);
    queue.retryItem(id);
    QVERIFY(TestUtil::waitUntil([&] { return queue.at(0).finished(); }, 20000));
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(queue.at(0).state, QueueItem::State::Done);
    QCOMPARE(server.uploads().value(1), bytes);
}

void TestQueue::overwriteNeverBuildsOnTheOldFile() {
    // A file to be overwritten keeps its old bytes until the server confirms:
    // refused before that (450) and retried, the whole new file comes, not
    // a resume from the old one's length (the script fails on a REST).
    FakeFtpServer server;
    answerSession(server, {"REST STREAM"});
    const QByteArray bytes = TestUtil::patternBytes(12000);
    server.expect("PASV").passive().expect("RETR /f.bin").reply("450 Busy, try later");
    server.expect("PASV").passive().expect("RETR /f.bin").reply("150 Opening");
    server.dataSend(bytes).dataClose().reply("226 Done");
    QTemporaryDir data;
    QueueStore store(data.filePath("queue.sqlite"));
    QVERIFY(store.open());
    TransferQueue queue(store, "overwrite");
    queue.setSession(scriptedSession(server));
    queue.setWorkerCount(1);
    queue.setPolicy(Conflict::Policy::Overwrite);
    const QString local = data.filePath("f.bin");
    QVERIFY(TestUtil::writeFile(local, QByteArray(5000, 'o')));
    queue.addDownload("/f.bin", local, bytes.size());
    QVERIFY(runToEnd(queue, 20000));
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(queue.at(0).state, QueueItem::State::Done);
    QCOMPARE(TestUtil::readFile(local), bytes);
}

void TestQueue::deadServerFailsWithoutSpinning() {
    // A port nobody listens on: connections are refused at once. The queue
    // pauses between tries and then fails every item with the reason.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    QTemporaryDir data;
    QueueStore store(data.filePath("queue.sqlite"));
    QVERIFY(store.open());
    TransferQueue queue(store, "dead");
    QueueSession session;
    session.host = "127.0.0.1";
    session.port = port;
    session.userName = "anonymous";
    session.timeoutSeconds = 5;
    queue.setSession(session);
    for (int i = 0; i < 20; ++i)
        queue.addDownload(QStringLiteral("/f%1").arg(i),
                          data.filePath(QStringLiteral("f%1").arg(i)));
    QVERIFY(runToEnd(queue, 30000));
    QCOMPARE(queue.totals().failed, 20);
    QVERIFY(!queue.at(0).lastError.isEmpty());
    QCOMPARE(queue.at(0).attempts, 0);
}

void TestQueue::storeKeepsWhatAKillLeaves() {
    // A child process writes items and is killed; what it committed is there.
    QTemporaryDir data;
    const QString path = data.filePath("queue.sqlite");
    {
        QueueStore store(path);
        QVERIFY(store.open());
        QList<QueueItem> items;
        for (int i = 0; i < 3; ++i) {
            QueueItem item;
            item.remotePath = QStringLiteral("/r%1").arg(i);
            item.localPath = QStringLiteral("/l%1").arg(i);
            items << item;
        }
        QVERIFY2(store.insert("job", items), qPrintable(store.lastError()));
        items[0].state = QueueItem::State::Done;
        items[1].state = QueueItem::State::Active;
        items[1].bytesDone = 1234;
        store.update(items[0]);
        store.update(items[1]);
        QVERIFY(store.flush());
        // No close: the file is read again as a crash leaves it.
        QueueStore again(path);
        QVERIFY(again.open());
        const QList<QueueItem> loaded = again.load("job");
        QCOMPARE(loaded.size(), 3);
        QCOMPARE(loaded[0].state, QueueItem::State::Done);
        QCOMPARE(loaded[1].bytesDone, 1234);
        QCOMPARE(again.interruptedJobs(), QStringList{"job"});
        // The queue takes the active one up again as queued, where it stopped.
        TransferQueue queue(again, "job");
        QCOMPARE(queue.at(1).state, QueueItem::State::Queued);
        QCOMPARE(queue.at(1).bytesDone, 1234);
        // Removed: gone from the rows and from the store.
        QSignalSpy removed(&queue, &TransferQueue::itemRemoved);
        QVERIFY(queue.removeItem(items[0].id));
        QCOMPARE(removed.value(0).value(0).toInt(), 0);
        QCOMPARE(queue.count(), 2);
        QCOMPARE(queue.rowOf(items[1].id), 0);
        QCOMPARE(again.load("job").size(), 2);
    }
}

void TestQueue::killedCliResumesWithoutRefetching() {
    // krellin-cli is killed (SIGKILL) in the middle of a get -r, then run
    // again: every file byte-exact, and no finished file fetched twice (the
    // server's log counts the RETRs).
    for (const Kind kind : {Kind::Vsftpd, Kind::Pyftpdlib}) {
        if (!RealFtpServer::unavailableReason(kind).isEmpty())
            continue;
        RealFtpServer server(kind);
        QVERIFY2(server.start(), qPrintable(server.lastError()));
        constexpr int Files = 40;
        for (int d = 0; d < 4; ++d)
            QVERIFY(QDir().mkpath(server.rootPath() + QStringLiteral("/big/d%1").arg(d)));
        for (int i = 0; i < Files; ++i)
            QVERIFY(TestUtil::writePatternFile(
                server.rootPath() + QStringLiteral("/big/d%1/f%2.bin").arg(i % 4).arg(i),
                300000 + i * 1000));
        QTemporaryDir local;
        QTemporaryDir data;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", data.path());
        const QString url = QStringLiteral("ftp://%1:%2@%3:%4/")
                                .arg(server.userName(), server.password(), server.host())
                                .arg(server.port());
        const QStringList arguments = {url, "--parallel", "2", "get", "-r", "big"};
        QProcess first;
        first.setProcessEnvironment(env);
        first.setWorkingDirectory(local.path());
        first.start(KRELLIN_BINARY_DIR "/cli/krellin-cli", arguments);
        QVERIFY(first.waitForStarted());
        // Killed once a few files have arrived whole and others are on the way.
        const auto arrived = [&] {
            int n = 0;
            for (int i = 0; i < Files; ++i)
                n += QFileInfo(local.filePath(QStringLiteral("big/d%1/f%2.bin").arg(i % 4).arg(i)))
                         .size() > 0;
            return n;
        };
        QVERIFY(TestUtil::waitUntil(
            [&] { return arrived() >= 8 || first.state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(first.state() == QProcess::Running, "the run ended before it could be killed");
        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(5000));

        // What the store says was finished before the kill.
        const QStringList finished = finishedBeforeKill(data.filePath("krellin-cli/queue.sqlite"));
        QVERIFY2(!finished.isEmpty() && finished.size() < Files,
                 qPrintable(QString::number(finished.size())));

        QProcess second;
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(local.path());
        second.start(KRELLIN_BINARY_DIR "/cli/krellin-cli", arguments);
        QVERIFY(second.waitForFinished(60000));
        QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
        for (int i = 0; i < Files; ++i) {
            const QString name = QStringLiteral("big/d%1/f%2.bin").arg(i % 4).arg(i);
            QCOMPARE(TestUtil::fileChecksum(local.filePath(name)),
                     TestUtil::fileChecksum(server.rootPath() + '/' + name));
        }
        const QString log = server.transcript();
        for (const QString& path : std::as_const(finished))
            QVERIFY2(log.count("RETR " + path) == 1, qPrintable(path + " fetched again"));
    }
}

QTEST_GUILESS_MAIN(TestQueue)
#include "tst_queue.moc"
