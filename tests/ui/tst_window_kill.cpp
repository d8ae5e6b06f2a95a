// The window's queue survives a kill: a window process (this binary again,
// as a child that drives the real main window with scripted prompts and a
// settings and queue folder of its own) downloads a folder from a real
// server and is killed (SIGKILL) in the middle; a second window offers the
// interrupted transfers, "Resume all" is answered, and every file arrives
// byte-exact with no finished file fetched again (the server's log counts
// the RETRs).

#include "MainWindowDriver.h"
#include "RealFtpServer.h"
#include "KilledRun.h"
#include "TestUtil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

namespace {

using Kind = RealFtpServer::Kind;

constexpr int Files = 40;
const char* const ChildVariable = "KRELLIN_WINDOW_KILL_CHILD";

QString fileName(int i) {
    return QStringLiteral("big/d%1/f%2.bin").arg(i % 4).arg(i);
}

// The child: KRELLIN_WINDOW_KILL_CHILD names its settings folder; the
// arguments are "first" or "again", the server's address, user, password
// and the local folder. "first" queues the folder and works until killed
// (bounded); "again" answers the restart offer with "Resume all", connects
// and waits for the queue. Exit 0 when all went as meant.
int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 7)
        return 2;
    isolateWindowState(qEnvironmentVariable(ChildVariable));
    const QString& mode = args[1];
    MainWindowDriver ui;
    ui.setPassive(true);
    if (mode == QLatin1String("again")) {
        ui.prompts.choices << 0;
        ui.window.offerInterruptedTransfers();
        if (ui.takeQuestions().filter(QStringLiteral("Interrupted transfers|")).size() != 1) {
            fprintf(stderr, "no restart offer\n");
            return 3;
        }
    }
    ui.connectTo(args[2], args[3], args[4]);
    if (mode == QLatin1String("first")) {
        if (!ui.selectItem(QStringLiteral("big")))
            return 4;
        ui.prompts.texts << args[5];
        ui.window.mnuDownload_Click();
        // Killed long before this.
        QTest::qWait(60000);
        return 5;
    }
    if (!ui.transfersDone(90000)) {
        fprintf(stderr, "the queue did not finish\n");
        return 6;
    }
    const QStringList failed = ui.queueRows(QueueModel::Failed);
    if (!failed.isEmpty()) {
        fprintf(stderr, "failed: %s\n", qPrintable(failed.join('\n')));
        return 7;
    }
    return 0;
}

} // namespace

class tst_window_kill : public QObject {
    Q_OBJECT

private slots:
    void killedWindowResumesWithoutRefetching_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("vsftpd") << int(Kind::Vsftpd);
        QTest::newRow("pyftpdlib") << int(Kind::Pyftpdlib);
    }

    void killedWindowResumesWithoutRefetching() {
        QFETCH(int, kind);
        const QString unavailable = RealFtpServer::unavailableReason(Kind(kind));
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server{Kind(kind)};
        QVERIFY2(server.start(), qPrintable(server.lastError()));
        for (int d = 0; d < 4; ++d)
            QVERIFY(QDir().mkpath(server.rootPath() + QStringLiteral("/big/d%1").arg(d)));
        for (int i = 0; i < Files; ++i)
            QVERIFY(TestUtil::writePatternFile(server.rootPath() + '/' + fileName(i),
                                               300000 + i * 1000));
        QTemporaryDir local;
        QTemporaryDir settings;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(ChildVariable, settings.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        const auto window = [&](const char* mode) {
            return QStringList{QString::fromLatin1(mode),
                               server.host() + ':' + QString::number(server.port()),
                               server.userName(),
                               server.password(),
                               local.path(),
                               "-"};
        };
        const QString self = QCoreApplication::applicationFilePath();

        QProcess first;
        first.setProcessEnvironment(env);
        first.start(self, window("first"));
        QVERIFY(first.waitForStarted());
        // Killed once a few files have arrived and others are on the way.
        const auto arrived = [&] {
            int n = 0;
            for (int i = 0; i < Files; ++i)
                n += QFileInfo(local.filePath(fileName(i))).size() > 0;
            return n;
        };
        QVERIFY(TestUtil::waitUntil(
            [&] { return arrived() >= 8 || first.state() == QProcess::NotRunning; }, 30000));
        QVERIFY2(first.state() == QProcess::Running,
                 qPrintable("the window ended before it could be killed: " +
                            QString::fromLocal8Bit(first.readAllStandardError())));
        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(5000));

        // What the store says was finished before the kill.
        const QStringList finished = finishedBeforeKill(settings.filePath("queue.sqlite"));
        QVERIFY2(!finished.isEmpty() && finished.size() < Files,
                 qPrintable(QString::number(finished.size())));

        QProcess again;
        again.setProcessEnvironment(env);
        again.start(self, window("again"));
        QVERIFY(again.waitForFinished(120000));
        QVERIFY2(again.exitCode() == 0, again.readAllStandardError().constData());
        for (int i = 0; i < Files; ++i)
            QCOMPARE(TestUtil::fileChecksum(local.filePath(fileName(i))),
                     TestUtil::fileChecksum(server.rootPath() + '/' + fileName(i)));
        const QString log = server.transcript();
        for (const QString& path : std::as_const(finished))
            QVERIFY2(log.count("RETR " + path) == 1, qPrintable(path + " fetched again"));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet(ChildVariable))
        return runWindow(argc, argv);
    QApplication app(argc, argv);
    tst_window_kill test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_kill.moc"
