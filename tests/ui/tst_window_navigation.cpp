// The main window on a real pyftpdlib server, driven the way a user drives
// it: keys in the tree and the list, context menus, several items at once.
// Every command must act on the folder the list shows, and the tree must
// stay true after renames, deletes and removals.

#include "MainWindowDriver.h"
#include "PyFtpdServer.h"
#include "TestUtil.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>

namespace {

QString actionKey(const QAction* action) {
    return action->isSeparator() ? QStringLiteral("-") : action->data().toString();
}

} // namespace

class tst_window_navigation : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Local;
    PyFtpdServer m_Server;

    QString host() const {
        return m_Server.host() + QLatin1Char(':') + QString::number(m_Server.port());
    }
    QString remote(const QString& path) const { return m_Server.rootPath() + path; }

    // A shown window logged in with write rights, in passive mode.
    void open(MainWindowDriver& ui) {
        ui.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ui.window));
        ui.setPassive(true);
        ui.connectTo(host(), QString::fromLatin1(PyFtpdServer::UserName),
                     QString::fromLatin1(PyFtpdServer::Password));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/"));
        ui.takeQuestions();
    }
    // Presses a key in the tree or in the list as the user would.
    static void press(MainWindowDriver& ui, frmMain::Place place, Qt::Key key) {
        QWidget* target = place == frmMain::InTree
                              ? static_cast<QWidget*>(ui.window.tvTreeView)
                              : static_cast<QWidget*>(ui.window.lvListView->detailsView());
        target->setFocus();
        QTest::keyClick(target, key);
    }

