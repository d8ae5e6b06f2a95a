// One download through the real main window, as a user makes it: connect
// anonymously through the connect dialog, click the folder in the tree,
// select the file in the list, press the download button, name the target.
// Prompts are scripted, so no modal box ever waits for a person. Prints the
// time from the connect to the end of the download (what krellin-cli also
// spends: log-in, change of folder, transfer), and the resident set.
//
//   bench_window_download HOST:PORT FOLDER FILE LOCAL_PATH
//
// FOLDER is the server path of the file's folder ("/data"). Runs offscreen
// unless QT_QPA_PLATFORM says otherwise. Exits non-zero when the download did
// not complete.

#include "MainWindowDriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: bench_window_download HOST:PORT FOLDER FILE LOCAL_PATH\n");
        return 2;
    }
    const QString host = args.at(1);
    QString folderKey = args.at(2);
    if (!folderKey.startsWith(QLatin1Char('/')))
        folderKey.prepend(QLatin1Char('/'));
    if (!folderKey.endsWith(QLatin1Char('/')))
        folderKey += QLatin1Char('/');
    const QString fileName = args.at(3);
    const QString localPath = QFileInfo(args.at(4)).absoluteFilePath();

    // The window keeps its placement in the settings store: a throwaway one
    // leaves the user's own alone.
    QTemporaryDir settings;
    if (!settings.isValid()) {
        std::fprintf(stderr, "cannot create a settings folder\n");
        return 1;
    }
    // The same for its transfer queue.
    isolateWindowState(settings.path());

    MainWindowDriver ui;
    ui.window.show();
    ui.setPassive(true);
    // The plain-FTP figure, next to krellin-cli's plain download.
    ui.encryption = FtpSecurity::Mode::Plain;

    QElapsedTimer clock;
    clock.start();
    ui.connectTo(host);
    if (ui.selectedKey() != QLatin1String("/")) {
        std::fprintf(stderr, "connect failed: %s\n", qPrintable(ui.window.statusText()));
        return 1;
    }
    ui.clickNode(folderKey);
    if (ui.selectedKey() != folderKey || !ui.selectItem(fileName)) {
        std::fprintf(stderr, "%s not found in %s\n", qPrintable(fileName), qPrintable(folderKey));
        return 1;
    }
    ui.prompts.texts << localPath;
    ui.window.tbToolBar_ButtonClick(QStringLiteral("Download"));
    // The file moves on the queue's own connection; the window follows it.
    ui.transfersDone(10 * 60 * 1000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    const QString status = ui.window.statusText();
    if (status != QLatin1String("Transfer completed.") || ui.prompts.unanswered != 0) {
        std::fprintf(stderr,
                     "download did not complete: status \"%s\", %d unanswered question(s)\n",
                     qPrintable(status), ui.prompts.unanswered);
        for (const ScriptedPrompts::Question& q : ui.prompts.asked)
            std::fprintf(stderr, "  asked: %s\n", qPrintable(q.text));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("window_download: %.6f s, %lld bytes, peak resident %ld KiB\n", seconds,
                QFileInfo(localPath).size(), usage.ru_maxrss);
    return 0;
}
