// The window's transfer queue over TLS on vsftpd: the certificate the user
// trusted for this session only is the one the queue's own connections
// accept, and a folder comes down through them byte-exact, in passive and
// active mode.

#include "MainWindowDriver.h"
#include "RealFtpServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class tst_window_queue_tls : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Local;

private slots:
    void initTestCase() {
        isolateWindowState(m_Settings.path());
        QVERIFY(m_Local.isValid());
    }

    void folderThroughTrustedSession_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }

    void folderThroughTrustedSession() {
        QFETCH(bool, passive);
        RealFtpServer::Options options;
        options.tls = RealFtpServer::Tls::Explicit;
        options.tlsRequired = true;
        RealFtpServer server(RealFtpServer::Kind::Vsftpd, options);
        if (!server.start())
            QSKIP(qPrintable(QStringLiteral("vsftpd: ") + server.lastError()));
        QDir root(server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("tree/sub")));
        const QByteArray bytes = TestUtil::patternBytes(400000);
        QVERIFY(TestUtil::writeFile(server.rootPath() + QStringLiteral("/tree/a.bin"), bytes));
        QVERIFY(TestUtil::writeFile(server.rootPath() + QStringLiteral("/tree/sub/b.txt"), "b"));

        MainWindowDriver ui;
        ui.encryption = FtpSecurity::Mode::ExplicitRequired;
        ui.allowPlain = false;
        ui.setPassive(passive);
        ui.prompts.answers << Prompts::No; // trust the certificate for this session only
        ui.connectTo(server.host() + QLatin1Char(':') + QString::number(server.port()),
                     server.userName(), server.password());
        QVERIFY2(ui.window.padlockShown(), qPrintable(ui.shown()));
        QVERIFY2(ui.selectItem(QStringLiteral("tree")), qPrintable(ui.listNames().join(',')));
        const QString into = m_Local.filePath(passive ? "p" : "a");
        QVERIFY(QDir().mkpath(into));
        ui.prompts.texts << into;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.queueIdle());
        QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());
        QCOMPARE(TestUtil::readFile(into + QStringLiteral("/tree/a.bin")), bytes);
        QCOMPARE(TestUtil::readFile(into + QStringLiteral("/tree/sub/b.txt")), QByteArray("b"));
        // The only question was the browsing session's certificate.
        QCOMPARE(ui.takeQuestions().filter(QStringLiteral("certificate")).size(), 1);
    }
};

QTEST_MAIN(tst_window_queue_tls)
#include "tst_window_queue_tls.moc"
