// The main window against a real pyftpdlib server, in passive and active
// mode: connecting, browsing the tree and list, download and upload with
// their append and cancel questions, and the file management commands.

#include "MainWindowDriver.h"
#include "PaneDrops.h"
#include "PyFtpdServer.h"
#include "TestUtil.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

namespace {

const QString CrLf = QStringLiteral("\r\n");
constexpr qint64 DataSize = 300000;
const QString Umlaut = QStringLiteral("Gr\u00fc\u00dfe.txt");

QString appendQuestion(const QString& name, const QString& remote, qint64 local,
                       const QString& question) {
    return QStringLiteral("File already exists|File ") + name + QStringLiteral(" already exists!") +
           CrLf + QStringLiteral("Size of remote file - ") + remote + QStringLiteral(" bytes") +
           CrLf + QStringLiteral("Size of local file  - ") + QString::number(local) +
           QStringLiteral(" bytes") + CrLf + CrLf + question + CrLf + CrLf +
           QStringLiteral("Note: If you choose No new file will be created.");
}

} // namespace

class tst_e2e_pyftpd : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Local;
    PyFtpdServer m_Server;

    QString host() const {
        return m_Server.host() + QLatin1Char(':') + QString::number(m_Server.port());
    }
    QString remote(const QString& path) const { return m_Server.rootPath() + path; }
    QString local(const QString& name) const { return m_Local.filePath(name); }

    void connectAndOpenPub(MainWindowDriver& ui, bool passive) {
        ui.setPassive(passive);
        ui.connectTo(host());
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        ui.clickNode(QStringLiteral("/pub/"));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/pub/"));
        ui.takeQuestions();
    }

