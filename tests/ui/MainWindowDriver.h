#pragma once

#include "CFtpConnection.h"
#include "FileListView.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "QueueStore.h"
#include "ScriptedPrompts.h"
#include "ServerAddress.h"
#include "TransferQueue.h"
#include "TrustStore.h"
#include "WindowTransfers.h"
#include "frmConnect.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <optional>

// Settings and the windows' transfer queue in a folder of this test run
// alone: test binaries that run at once share neither.
inline void isolateWindowState(const QString& folder) {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    frmMain::setQueueStorePath(folder + QStringLiteral("/queue.sqlite"));
}

// The real main window with scripted prompts, and the few moves a user
// makes in it: connect through the dialog, pick a list item, click a node.
struct MainWindowDriver {
    ScriptedPrompts prompts;
    frmMain window{prompts};
    // The encryption the connect dialog is answered with; unset is the
    // dialog's default, "if available".
    std::optional<FtpSecurity::Mode> encryption;
    // The scripted servers speak plain FTP: unless a test asks about it, the
    // server named is allowed to go on in clear without the question.
    bool allowPlain = true;

    // Answers the next connect dialog with OK for host (HOST[:PORT]); an
    // empty user keeps the dialog's anonymous log-in.
    void answerConnect(const QString& host, const QString& user = {},
                       const QString& password = {}) {
        QString name;
        quint16 port = 0;
        QString error;
        if (allowPlain && ServerAddress::parse(host, name, port, error)) {
            TrustStore::allowDowngrade(name, port, CFtpConnection::Downgrade::NoTls);
            TrustStore::allowDowngrade(name, port, CFtpConnection::Downgrade::NoDataProtection);
        }
        prompts.dialogs << [host, user, password, mode = encryption](QDialog& dialog) {
            auto& connect = static_cast<frmConnect&>(dialog);
            connect.txtURL->setText(host);
            // The dialog remembers the last choice; each test names its own.
            connect.cboEncryption->setCurrentIndex(connect.cboEncryption->findData(
                int(mode.value_or(FtpSecurity::Mode::ExplicitIfAvailable))));
            // The dialog remembers the last log-in; each test names its own.
            connect.chkAnonym->setChecked(true);
            if (!user.isEmpty()) {
                connect.chkAnonym->setChecked(false);
                connect.txtUserName->setText(user);
                connect.txtPassword->setText(password);
            }
            connect.cmdOK_Click();
        };
    }
    void connectTo(const QString& host, const QString& user = {}, const QString& password = {}) {
        answerConnect(host, user, password);
        window.ConnectToServer();
    }
    void setPassive(bool passive) { window.Check1->setChecked(passive); }
    // What the window shows of the session: status, title pane, padlock,
    // tree and list, as one line to compare.
    QString shown() const {
        return window.statusText() + QLatin1Char('|') + window.Label1->text() +
               (window.padlockShown() ? QStringLiteral("|lock") : QString()) +
               QStringLiteral("|nodes %1|rows %2")
                   .arg(window.nodes().size())
                   .arg(window.lvListView->count());
    }

    CFtpConnection* engine() const { return window.connection(); }
    QTreeWidgetItem* selectedNode() const { return window.tvTreeView->currentItem(); }
    QString selectedKey() const {
        const QTreeWidgetItem* node = selectedNode();
        return node ? node->data(0, frmMain::TreeKeyRole).toString() : QString();
    }
    QStringList childKeys(const QString& key) const {
        QStringList keys;
        if (const QTreeWidgetItem* node = window.findNode(key)) {
            for (int i = 0; i < node->childCount(); ++i)
                keys << node->child(i)->data(0, frmMain::TreeKeyRole).toString();
        }
        return keys;
    }
    QStringList listNames() const {
        QStringList names;
        for (int row = 0; row < window.lvListView->count(); ++row)
            names << window.lvListView->text(row);
        return names;
    }
    int rowOf(const QString& name) const { return listNames().indexOf(name); }
    bool selectItem(const QString& name) {
        return window.lvListView->selectKey(QStringLiteral("F") + name);
    }
    void clickNode(const QString& key) {
        QTreeWidgetItem* node = window.findNode(key);
        if (!node)
            return;
        window.tvTreeView->setCurrentItem(node);
        window.tvTreeView_NodeClick(node);
    }
    // The session log's lines sent as commands, in order.
    QStringList logLines() const { return window.logText().split(QLatin1Char('\n')); }
    bool logged(const QString& line) const { return logLines().contains(line); }

    // The window's transfer queue (null before the first transfer).
    TransferQueue* queue() const { return window.transfers()->queue(); }
    bool queueIdle(int ms = 30000) const {
        return QTest::qWaitFor([this] { return queue() && queue()->idle(); }, ms);
    }
    // Until the queue is through, the window has shown how the single files
    // it handed over ended, and the session is free again.
    bool transfersDone(int ms = 30000) const {
        return QTest::qWaitFor(
            [this] {
                return (!queue() || queue()->idle()) && !window.transfers()->followsFiles() &&
                       !window.working();
            },
            ms);
    }
    // The queue pane's rows on a tab as "direction|remote path|state".
    QStringList queueRows(QueueModel::Tab tab) const {
        window.queuePane()->tabs()->setCurrentIndex(tab);
        QueueModel* model = window.transfers()->model();
        model->refresh();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column : {QueueModel::Direction, QueueModel::RemotePath, QueueModel::State})
                cells << model->index(row, column).data().toString();
            rows << cells.join(QLatin1Char('|'));
        }
        rows.sort();
        return rows;
    }

    // Selects the row of an item on a tab of the queue pane, by its remote path.
    bool selectQueueRow(QueueModel::Tab tab, const QString& remotePath) {
        queueRows(tab);
        QueueModel* model = window.transfers()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, QueueModel::RemotePath).data().toString() == remotePath) {
                window.queuePane()->view()->selectRow(row);
                return true;
            }
        }
        return false;
    }

    // Questions asked since the last call, as "title|text".
    QStringList takeQuestions() {
        QStringList out;
        for (const ScriptedPrompts::Question& q : prompts.asked)
            out << q.title + QLatin1Char('|') + q.text;
        prompts.asked.clear();
        return out;
    }
};