private slots:
    void initTestCase() {
        isolateWindowState(m_Settings.path());
        QVERIFY(m_Local.isValid());
        QVERIFY2(m_Server.start(), qPrintable(m_Server.lastError()));
    }

    // With /a listed, the arrow key moves the tree's selection to /b; a
    // Delete in the list before /b is listed deletes /a/x.txt, the file the
    // list shows, and /b is listed once the selection rests.
    void keyboardThenDelete() {
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("kbd/a")) && root.mkpath(QStringLiteral("kbd/b")));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/kbd/a/x.txt")), "in a"));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/kbd/b/x.txt")), "in b"));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/kbd/"));
        ui.clickNode(QStringLiteral("/kbd/a/"));
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/kbd/a/"));

        // The arrow key that leads from a to b in the order the tree shows.
        QTreeWidgetItem* a = ui.window.findNode(QStringLiteral("/kbd/a/"));
        QTreeWidgetItem* b = ui.window.findNode(QStringLiteral("/kbd/b/"));
        const Qt::Key toB = ui.window.tvTreeView->itemBelow(a) == b ? Qt::Key_Down : Qt::Key_Up;
        press(ui, frmMain::InTree, toB);
        QCOMPARE(ui.selectedKey(), QStringLiteral("/kbd/b/"));
        // Not yet listed: the selection has not rested.
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/kbd/a/"));

        QVERIFY(ui.selectItem(QStringLiteral("x.txt")));
        ui.prompts.answers << Prompts::Yes;
        press(ui, frmMain::InList, Qt::Key_Delete);
        QCOMPARE(ui.takeQuestions(),
                 QStringList{QStringLiteral(
                     "Delete file|Do you really want to delete file /kbd/a/x.txt?")});
        QVERIFY(ui.logged(QStringLiteral("DELE /kbd/a/x.txt")));
        QVERIFY(!QFile::exists(remote(QStringLiteral("/kbd/a/x.txt"))));
        QCOMPARE(TestUtil::readFile(remote(QStringLiteral("/kbd/b/x.txt"))), QByteArray("in b"));
        // The re-listing after the delete is that of /a, whatever the tree shows.
        QVERIFY(ui.listNames().isEmpty());

        // Once the selection rests, b is listed and its title shown.
        QVERIFY(TestUtil::waitUntil(
            [&] { return ui.window.listedKey() == QLatin1String("/kbd/b/"); }, 5000));
        QCOMPARE(ui.listNames(), QStringList{QStringLiteral("x.txt")});
        QCOMPARE(ui.window.Label1->text(), host() + QStringLiteral("/kbd/b"));
        QVERIFY(ui.prompts.asked.isEmpty());
    }

    // A folder that cannot be opened (gone, or a link to nowhere) is never a
    // silent failure: the user is told why and the selection goes back to
    // the folder the list shows, whose listing stays.
    void failedOpenRestoresSelection_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("link");
        QTest::newRow("removed on the server") << "vanishing" << false;
        QTest::newRow("broken link") << "broken" << true;
    }
    void failedOpenRestoresSelection() {
        QFETCH(QString, name);
        QFETCH(bool, link);
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("fail")));
        if (link)
            QVERIFY(QFile::link(QStringLiteral("/nonexistent-krellin-target"),
                                remote(QStringLiteral("/fail/") + name)));
        else
            QVERIFY(root.mkpath(QStringLiteral("fail/") + name));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/fail/"));
        const QString key = QStringLiteral("/fail/") + name + QLatin1Char('/');
        if (link) {
            // pyftpdlib offers MLST, so the window lists by MLSD, whose facts
            // come from following each link: a link to nowhere is left out,
            // and there is nothing to open.
            QVERIFY2(!ui.window.findNode(key),
                     qPrintable(ui.childKeys(QStringLiteral("/fail/")).join(',')));
            QVERIFY(ui.logged(QStringLiteral("MLSD")));
            return;
        }
        QVERIFY2(ui.window.findNode(key),
                 qPrintable(ui.childKeys(QStringLiteral("/fail/")).join(',')));
        if (!link)
            QVERIFY(root.rmdir(QStringLiteral("fail/") + name));
        ui.clickNode(key);
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(QStringLiteral("Can't open directory|Can't open directory ")),
                 qPrintable(asked[0]));
        QVERIFY2(asked[0].contains(QStringLiteral("Server response: 550")), qPrintable(asked[0]));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/fail/"));
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/fail/"));
        QCOMPARE(ui.listNames(), QStringList{name});
        if (link)
            QVERIFY(QFile::remove(remote(QStringLiteral("/fail/") + name)));
    }

    // Rename, delete and remove keep the tree's nodes true without a Refresh;
    // the tree is in the list's order (by name, ignoring case) whatever
    // order the server lists in, and a renamed folder and a Refresh keep
    // the folders listed below.
    void treeFollowsChanges() {
        QDir root(m_Server.rootPath());
        for (const char* path :
             {"tree/old/inner", "tree/doomed", "tree/removed", "tree/Zeta", "tree/alpha"})
            QVERIFY(root.mkpath(QLatin1String(path)));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/tree/"));
        auto children = [&ui] {
            return ui.childKeys(QStringLiteral("/tree/")).join(QLatin1Char(' '));
        };
        QCOMPARE(children(), QStringLiteral("/tree/alpha/ /tree/doomed/ /tree/old/ "
                                            "/tree/removed/ /tree/Zeta/"));
        ui.clickNode(QStringLiteral("/tree/old/"));
        QVERIFY(ui.window.findNode(QStringLiteral("/tree/old/inner/")));
        ui.clickNode(QStringLiteral("/tree/"));
        press(ui, frmMain::InTree, Qt::Key_F5);
        QVERIFY(ui.window.findNode(QStringLiteral("/tree/old/inner/")));

        // Renamed: the node takes the new name and its place, with its subtree.
        QVERIFY(ui.selectItem(QStringLiteral("old")));
        ui.prompts.texts << QStringLiteral("beta");
        press(ui, frmMain::InList, Qt::Key_F2);
        QCOMPARE(ui.prompts.asked.value(0).value, QStringLiteral("old"));
        QVERIFY(ui.logged(QStringLiteral("RNTO beta")));
        QVERIFY(!ui.window.findNode(QStringLiteral("/tree/old/")));
        QVERIFY(!ui.window.findNode(QStringLiteral("/tree/old/inner/")));
        QVERIFY(ui.window.findNode(QStringLiteral("/tree/beta/inner/")));
        QCOMPARE(children(), QStringLiteral("/tree/alpha/ /tree/beta/ /tree/doomed/ "
                                            "/tree/removed/ /tree/Zeta/"));

        // Deleted from the list.
        QVERIFY(ui.selectItem(QStringLiteral("doomed")));
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDelete_Click();
        QVERIFY(!ui.window.findNode(QStringLiteral("/tree/doomed/")));
        QVERIFY(!QFileInfo::exists(remote(QStringLiteral("/tree/doomed"))));

        // Removed from the tree with its Delete key: the parent is listed.
        ui.clickNode(QStringLiteral("/tree/removed/"));
        ui.prompts.answers << Prompts::Yes;
        press(ui, frmMain::InTree, Qt::Key_Delete);
        QVERIFY(!ui.window.findNode(QStringLiteral("/tree/removed/")));
        QCOMPARE(ui.selectedKey(), QStringLiteral("/tree/"));
        QCOMPARE(ui.window.listedKey(), QStringLiteral("/tree/"));
        QCOMPARE(children(), QStringLiteral("/tree/alpha/ /tree/beta/ /tree/Zeta/"));
        QCOMPARE(ui.listNames(), (QStringList{"alpha", "beta", "Zeta"}));
        QVERIFY(ui.window.findNode(QStringLiteral("/tree/beta/inner/")));
        QCOMPARE(ui.takeQuestions().size(), 3);
    }

    // Each key runs its command where it belongs: the list's keys act on the
    // list's selection, the tree's on the tree's.
    void keys_data() {
        QTest::addColumn<int>("place");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("question"); // empty: none
        QTest::addColumn<QString>("listed");   // the folder listed afterwards
        QTest::addColumn<QString>("logged");   // a command the key sent
        QTest::newRow("Enter opens a folder")
            << int(frmMain::InList) << int(Qt::Key_Return) << "sub"
            << ""
            << "/keys/sub/"
            << "CWD /keys/sub";
        QTest::newRow("keypad Enter too") << int(frmMain::InList) << int(Qt::Key_Enter) << "sub"
                                          << ""
                                          << "/keys/sub/"
                                          << "CWD /keys/sub";
        QTest::newRow("Enter downloads a file")
            << int(frmMain::InList) << int(Qt::Key_Return) << "f.txt"
            << "Download file and save as..."
            << "/keys/"
            << "";
        QTest::newRow("Backspace goes up")
            << int(frmMain::InList) << int(Qt::Key_Backspace) << "f.txt"
            << ""
            << "/"
            << "CWD /";
        QTest::newRow("F5 lists again") << int(frmMain::InList) << int(Qt::Key_F5) << ""
                                        << ""
                                        << "/keys/"
                                        << "MLSD"; // pyftpdlib offers MLST
        QTest::newRow("F2 renames") << int(frmMain::InList) << int(Qt::Key_F2) << "f.txt"
                                    << "Enter new file name for f.txt"
                                    << "/keys/"
                                    << "";
        QTest::newRow("Delete in the list")
            << int(frmMain::InList) << int(Qt::Key_Delete) << "f.txt"
            << "Do you really want to delete file /keys/f.txt?"
            << "/keys/"
            << "";
        QTest::newRow("Delete in the tree") << int(frmMain::InTree) << int(Qt::Key_Delete) << ""
                                            << "Do you really want to remove directory: keys"
                                            << "/keys/"
                                            << "";
        QTest::newRow("Enter in the tree lists at once")
            << int(frmMain::InTree) << int(Qt::Key_Return) << ""
            << ""
            << "/keys/"
            << "MLSD"; // pyftpdlib offers MLST
        QTest::newRow("Backspace in the tree")
            << int(frmMain::InTree) << int(Qt::Key_Backspace) << ""
            << ""
            << "/"
            << "CWD /";
    }
    void keys() {
        QFETCH(int, place);
        QFETCH(int, key);
        QFETCH(QString, item);
        QFETCH(QString, question);
        QFETCH(QString, listed);
        QFETCH(QString, logged);
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("keys/sub")));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/keys/f.txt")), "f"));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/keys/"));
        if (!item.isEmpty())
            QVERIFY(ui.selectItem(item));
        ui.window.txtMessages->clear();
        press(ui, frmMain::Place(place), Qt::Key(key));
        const QStringList asked = ui.takeQuestions();
        if (question.isEmpty())
            QVERIFY2(asked.isEmpty(), qPrintable(asked.join('\n')));
        else
            QVERIFY2(asked.size() == 1 && asked[0].endsWith(QLatin1Char('|') + question),
                     qPrintable(asked.join('\n')));
        QCOMPARE(ui.window.listedKey(), listed);
        if (!logged.isEmpty())
            QVERIFY2(ui.logged(logged), qPrintable(ui.window.logText()));
        // Nothing was changed on the server: every question was declined.
        QVERIFY(QFile::exists(remote(QStringLiteral("/keys/f.txt"))));
        QVERIFY(QFileInfo(remote(QStringLiteral("/keys/sub"))).isDir());
    }

    // The context menus hold the commands of their pane from the one table,
    // enabled as the selection allows; choosing one runs it.
    void contextMenus() {
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("menus/sub")));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/menus/one.txt")), "1"));
        QVERIFY(TestUtil::writeFile(remote(QStringLiteral("/menus/two.txt")), "2"));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/menus/"));

        auto keysOf = [](QMenu* menu) {
            QStringList keys;
            for (const QAction* action : menu->actions())
                keys << actionKey(action);
            return keys;
        };
        auto enabled = [](QMenu* menu, const QString& key) {
            for (const QAction* action : menu->actions()) {
                if (action->data().toString() == key)
                    return action->isEnabled();
            }
            return false;
        };
        QMenu* tree = ui.window.contextMenu(frmMain::InTree);
        QCOMPARE(keysOf(tree), (QStringList{"OpenFolder", "-", "CreateDirectory", "RemoveDirectory",
                                            "-", "Refresh", "UpLevel"}));
        delete tree;

        // Nothing selected: commands on items are greyed.
        ui.window.lvListView->detailsView()->clearSelection();
        QMenu* list = ui.window.contextMenu(frmMain::InList);
        QCOMPARE(keysOf(list),
                 (QStringList{"Open", "-", "Download", "Rename", "Delete", "-", "Upload",
                              "UploadFolder", "CreateDirectory", "-", "Refresh", "UpLevel"}));
        QVERIFY(!enabled(list, QStringLiteral("Delete")));
        QVERIFY(!enabled(list, QStringLiteral("Rename")));
        QVERIFY(enabled(list, QStringLiteral("Refresh")));
        delete list;

        // Two selected: rename takes one item only.
        QVERIFY(ui.selectItem(QStringLiteral("one.txt")));
        QVERIFY(ui.window.lvListView->selectKey(QStringLiteral("Ftwo.txt"), true));
        list = ui.window.contextMenu(frmMain::InList);
        QVERIFY(enabled(list, QStringLiteral("Delete")));
        QVERIFY(!enabled(list, QStringLiteral("Rename")));
        // Choosing Delete asks once for both.
        for (QAction* action : list->actions()) {
            if (action->data().toString() == QLatin1String("Delete"))
                action->trigger();
        }
        delete list;
        const QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked[0].startsWith(
                     QStringLiteral("Delete file|Do you really want to delete these 2 entries?")),
                 qPrintable(asked[0]));
        QVERIFY(asked[0].contains(QStringLiteral("/menus/one.txt")));
        QVERIFY(asked[0].contains(QStringLiteral("/menus/two.txt")));
        QVERIFY(QFile::exists(remote(QStringLiteral("/menus/one.txt")))); // declined
    }

    // Several files go in one command: one question for a delete; one
    // folder for a download, which the transfer queue fetches, the folder
    // too, asking about the file already there.
    void multiSelection() {
        QDir root(m_Server.rootPath());
        QVERIFY(root.mkpath(QStringLiteral("multi/dir")));
        const QStringList names = {QStringLiteral("m1.bin"), QStringLiteral("m2.bin"),
                                   QStringLiteral("m 3.bin")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(TestUtil::writePatternFile(remote(QStringLiteral("/multi/") + names[i]),
                                               20000 + i * 7));
        QTemporaryDir into;
        QVERIFY(into.isValid());
        // One local file is already there, cut short: Resume completes it.
        const QByteArray whole = TestUtil::readFile(remote(QStringLiteral("/multi/m2.bin")));
        QVERIFY(TestUtil::writeFile(into.filePath(QStringLiteral("m2.bin")), whole.left(5000)));
        MainWindowDriver ui;
        open(ui);
        ui.clickNode(QStringLiteral("/multi/"));
        for (const QString& name : names)
            QVERIFY(ui.window.lvListView->selectKey(QLatin1Char('F') + name, true));
        QVERIFY(ui.window.lvListView->selectKey(QStringLiteral("Fdir"), true));

        ui.prompts.texts << into.path();
        ui.prompts.choices << 1; // Resume
        ui.window.mnuDownload_Click();
        QVERIFY(ui.queueIdle());
        QStringList asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked[0], QStringLiteral("Download files into...|Download files into..."));
        QVERIFY2(asked[1].startsWith(QStringLiteral("File already exists|") +
                                     QDir::toNativeSeparators(into.filePath("m2.bin"))),
                 qPrintable(asked[1]));
        for (const QString& name : names)
            QCOMPARE(TestUtil::fileChecksum(into.filePath(name)),
                     TestUtil::fileChecksum(remote(QStringLiteral("/multi/") + name)));
        QVERIFY(QFileInfo(into.filePath(QStringLiteral("dir"))).isDir());

        // Delete: one question, every entry gone, the folder listed once more.
        ui.prompts.answers << Prompts::Yes;
        ui.window.mnuDelete_Click();
        asked = ui.takeQuestions();
        QCOMPARE(asked.size(), 1);
        QVERIFY(asked[0].contains(QStringLiteral("these 4 entries")));
        QVERIFY(ui.listNames().isEmpty());
        QVERIFY(!ui.window.findNode(QStringLiteral("/multi/dir/")));
        QVERIFY(QDir(remote(QStringLiteral("/multi"))).isEmpty());
    }
};

QTEST_MAIN(tst_window_navigation)
#include "tst_window_navigation.moc"
