#include "FileListView.h"
#include "KrellinVersion.h"
#include "QtPrompts.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "Translations.h"
#include "frmConnect.h"
#include "frmMain.h"
#include "frmWelcomeMessage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QStyleFactory>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <string_view>

namespace {

// For scripts/screenshot only: confirms the connect dialog as it opens, so
// the window can be captured connected without anyone at the keyboard.
class AutoConnectPrompts : public QtPrompts {
public:
    int execDialog(QDialog& dialog) override {
        if (auto* connect = qobject_cast<frmConnect*>(&dialog); connect && !m_Used) {
            m_Used = true;
            connect->cmdOK_Click();
            return dialog.result();
        }
        return QtPrompts::execDialog(dialog);
    }
    // The screenshot of the queue pane: downloads go to this folder.
    QString existingDirectory(QWidget* parent, const QString& title,
                              const QString& directory) override {
        const QString folder = qEnvironmentVariable("KRELLIN_SCREENSHOT_QUEUE");
        return folder.isEmpty() ? QtPrompts::existingDirectory(parent, title, directory) : folder;
    }

private:
    bool m_Used = false;
};

// Clicks the tree down a remote path ("/pub/linux") after connecting.
void openPath(frmMain& window, const QString& path) {
    QString key = QStringLiteral("/");
    for (const QString& piece : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        key += piece + QLatin1Char('/');
        QTreeWidgetItem* node = window.findNode(key);
        if (!node)
            return;
        window.tvTreeView->setCurrentItem(node);
        window.tvTreeView_NodeClick(node);
    }
}

void describeCommandLine(QCommandLineParser& parser) {
    QCoreApplication::setOrganizationName(QStringLiteral("Krellin"));
    QCoreApplication::setApplicationName(QStringLiteral("Krellin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KRELLIN_VERSION));
    parser.setApplicationDescription(QStringLiteral("Krellin, a desktop FTP client."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("URL"),
        QStringLiteral("ftp://[USER[:PASSWORD]@]HOST[:PORT][/PATH] connects at once and opens "
                       "PATH (a file's folder for a file); ftps:// is implicit TLS (port 990), "
                       "ftpes:// explicit TLS, required. Only a named user's missing password "
                       "is asked. A bare HOST[:PORT] is shown in the connect dialog, e.g. "
                       "127.0.0.1:2121 or [::1]:2121."),
        QStringLiteral("[URL | HOST[:PORT]]"));
}

// --help and --version are answered before the window's application object
// exists: that one aborts where there is no display (a build, a package
// check, a terminal over ssh).
bool asksOnlyForText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--")
            return false;
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

// A style given with -style (Qt's own option) or QT_STYLE_OVERRIDE.
bool userChoseStyle(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsEmpty("QT_STYLE_OVERRIDE"))
        return true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--")
            return false;
        if (arg == "-style" || arg == "--style" || arg.starts_with("-style=") ||
            arg.starts_with("--style="))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (asksOnlyForText(argc, argv)) {
        QCoreApplication text(argc, argv);
        QCommandLineParser parser;
        describeCommandLine(parser);
        parser.process(text); // prints the text and exits
        return 0;
    }

    // Asked before QApplication takes its own options out of argv.
    const bool styleChosen = userChoseStyle(argc, argv);
    QApplication application(argc, argv);
    QCommandLineParser parser;
    describeCommandLine(parser);
    QApplication::setDesktopFileName(QStringLiteral("io.github.krellin.Krellin"));
    // Fusion draws the same on every desktop, unless the user named a style.
    if (!styleChosen) {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
            QApplication::setStyle(fusion);
    }
    Translations::install(application, QLocale(), QCoreApplication::applicationDirPath());
    parser.process(application);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1) {
        std::fprintf(stderr,
                     "krellin: expected at most one URL or HOST[:PORT], got %lld arguments\n",
                     static_cast<long long>(arguments.size()));
        return 2;
    }

    const bool autoConnect = qEnvironmentVariableIsSet("KRELLIN_SCREENSHOT_CONNECT");
    QtPrompts plainPrompts;
    AutoConnectPrompts autoPrompts;
    frmMain window(autoConnect ? static_cast<Prompts&>(autoPrompts) : plainPrompts);
    if (!arguments.isEmpty())
        window.openStartArgument(arguments.first());
    window.show();
    if (qEnvironmentVariableIsSet("KRELLIN_SCREENSHOT_SITES"))
        QTimer::singleShot(0, &window, [&window] { window.mnuSiteManager_Click(); });
    if (autoConnect) {
        const QString path = qEnvironmentVariable("KRELLIN_SCREENSHOT_CONNECT");
        QTimer::singleShot(0, &window, [&window, path] {
            window.ConnectToServer();
            // The welcome window would cover the main window in the picture.
            for (frmWelcomeMessage* message : window.findChildren<frmWelcomeMessage*>())
                message->close();
            openPath(window, path);
            // The queue pane's picture: the listed folder downloaded through
            // the queue, the Done tab showing.
            if (qEnvironmentVariableIsSet("KRELLIN_SCREENSHOT_QUEUE")) {
                for (int row = 0; row < window.lvListView->count(); ++row)
                    window.lvListView->selectKey(window.lvListView->key(row), true);
                window.mnuDownload_Click();
                window.queuePane()->tabs()->setCurrentIndex(QueueModel::Done);
            }
        });
    } else {
        // What the last run left in the queue is offered once the window shows.
        QTimer::singleShot(0, &window, [&window] { window.offerInterruptedTransfers(); });
    }
    return QApplication::exec();
}
