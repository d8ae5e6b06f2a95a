// The main window with big folders: drives the real window (offscreen)
// against a local pyftpdlib server and prints, for folders of 10,000 and
// 100,000 entries, the time from the listing's arrival to the list shown, the
// time to sort by each column, and the resident memory before, with and
// after leaving the folder. The engine's own listing of the same folder, on
// a connection of its own, is the peer. Figures are printed, never asserted.
//
//   build/bench/bench_window_listing [ENTRIES[d]...]   (default 10000 100000 20000d)
//
// A size ending in "d" is a folder of sub-folders only: every entry becomes a
// tree node as well as a row.

#include "CFtpConnection.h"
#include "FileListView.h"
#include "PyFtpdServer.h"
#include "ScriptedPrompts.h"
#include "frmConnect.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

namespace {

// Targets of the window for a folder of 100,000 entries.
constexpr double FillTargetSeconds = 1.0;
constexpr double SortTargetSeconds = 0.5;
constexpr double MemoryTargetMiB = 150.0;

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double seconds(const QElapsedTimer& clock) {
    return clock.nsecsElapsed() / 1e9;
}

void settle() {
    // Lets the views lay out and paint what the list now holds.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// A folder of n entries: one in a hundred a sub-folder (or all of them), the
// rest files of assorted sizes (sparse, so the disk holds next to nothing).
bool makeFolder(const QString& path, int n, bool foldersOnly) {
    if (!QDir().mkpath(path))
        return false;
    for (int i = 0; i < n; ++i) {
        if (foldersOnly || i % 100 == 0) {
            if (!QDir(path).mkdir(QStringLiteral("folder %1").arg(i)))
                return false;
            continue;
        }
        QFile file(QStringLiteral("%1/file-%2.dat").arg(path).arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || !file.resize((qint64(i) * 7919) % 1000003))
            return false;
    }
    return true;
}

struct Figures {
    double engineList = 0; // the peer: EnumFiles alone
    double windowTotal = 0;
    double fill = 0; // from the listing's arrival to the list shown
    double sort[FileListView::ColumnCount] = {};
    double rssBefore = 0, rssWith = 0, rssAfter = 0;
    int rows = 0;
    QString label;
};

double engineListing(const PyFtpdServer& server, const QString& folder) {
    CFtpConnection engine;
    engine.setFtpServer(server.host());
    engine.setPort(server.port());
    engine.setUserName(QString::fromLatin1(PyFtpdServer::UserName));
    engine.setPassword(QString::fromLatin1(PyFtpdServer::Password));
    engine.setPassiveMode(true);
    engine.setTimeout(60);
    if (!engine.Connect() || !engine.SetCurrentDirectory(folder))
        return -1;
    auto files = std::make_shared<CFtpFiles>();
    QElapsedTimer clock;
    clock.start();
    const bool listed = engine.EnumFiles(files);
    const double took = seconds(clock);
    engine.CloseConnection();
    return listed ? took : -1;
}

bool measure(frmMain& window, const PyFtpdServer& server, const QString& folder, Figures& f) {
    f.engineList = engineListing(server, QLatin1Char('/') + folder);
    QTreeWidgetItem* root = window.findNode(QStringLiteral("/"));
    QTreeWidgetItem* node = window.findNode(QLatin1Char('/') + folder + QLatin1Char('/'));
    if (!root || !node)
        return false;
    window.tvTreeView_NodeClick(root);
    settle();
    f.rssBefore = residentMiB();

    QElapsedTimer clock;
    qint64 arrived = -1;
    const auto link = QObject::connect(window.connection(), &CFtpConnection::StateChanged, &window,
                                       [&](int state) {
                                           if (state == CFtpConnection::DirectoryListingCompleted)
                                               arrived = clock.nsecsElapsed();
                                       });
    clock.start();
    window.tvTreeView->setCurrentItem(node);
    window.tvTreeView_NodeClick(node);
    settle();
    const qint64 shown = clock.nsecsElapsed();
    QObject::disconnect(link);
    if (arrived < 0 || window.listedKey() != QLatin1Char('/') + folder + QLatin1Char('/'))
        return false;
    f.windowTotal = shown / 1e9;
    f.fill = (shown - arrived) / 1e9;
    f.rows = window.lvListView->count();
    f.rssWith = residentMiB();

    // Each column once ascending (from the name's order), then back by name.
    for (int column : {1, 2, 3, 4, 5, 0}) {
        QElapsedTimer sortClock;
        sortClock.start();
        window.lvListView->ColumnClick(column);
        settle();
        f.sort[column] = seconds(sortClock);
    }
    if (window.lvListView->sortOrder() != Qt::AscendingOrder)
        window.lvListView->ColumnClick(0);

    window.tvTreeView->setCurrentItem(root);
    window.tvTreeView_NodeClick(root);
    settle();
    f.rssAfter = residentMiB();
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    QStringList sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QString::fromLocal8Bit(argv[i]);
    if (sizes.isEmpty())
        sizes = {QStringLiteral("10000"), QStringLiteral("100000"), QStringLiteral("20000d")};

    PyFtpdServer server;
    for (const QString& size : sizes) {
        const bool foldersOnly = size.endsWith(QLatin1Char('d'));
        const int n = QString(size).remove(QLatin1Char('d')).toInt();
        std::printf("making a folder of %d %s ...\n", n, foldersOnly ? "folders" : "entries");
        std::fflush(stdout);
        if (n <= 0 ||
            !makeFolder(server.rootPath() + QStringLiteral("/big") + size, n, foldersOnly)) {
            std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(size));
            return 1;
        }
    }
    if (!server.start()) {
        std::fprintf(stderr, "pyftpdlib did not start: %s\n", qPrintable(server.lastError()));
        return 1;
    }

    ScriptedPrompts prompts;
    frmMain window(prompts);
    window.show();
    window.Check1->setChecked(true);
    prompts.dialogs << [&server](QDialog& dialog) {
        auto& connect = static_cast<frmConnect&>(dialog);
        connect.txtURL->setText(server.host() + QLatin1Char(':') + QString::number(server.port()));
        connect.chkAnonym->setChecked(false);
        connect.txtUserName->setText(QString::fromLatin1(PyFtpdServer::UserName));
        connect.txtPassword->setText(QString::fromLatin1(PyFtpdServer::Password));
        connect.cmdOK_Click();
    };
    window.ConnectToServer();
    settle();
    if (window.listedKey() != QLatin1String("/")) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }

    std::printf("\nmain window listing a big folder (pyftpdlib on 127.0.0.1, offscreen)\n");
    std::printf("(entries: rows of the list; \"d\": every entry a folder, a tree node too)\n");
    std::printf("%-9s %10s %10s %8s %10s   %s\n", "entries", "engine s", "window s", "ratio",
                "fill s", "target fill");
    QList<Figures> all;
    for (const QString& size : sizes) {
        Figures f;
        if (!measure(window, server, QStringLiteral("big") + size, f)) {
            std::fprintf(stderr, "listing the folder %s failed\n", qPrintable(size));
            return 1;
        }
        f.label = size;
        all << f;
        std::printf("%-9s %10.3f %10.3f %8.2f %10.3f   < %.1f s (100,000)\n", qPrintable(size),
                    f.engineList, f.windowTotal,
                    f.engineList > 0 ? f.windowTotal / f.engineList : 0.0, f.fill,
                    FillTargetSeconds);
    }

    std::printf("\nsorting, seconds per column (target < %.1f s for 100,000)\n", SortTargetSeconds);
    std::printf("%-9s %8s %8s %8s %8s %8s %8s\n", "entries", "name", "size", "date", "perms",
                "owner", "group");
    for (const Figures& f : all)
        std::printf("%-9s %8.3f %8.3f %8.3f %8.3f %8.3f %8.3f\n", qPrintable(f.label), f.sort[0],
                    f.sort[1], f.sort[2], f.sort[3], f.sort[4], f.sort[5]);

    std::printf("\nresident memory, MiB (target: < %.0f MiB more for 100,000, given back after "
                "leaving)\n",
                MemoryTargetMiB);
    std::printf("(a folder of folders leaves its sub-folders' nodes in the tree: \"kept\")\n");
    std::printf("%-9s %10s %10s %10s %10s\n", "entries", "before", "listed", "left", "kept");
    for (const Figures& f : all)
        std::printf("%-9s %10.1f %10.1f %10.1f %10.1f\n", qPrintable(f.label), f.rssBefore,
                    f.rssWith, f.rssAfter, f.rssAfter - f.rssBefore);
    window.close();
    return 0;
}
