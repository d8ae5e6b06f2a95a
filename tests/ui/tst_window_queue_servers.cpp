// The window's transfer queue against every real server: one table of what
// a user does in the window (a folder down and up, a conflict answered, a
// failed file retried, one file down and up with its own questions), each
// row run on pyftpdlib, vsftpd, proftpd and pure-ftpd, passive, and active
// where it costs little. The servers are those of the queue's own tests.

#include "MainWindowDriver.h"
#include "RealFtpServer.h"
#include "QueueTree.h"
#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using Kind = RealFtpServer::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

enum class Scenario {
    FolderDownload,
    FolderUpload,
    ConflictResume,
    FailedThenRetried,
    FileDownload,
    FileUpload,
};

const QString CrLf = QStringLiteral("\r\n");

} // namespace

class tst_window_queue_servers : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;

private slots:
    void initTestCase() { isolateWindowState(m_Settings.path()); }

    void scenarios_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<bool>("passive");
        const QList<QPair<const char*, Scenario>> rows = {
            {"folder download", Scenario::FolderDownload},
            {"folder upload", Scenario::FolderUpload},
            {"conflict resume", Scenario::ConflictResume},
            {"failed then retried", Scenario::FailedThenRetried},
            {"file download", Scenario::FileDownload},
            {"file upload", Scenario::FileUpload},
        };
        for (const Kind kind : {Kind::Pyftpdlib, Kind::Vsftpd, Kind::Proftpd, Kind::PureFtpd}) {
            const QByteArray server = RealFtpServer::kindName(kind).toUtf8();
            for (const auto& [name, scenario] : rows)
                QTest::addRow("%s %s", server.constData(), name) << kind << scenario << true;
            // pyftpdlib, active, beside another session, may leave a data
            // connection waiting until the time-out (see the queue's tests).
            if (kind != Kind::Pyftpdlib) {
                QTest::addRow("%s folder download, active", server.constData())
                    << kind << Scenario::FolderDownload << false;
                QTest::addRow("%s file upload, active", server.constData())
                    << kind << Scenario::FileUpload << false;
            }
        }
    }

    void scenarios() {
        QFETCH(Kind, kind);
        QFETCH(Scenario, scenario);
        QFETCH(bool, passive);
        const QString unavailable = RealFtpServer::unavailableReason(kind);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server(kind);
        QVERIFY2(server.start(), qPrintable(server.lastError()));
        const QString root = server.rootPath();
        const QString incoming = root + '/' + RealFtpServer::writableDir();
        QVERIFY(writeTree(root + "/tree"));
        const QByteArray file = TestUtil::patternBytes(200000);
        QVERIFY(TestUtil::writeFile(root + "/tree/one.bin", file));
        QTemporaryDir local;

        MainWindowDriver ui;
        ui.setPassive(passive);
        ui.connectTo(server.host() + ':' + QString::number(server.port()), server.userName(),
                     server.password());
        QVERIFY2(ui.listNames().contains("tree"), qPrintable(ui.shown()));
        ui.takeQuestions();

        switch (scenario) {
        case Scenario::FolderDownload:
        case Scenario::ConflictResume: {
            // In the way: the head of a file that is to come, and the user
            // answers Resume.
            const QString inTheWay = local.filePath("tree/sub/deep/d.bin");
            if (scenario == Scenario::ConflictResume) {
                QVERIFY(QDir().mkpath(QFileInfo(inTheWay).absolutePath()));
                QVERIFY(TestUtil::writeFile(inTheWay, TestUtil::patternBytes(70001).left(9000)));
                ui.prompts.choices << 1;
            }
            QVERIFY(ui.selectItem("tree"));
            ui.prompts.texts << local.path();
            ui.window.mnuDownload_Click();
            QVERIFY(ui.transfersDone(60000));
            QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());
            QCOMPARE(compareTrees(root + "/tree", local.filePath("tree")), QString());
            QCOMPARE(TestUtil::readFile(local.filePath("tree/one.bin")), file);
            QCOMPARE(ui.takeQuestions().filter("File already exists|").size(),
                     scenario == Scenario::ConflictResume ? 1 : 0);
            break;
        }
        case Scenario::FolderUpload: {
            QVERIFY(writeTree(local.filePath("up")));
            ui.clickNode('/' + RealFtpServer::writableDir() + '/');
            ui.prompts.texts << local.filePath("up");
            ui.window.mnuUploadFolder_Click();
            QVERIFY(ui.transfersDone(60000));
            QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());
            QTRY_COMPARE(compareTrees(local.filePath("up"), incoming + "/up"), QString());
            // Listed again once the queue was through.
            QTRY_VERIFY(ui.listNames().contains("up"));
            break;
        }
        case Scenario::FailedThenRetried: {
            // Gone from the server after it was listed: the file fails with
            // the server's reply; back in place, Retry brings it.
            ui.clickNode("/tree/");
            QVERIFY(ui.selectItem("one.bin"));
            QVERIFY(QFile::remove(root + "/tree/one.bin"));
            ui.prompts.texts << local.filePath("one.bin");
            ui.prompts.answers << Prompts::Ok;
            ui.window.mnuDownload_Click();
            QVERIFY(ui.transfersDone(60000));
            const QStringList asked = ui.takeQuestions();
            QCOMPARE(asked.size(), 2);
            QVERIFY2(asked[1].startsWith("|Error #") && asked[1].contains("Server response: 550"),
                     qPrintable(asked[1]));
            QCOMPARE(ui.queueRows(QueueModel::Failed).size(), 1);
            QVERIFY(TestUtil::writeFile(root + "/tree/one.bin", file));
            QVERIFY(ui.selectQueueRow(QueueModel::Failed, "/tree/one.bin"));
            ui.window.QueueRetry();
            QVERIFY(ui.transfersDone(60000));
            QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());
            QCOMPARE(TestUtil::readFile(local.filePath("one.bin")), file);
            break;
        }
        case Scenario::FileDownload: {
            // The save dialog, then the append question: only the tail comes
            // (the kept head, unlike the server's, shows it).
            ui.clickNode("/tree/");
            QVERIFY(ui.selectItem("one.bin"));
            const QString target = local.filePath("one.bin");
            const QByteArray head(5000, 'h');
            QVERIFY(TestUtil::writeFile(target, head));
            ui.prompts.texts << target;
            ui.prompts.answers << Prompts::Yes;
            ui.window.mnuDownload_Click();
            QVERIFY(ui.transfersDone(60000));
            const QStringList asked = ui.takeQuestions();
            QCOMPARE(asked.size(), 2);
            QVERIFY(asked[1].endsWith("Do you want to append lost data to existing file?" + CrLf +
                                      CrLf + "Note: If you choose No new file will be created."));
            QCOMPARE(TestUtil::readFile(target), head + file.mid(5000));
            QCOMPARE(ui.window.statusText(), QStringLiteral("Transfer completed."));
            break;
        }
        case Scenario::FileUpload: {
            const QString source = local.filePath("single.bin");
            QVERIFY(TestUtil::writeFile(source, file));
            ui.clickNode('/' + RealFtpServer::writableDir() + '/');
            ui.prompts.texts << source;
            ui.window.mnuUpload_Click();
            QVERIFY(ui.transfersDone(60000));
            QTRY_COMPARE(TestUtil::readFile(incoming + "/single.bin"), file);
            QTRY_VERIFY(ui.listNames().contains("single.bin"));
            // The remote copy cut short: Yes appends the rest.
            QVERIFY(TestUtil::writeFile(incoming + "/single.bin", file.left(7000)));
            ui.window.RefreshCurrentDirectory();
            ui.prompts.texts << source;
            ui.prompts.answers << Prompts::Yes;
            ui.window.mnuUpload_Click();
            QVERIFY(ui.transfersDone(60000));
            QVERIFY(ui.takeQuestions().filter("File already exists|").size() == 1);
            QTRY_COMPARE(TestUtil::readFile(incoming + "/single.bin"), file);
            QTRY_COMPARE(ui.window.lvListView->size(ui.rowOf("single.bin")), qint64(file.size()));
            break;
        }
        }
        QCOMPARE(ui.prompts.unanswered, 0);
        // The browsing session stood beside the queue all along.
        QCOMPARE(ui.window.sessionView(), frmMain::SessionView::Connected);
    }
};

QTEST_MAIN(tst_window_queue_servers)
#include "tst_window_queue_servers.moc"