private slots:
    void initTestCase() {
        isolateWindowState(m_Settings.path());
        QVERIFY(m_Local.isValid());
        QVERIFY2(m_Server.start(), qPrintable(m_Server.lastError()));
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("pub/deep dir")));
        QVERIFY(root.mkpath(QStringLiteral("incoming")));
        QVERIFY(TestUtil::writePatternFile(remote(QStringLiteral("/pub/data.bin")), DataSize));
        QVERIFY(
            TestUtil::writeFile(remote(QStringLiteral("/pub/readme.txt")), QByteArray(1000, 'r')));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/pub/") + Umlaut), "Hallo\n"));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/pub/deep dir/inner.txt")), "in\n"));
    }

    void browse_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void browse() {
        QFETCH(bool, passive);
        MainWindowDriver ui;
        ui.setPassive(passive);
        ui.connectTo(host());
        QCOMPARE(ui.prompts.unanswered, 0);
        QCOMPARE(ui.window.Label1->text(), host() + QStringLiteral("/"));
        QTreeWidgetItem* root = ui.selectedNode();
        QVERIFY(root && root->isExpanded());
        QCOMPARE(root->data(0, frmMain::TreeImageRole).toInt(), 1);
        QCOMPARE(ui.childKeys(QStringLiteral("/")),
                 (QStringList{QStringLiteral("/incoming/"), QStringLiteral("/pub/")}));
        QTreeWidgetItem* pub = ui.window.findNode(QStringLiteral("/pub/"));
        QCOMPARE(pub->data(0, frmMain::TreeImageRole).toInt(), 2);
        QCOMPARE(pub->data(0, frmMain::TreeExpandedImageRole).toInt(), 3);
        QCOMPARE(ui.listNames(), (QStringList{QStringLiteral("incoming"), QStringLiteral("pub")}));
        QCOMPARE(ui.window.lvListView->icon(0), 3);

        // Node click, then a double-click into a directory with a blank.
        ui.clickNode(QStringLiteral("/pub/"));
        QVERIFY(ui.logged(QStringLiteral("CWD /pub")));
        QCOMPARE(ui.listNames(),
                 (QStringList{QStringLiteral("data.bin"), QStringLiteral("deep dir"), Umlaut,
                              QStringLiteral("readme.txt")}));
        const int data = ui.rowOf(QStringLiteral("data.bin"));
        QCOMPARE(ui.window.lvListView->size(data), qint64(DataSize));
        QCOMPARE(ui.window.lvListView->icon(data), 2);
        QCOMPARE(ui.window.lvListView->icon(ui.rowOf(QStringLiteral("readme.txt"))), 1);
        QVERIFY(ui.selectItem(QStringLiteral("deep dir")));
        ui.window.lvListView_DblClick();
        QCOMPARE(ui.selectedKey(), QStringLiteral("/pub/deep dir/"));
        QVERIFY(ui.logged(QStringLiteral("CWD /pub/deep dir")));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("inner.txt")});
        QCOMPARE(ui.window.Label1->text(), host() + QStringLiteral("/pub/deep dir"));
        // A double-click on a file asks where to save it (cancelled here).
        QVERIFY(ui.selectItem(QStringLiteral("inner.txt")));
        ui.window.lvListView_DblClick();
        QCOMPARE(ui.selectedKey(), QStringLiteral("/pub/deep dir/"));
        QCOMPARE(ui.prompts.asked.last().text, QStringLiteral("Download file and save as..."));
        ui.prompts.asked.removeLast();
        --ui.prompts.unanswered;

        // Up one level: the doubled slash goes to the server as it is.
        ui.window.tbToolBar_ButtonClick(QStringLiteral("UpLevel"));
        QVERIFY(ui.logged(QStringLiteral("CWD //pub")));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/pub/"));
        QVERIFY(ui.listNames().contains(QStringLiteral("readme.txt")));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("UpLevel"));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        // At the root the root stays selected and is listed again.
        ui.window.tbToolBar_ButtonClick(QStringLiteral("UpLevel"));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        QCOMPARE(ui.listNames(), (QStringList{QStringLiteral("incoming"), QStringLiteral("pub")}));

        // A directory gone from the server loses its node at the next
        // listing of its parent; Refresh keeps what was listed below the others.
        QVERIFY(QDir(m_Server.rootPath()).mkpath(QStringLiteral("gone")));
        ui.clickNode(QStringLiteral("/"));
        QVERIFY(ui.window.findNode(QStringLiteral("/gone/")));
        ui.clickNode(QStringLiteral("/"));
        QCOMPARE(ui.childKeys(QStringLiteral("/")).size(), 3); // no duplicates
        QVERIFY(QDir(m_Server.rootPath()).rmdir(QStringLiteral("gone")));
        ui.clickNode(QStringLiteral("/"));
        QVERIFY(!ui.window.findNode(QStringLiteral("/gone/")));
        QVERIFY(ui.window.findNode(QStringLiteral("/pub/deep dir/")));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Refresh"));
        QVERIFY(ui.window.findNode(QStringLiteral("/pub/deep dir/")));
        QCOMPARE(ui.takeQuestions().size(), 1);

        // Stop closes the session and empties both views.
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Stop"));
        QVERIFY(ui.logged(QStringLiteral("QUIT")));
        QCOMPARE(ui.window.tvTreeView->topLevelItemCount(), 0);
        QVERIFY(ui.listNames().isEmpty());
        QVERIFY(!ui.window.m_CurrentNode);
    }

    void namedUser() {
        MainWindowDriver ui;
        ui.connectTo(host(), QString::fromLatin1(PyFtpdServer::UserName),
                     QString::fromLatin1(PyFtpdServer::Password));
        QVERIFY(ui.logged(QStringLiteral("USER user")));
        QCOMPARE(ui.prompts.asked.size(), 1);
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        QVERIFY(ui.listNames().contains(QStringLiteral("pub")));
    }

    void download_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void download() {
        QFETCH(bool, passive);
        MainWindowDriver ui;
        connectAndOpenPub(ui, passive);
        const QString target =
            local(QStringLiteral("data ") + QString::number(passive) + QStringLiteral(".bin"));
        const QByteArray expected = TestUtil::fileChecksum(remote(QStringLiteral("/pub/data.bin")));

        // A new file, moved by the queue's connection while the session
        // stays free.
        QVERIFY(ui.selectItem(QStringLiteral("data.bin")));
        ui.prompts.texts << target;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Download"));
        QVERIFY(ui.window.commandEnabled(QStringLiteral("Refresh")));
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.takeQuestions().size(), 1);
        QCOMPARE(TestUtil::fileChecksum(target), expected);
        QCOMPARE(ui.window.statusText(), QStringLiteral("Transfer completed."));

        // A shorter local file: Yes appends the missing tail (the kept
        // head, unlike the server's, shows that only the tail came).
        const QByteArray head(1000, 'h');
        QVERIFY(TestUtil::writeFile(target, head));
        ui.prompts.texts << target;
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.takeQuestions().value(1),
                 appendQuestion(target, QString::number(DataSize), 1000,
                                QStringLiteral("Do you want to append lost data to existing "
                                               "file?")));
        QCOMPARE(TestUtil::readFile(target), head + TestUtil::patternBytes(DataSize).mid(1000));

        // A longer local file: Yes cancels and keeps it; No downloads anew.
        const QByteArray longer(DataSize + 10, 'x');
        QVERIFY(TestUtil::writeFile(target, longer));
        ui.prompts.texts << target;
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.takeQuestions().value(1),
                 appendQuestion(target, QString::number(DataSize), DataSize + 10,
                                QStringLiteral("Do you want to cancel download?")));
        QCOMPARE(TestUtil::readFile(target), longer);
        ui.prompts.texts << target;
        ui.prompts.answers << Prompts::No;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        QCOMPARE(TestUtil::fileChecksum(target), expected);
        QCOMPARE(ui.prompts.unanswered, 0);
        // No second question from the queue for any of them.
        QCOMPARE(ui.takeQuestions().filter(QStringLiteral("What should be done")), QStringList());

        // A name with non-ASCII letters, in ASCII type (the server may turn
        // its line ends into CR LF; the client adds nothing).
        ui.window.Option1[0]->setChecked(true);
        QVERIFY(ui.selectItem(Umlaut));
        const QString text = local(QString::number(passive) + Umlaut);
        ui.prompts.texts << text;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.transfersDone());
        // The save dialog opened where the last download went.
        QCOMPARE(ui.prompts.asked.last().value, local(Umlaut));
        QVERIFY(TestUtil::readFile(text).startsWith("Hallo"));
        QCOMPARE(ui.prompts.unanswered, 0);
    }

    void upload_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void upload() {
        QFETCH(bool, passive);
        MainWindowDriver ui;
        ui.setPassive(passive);
        ui.connectTo(host());
        ui.clickNode(QStringLiteral("/incoming/"));
        ui.takeQuestions();
        const QString name = QStringLiteral("up load \u00e4 %1.bin").arg(passive);
        const QString source = local(name);
        const QByteArray bytes = TestUtil::patternBytes(100000);
        QVERIFY(TestUtil::writeFile(source, bytes));

        // New: uploaded under the local file's own name, then listed.
        ui.prompts.texts << source;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Upload"));
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.takeQuestions().size(), 1);
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/incoming/") + name)), bytes);
        QVERIFY(ui.listNames().contains(name));

        // The remote copy is shorter: Yes appends from its size.
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/incoming/") + name), bytes.left(4000)));
        ui.window.RefreshCurrentDirectory();
        ui.prompts.texts << source;
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuUpload_Click();
        QVERIFY(ui.transfersDone());
        QCOMPARE(ui.takeQuestions().value(1),
                 appendQuestion(name, frmMain::FormatFileSize(4000), 100000,
                                QStringLiteral("Do you want to append lost data to existing "
                                               "file?")));
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/incoming/") + name)), bytes);
        QCOMPARE(ui.window.lvListView->size(ui.rowOf(name)), qint64(100000));

        // The remote copy is as long: Yes cancels, nothing is sent.
        const int items = ui.queue()->count();
        ui.prompts.texts << source;
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuUpload_Click();
        QVERIFY(ui.transfersDone());
        QVERIFY(
            ui.takeQuestions().value(1).contains(QStringLiteral("Do you want to cancel upload?")));
        QCOMPARE(ui.queue()->count(), items);

        // Anonymous may not write outside incoming: the server's reply shows.
        ui.clickNode(QStringLiteral("/"));
        ui.prompts.texts << source;
        ui.window.mnuUpload_Click();
        QVERIFY(ui.transfersDone());
        const QStringList refused = ui.takeQuestions();
        QCOMPARE(refused.size(), 2);
        QVERIFY2(refused[1].startsWith(QStringLiteral("Can't upload file|Can't upload file.") +
                                       CrLf + CrLf + QStringLiteral("Server response: 550")),
                 qPrintable(refused[1]));
    }

    // Drops on the real views: local files and a folder tree uploaded where
    // they land, a remote entry moved to a folder of the tree, and drops that
    // must be refused.
    void drops() {
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(host(), QString::fromLatin1(PyFtpdServer::UserName),
                     QString::fromLatin1(PyFtpdServer::Password));
        QVERIFY(QDir(m_Server.rootPath()).mkpath(QStringLiteral("drop/target")));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/drop/moved.txt")), "m"));
        ui.window.RefreshCurrentDirectory();
        ui.clickNode(QStringLiteral("/drop/"));
        ui.takeQuestions();
        QVERIFY(QDir(local({})).mkpath(QStringLiteral("tree/sub")));
        const QByteArray bytes = TestUtil::patternBytes(70000);
        QVERIFY(TestUtil::writeFile(local(QStringLiteral("tree/a.bin")), bytes));
        QVERIFY(TestUtil::writeFile(local(QStringLiteral("tree/sub/b.txt")), "b"));
        QVERIFY(TestUtil::writeFile(local(QStringLiteral("single.txt")), "s"));

        QWidget* list = ui.window.lvListView->detailsView()->viewport();
        QWidget* tree = ui.window.tvTreeView->viewport();
        const QPoint listEmpty = list->rect().bottomRight() - QPoint(4, 4);
        const QPoint target =
            ui.window.tvTreeView
                ->visualItemRect(ui.window.findNode(QStringLiteral("/drop/target/")))
                .center();
        auto urls = [](const QList<QUrl>& list) {
            auto* data = new QMimeData;
            data->setUrls(list);
            return data;
        };
        // Enter, then drop: what the view said of each.
        auto drop = [](QWidget* viewport, const QPoint& at, QMimeData* data) {
            std::unique_ptr<QMimeData> owned(data);
            const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
            QDragEnterEvent enter(at, actions, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &enter);
            QDropEvent dropped(QPointF(at), actions, data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(viewport, &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        // Dropped files go to the queue; the list follows once it is through:
        // its connections gone, the listing it then posts has run with the
        // next events, and the session is free. A drop's command that came
        // during that listing would find the session busy.
        auto settled = [&] {
            if (!ui.queueIdle() || !QTest::qWaitFor([&] { return ui.queue()->connections() == 0; }))
                return false;
            QCoreApplication::processEvents();
            return QTest::qWaitFor([&] { return !ui.window.working(); }, 20000);
        };

        QVERIFY(drop(list, listEmpty,
                     urls({QUrl::fromLocalFile(local(QStringLiteral("tree"))),
                           QUrl::fromLocalFile(local(QStringLiteral("single.txt")))})));
        QTRY_COMPARE_WITH_TIMEOUT(TestUtil::readFile(remote(QStringLiteral("/drop/single.txt"))),
                                  QByteArray("s"), 20000);
        QVERIFY(settled());
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/drop/tree/a.bin"))), bytes);
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/drop/tree/sub/b.txt"))),
                 QByteArray("b"));
        QTRY_VERIFY_WITH_TIMEOUT(ui.listNames().contains(QStringLiteral("tree")), 20000);
        QCOMPARE(ui.takeQuestions(), QStringList());

        // The folder again: its files exist; Skip for all asks once and
        // leaves them as they are.
        QVERIFY(TestUtil::writeFile(local(QStringLiteral("tree/a.bin")), "changed"));
        ui.prompts.choices << 2;
        ui.prompts.checks << true;
        QVERIFY(drop(list, listEmpty, urls({QUrl::fromLocalFile(local(QStringLiteral("tree")))})));
        QTRY_COMPARE_WITH_TIMEOUT(ui.prompts.asked.size(), 1, 20000);
        QVERIFY(settled());
        QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(QStringLiteral("File already exists|")), qPrintable(asked[0]));
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/drop/tree/a.bin"))), bytes);

        // On the icons as well; the next drop is asked afresh.
        ui.window.lvListView->setViewMode(FileListView::LargeIcons);
        QWidget* icons = ui.window.lvListView->iconView()->viewport();
        ui.prompts.choices << 2;
        QVERIFY(drop(icons, icons->rect().bottomRight() - QPoint(4, 4),
                     urls({QUrl::fromLocalFile(local(QStringLiteral("single.txt")))})));
        QTRY_COMPARE_WITH_TIMEOUT(ui.prompts.asked.size(), 1, 20000);
        QVERIFY(settled());
        asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked[0].contains(QStringLiteral("/drop/single.txt already exists")));
        ui.window.lvListView->setViewMode(FileListView::Details);

        // A drag out of the list onto a folder of the tree: one question, then RNFR/RNTO.
        ui.prompts.answers << Prompts::Yes;
        QVERIFY(drop(
            tree, target,
            PaneDrops::remoteEntries(QStringLiteral("/drop/"), {QStringLiteral("moved.txt")})));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(remote(QStringLiteral("/drop/target/moved.txt"))),
                                 20000);
        QVERIFY(settled());
        QVERIFY(!QFile::exists(remote(QStringLiteral("/drop/moved.txt"))));
        QVERIFY(!ui.listNames().contains(QStringLiteral("moved.txt")));
        QCOMPARE(ui.takeQuestions().size(), 1);

        // Refused: back onto its own folder, a name that climbs, a link that
        // is not a local file, and anything while the session is closed.
        QVERIFY(!drop(
            list, listEmpty,
            PaneDrops::remoteEntries(QStringLiteral("/drop/"), {QStringLiteral("single.txt")})));
        QVERIFY(!drop(
            tree, target,
            PaneDrops::remoteEntries(QStringLiteral("/drop/"), {QStringLiteral("../single.txt")})));
        QVERIFY(!drop(list, listEmpty, urls({QUrl(QStringLiteral("http://127.0.0.1/x"))})));
        ui.window.mnuFileClose_Click();
        QVERIFY(!drop(list, listEmpty,
                      urls({QUrl::fromLocalFile(local(QStringLiteral("single.txt")))})));
        QCOMPARE(ui.takeQuestions(), QStringList());
    }

    // A folder down and up again through the queue's own connection: the
    // browsing session lists and creates folders while a file moves, the
    // pane shows the Done rows, conflicts are answered through the prompts.
    void queueFolders() {
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(host(), QString::fromLatin1(PyFtpdServer::UserName),
                     QString::fromLatin1(PyFtpdServer::Password));
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("q/tree/sub")));
        QVERIFY(root.mkpath(QStringLiteral("q/tree/empty")));
        const QByteArray big = TestUtil::patternBytes(8 << 20);
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/q/tree/big.bin")), big));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/q/tree/sub/b.txt")), "bb"));
        ui.window.RefreshCurrentDirectory();
        ui.clickNode(QStringLiteral("/q/"));
        QVERIFY(ui.selectItem(QStringLiteral("tree")));
        QVERIFY(QDir(local({})).mkpath(QStringLiteral("down")));
        ui.prompts.texts << local(QStringLiteral("down"));

        // While the big file is on its way, the browsing session works.
        bool browsed = false;
        QMetaObject::Connection during;
        ui.window.mnuDownload_Click();
        QVERIFY(ui.queue());
        during = connect(ui.queue(), &TransferQueue::itemChanged, this, [&](int row) {
            const QueueItem& item = ui.queue()->at(row);
            if (browsed || item.state != QueueItem::State::Active ||
                !item.remotePath.endsWith(QLatin1String("big.bin")))
                return;
            browsed = true;
            QObject::disconnect(during);
            ui.window.RefreshCurrentDirectory();
            QVERIFY(ui.engine()->CreateDirectory(QStringLiteral("/q/made while moving")));
            // The status bar sums the queue up while it works.
            ui.window.transfers()->model()->refresh();
            QVERIFY2(ui.window.queueTotalsText().startsWith(QStringLiteral("Queue: ")),
                     qPrintable(ui.window.queueTotalsText()));
        });
        QVERIFY(ui.queueIdle());
        QVERIFY(browsed);
        ui.window.transfers()->model()->refresh();
        QCOMPARE(ui.window.queueTotalsText(), QString());
        QVERIFY(QDir(remote(QStringLiteral("/q/made while moving"))).exists());
        QCOMPARE(TestUtil::readFile(local(QStringLiteral("down/tree/big.bin"))), big);
        QCOMPARE(TestUtil::readFile(local(QStringLiteral("down/tree/sub/b.txt"))),
                 QByteArray("bb"));
        QVERIFY(QDir(local(QStringLiteral("down/tree/empty"))).exists());
        const QStringList done = ui.queueRows(QueueModel::Done);
        QVERIFY2(done.contains(QStringLiteral("Download|/q/tree/sub/b.txt|Done")),
                 qPrintable(done.join('\n')));
        QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());

        // The pane's menu: a file gone from the server fails; back in place,
        // Retry fetches it; its folder opens through the desktop hook; Remove
        // takes the row away.
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/q/gone.txt")), "g"));
        ui.window.RefreshCurrentDirectory();
        QVERIFY(ui.selectItem(QStringLiteral("gone.txt")));
        QVERIFY(ui.window.lvListView->selectKey(QStringLiteral("Fmade while moving"), true));
        QVERIFY(QFile::remove(remote(QStringLiteral("/q/gone.txt"))));
        ui.prompts.texts << local(QStringLiteral("down"));
        ui.window.mnuDownload_Click();
        QVERIFY(ui.queueIdle());
        QVERIFY(ui.selectQueueRow(QueueModel::Failed, QStringLiteral("/q/gone.txt")));
        QMenu* menu = ui.window.contextMenu(frmMain::InQueue);
        QStringList keys;
        for (QAction* action : menu->actions())
            keys << (action->isSeparator() ? QStringLiteral("-") : action->data().toString());
        delete menu;
        QCOMPARE(keys, (QStringList{"QueueStop", "QueueStopAll", "QueueRetry", "QueueRemove", "-",
                                    "QueueOpenFolder"}));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/q/gone.txt")), "g"));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("QueueRetry"));
        QVERIFY(ui.queueIdle());
        QCOMPARE(TestUtil::readFile(local(QStringLiteral("down/gone.txt"))), QByteArray("g"));
        QString opened;
        ui.window.setShellOpenDocument([&opened](const QString& path) {
            opened = path;
            return true;
        });
        QVERIFY(ui.selectQueueRow(QueueModel::Done, QStringLiteral("/q/gone.txt")));
        ui.window.tbToolBar_ButtonClick(QStringLiteral("QueueOpenFolder"));
        QCOMPARE(opened, QDir(local(QStringLiteral("down"))).absolutePath());
        ui.window.tbToolBar_ButtonClick(QStringLiteral("QueueRemove"));
        QVERIFY(ui.queueRows(QueueModel::Done).filter(QStringLiteral("/q/gone.txt")).isEmpty());

        // Up again under another name; then a second time, where the files
        // exist: each answer of the table, asked once for all.
        QVERIFY(QDir(local(QStringLiteral("down/tree")))
                    .rename(local(QStringLiteral("down/tree")), local(QStringLiteral("down/up"))));
        const struct {
            int choice;               // -1: no conflict, nothing asked
            QByteArray local, remote; // sub/b.txt before and on the server after
        } rounds[] = {{-1, "bb", "bb"},
                      {2 /* Skip */, "bbb", "bb"},
                      {5 /* Overwrite if size differs */, "bbb", "bbb"},
                      {0 /* Overwrite */, "ccc", "ccc"}};
        for (const auto& round : rounds) {
            QVERIFY(TestUtil::writeFile(local(QStringLiteral("down/up/sub/b.txt")), round.local));
            if (round.choice >= 0) {
                ui.prompts.choices << round.choice;
                ui.prompts.checks << true;
            }
            ui.takeQuestions();
            ui.prompts.texts << local(QStringLiteral("down/up"));
            ui.window.mnuUploadFolder_Click();
            QVERIFY(ui.queueIdle());
            // The folder dialog, and one conflict question for all.
            QCOMPARE(ui.takeQuestions().size(), round.choice < 0 ? 1 : 2);
            QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/q/up/big.bin"))), big);
            QVERIFY2(TestUtil::readFile(remote(QStringLiteral("/q/up/sub/b.txt"))) == round.remote,
                     qPrintable((ui.queueRows(QueueModel::Done) + ui.queueRows(QueueModel::Failed))
                                    .join('\n')));
        }
        QVERIFY(QDir(remote(QStringLiteral("/q/up/empty"))).exists());
        QCOMPARE(ui.prompts.unanswered, 0);
    }

    // The window's queue outlives its window: one that ends with files
    // still to fetch leaves them in the store, and the next window offers
    // them; "Resume all" fetches them once connected, byte-exact.
    void queueRestartOffer() {
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("again/set")));
        QList<QByteArray> files;
        for (int i = 0; i < 12; ++i) {
            files << TestUtil::patternBytes((1 << 20) + i);
            QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/again/set/f%1.bin").arg(i)),
                                        files.last()));
        }
        QVERIFY(QDir(local({})).mkpath(QStringLiteral("again")));
        QSettings().setValue(QStringLiteral("Transfers/Workers"), 1);
        const QString user = QString::fromLatin1(PyFtpdServer::UserName);
        const QString password = QString::fromLatin1(PyFtpdServer::Password);
        {
            MainWindowDriver ui;
            ui.setPassive(true);
            ui.connectTo(host(), user, password);
            ui.clickNode(QStringLiteral("/again/"));
            QVERIFY(ui.selectItem(QStringLiteral("set")));
            ui.prompts.texts << local(QStringLiteral("again"));
            ui.window.mnuDownload_Click();
            // The window goes while the queue is in the middle of the folder,
            // without the queue hearing back from its connection: as after a
            // kill, the store holds an item still active.
            TransferQueue* queue = ui.queue();
            QVERIFY(QTest::qWaitFor([&] { return queue->totals().done >= 1; }, 20000));
            QVERIFY(queue->totals().done < 12);
        }
        QSettings().setValue(QStringLiteral("Transfers/Workers"), 2);
        MainWindowDriver ui;
        ui.prompts.choices << 0;
        ui.window.offerInterruptedTransfers();
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(QStringLiteral("Interrupted transfers|")),
                 qPrintable(asked[0]));
        ui.setPassive(true);
        ui.connectTo(host(), user, password);
        QVERIFY(ui.queueIdle());
        for (int i = 0; i < 12; ++i)
            QCOMPARE(TestUtil::readFile(local(QStringLiteral("again/set/f%1.bin").arg(i))),
                     files[i]);
        QCOMPARE(ui.queueRows(QueueModel::Failed), QStringList());
        // Nothing is offered a third time.
        MainWindowDriver third;
        third.window.offerInterruptedTransfers();
        QCOMPARE(third.takeQuestions(), QStringList());

        // A queue file that cannot be made: the log says so, the queue works in memory.
        frmMain::setQueueStorePath(QStringLiteral("/proc/no such folder/queue.sqlite"));
        MainWindowDriver unkept;
        frmMain::setQueueStorePath(m_Settings.filePath(QStringLiteral("queue.sqlite")));
        QVERIFY(unkept.window.logText().contains(QStringLiteral("cannot be kept on disk")));
        QVERIFY(unkept.window.transfers()->store().isOpen());
    }

    void manageFiles() {
        MainWindowDriver ui;
        ui.setPassive(true);
        ui.connectTo(host(), QString::fromLatin1(PyFtpdServer::UserName),
                     QString::fromLatin1(PyFtpdServer::Password));
        QVERIFY(QDir(m_Server.rootPath()).mkpath(QStringLiteral("work/old dir")));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/work/a.txt")), "a"));
        ui.window.RefreshCurrentDirectory();
        ui.clickNode(QStringLiteral("/work/"));
        ui.takeQuestions();

        // Create: the listing is rebuilt and the new directory gets a node.
        ui.prompts.texts << QStringLiteral("new dir");
        ui.window.mnuCreateDir_Click();
        QVERIFY(QFileInfo(remote(QStringLiteral("/work/new dir"))).isDir());
        QVERIFY(ui.window.findNode(QStringLiteral("/work/new dir/")));
        QVERIFY(ui.listNames().contains(QStringLiteral("new dir")));

        // Rename the file.
        QVERIFY(ui.selectItem(QStringLiteral("a.txt")));
        ui.prompts.texts << QStringLiteral("b.txt");
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Rename"));
        QVERIFY(QFile::exists(remote(QStringLiteral("/work/b.txt"))));
        QVERIFY(ui.listNames().contains(QStringLiteral("b.txt")));

        // Delete the file, then the directory item (by its absolute path).
        QVERIFY(ui.selectItem(QStringLiteral("b.txt")));
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDelete_Click();
        QVERIFY(ui.logged(QStringLiteral("DELE /work/b.txt")));
        QVERIFY(!QFile::exists(remote(QStringLiteral("/work/b.txt"))));
        QVERIFY(ui.selectItem(QStringLiteral("old dir")));
        ui.prompts.answers << Prompts::Yes;
        ui.window.tbToolBar_ButtonClick(QStringLiteral("Delete"));
        QVERIFY(ui.logged(QStringLiteral("RMD /work/old dir")));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("new dir")});
        QStringList asked = ui.takeQuestions();
        QVERIFY(asked.contains(
            QStringLiteral("Delete file|Do you really want to remove directory /work/old dir?")));

        // Remove the directory selected in the tree: its parent is selected,
        // its children rebuilt from one listing.
        ui.clickNode(QStringLiteral("/work/new dir/"));
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuRemoveDir_Click();
        QVERIFY(ui.logged(QStringLiteral("RMD /work/new dir/")));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/work/"));
        QVERIFY(ui.childKeys(QStringLiteral("/work/")).isEmpty());
        QVERIFY(ui.listNames().isEmpty());
        asked = ui.takeQuestions();
        QCOMPARE(asked, QStringList{QStringLiteral(
                            "Remove Directory|Do you really want to remove directory: new dir")});
        // The root is never removed, nor asked about.
        ui.clickNode(QStringLiteral("/"));
        ui.window.mnuRemoveDir_Click();
        QVERIFY(ui.takeQuestions().isEmpty());
    }
};

QTEST_MAIN(tst_e2e_pyftpd)
#include "tst_e2e_pyftpd.moc"
