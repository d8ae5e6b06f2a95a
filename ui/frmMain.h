#pragma once

#include "CFtpConnection.h"
#include "HelpViewer.h"
#include "MainLayout.h"
#include "NodeIndex.h"
#include "Prompts.h"
#include "TransferWorker.h"
#include "about.h"

#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QKeySequence>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <functional>
#include <memory>
#include <type_traits>

class FileListView;
class PaneDrops;
class QueuePane;
class WindowTransfers;
class Prompts;
class QAction;
class QActionGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QRadioButton;
class QStatusBar;
class QTimer;
class QTextEdit;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class CFtpFile;
class frmConnect;
class frmWelcomeMessage;
class Keyring;
struct Site;

// The main window: remote folder tree on the left, file list on the right
// under a title pane, the session log across the bottom, the toolbar in its
// band at the top and the status bar. It owns the one FTP session engine.
class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Placement and log height kept in the settings store, in twips. With no
    // stored placement the window opens centred at MainLayout::defaultSize.
    static constexpr const char* SettingsSection = "Settings";
    // The connect dialog's remembered choices and the passive mode.
    static constexpr const char* ConnectSection = "Connect";

    static const QString ProductPage;
    static const QString HelpFileName;

    // Tree node data: key (absolute directory path ending in "/"), tag, and
    // the image numbers shown collapsed and expanded.
    static constexpr int TreeKeyRole = NodeIndex::KeyRole;
    static constexpr int TreeTagRole = NodeIndex::TagRole;
    static constexpr int TreeImageRole = NodeIndex::ImageRole;
    static constexpr int TreeExpandedImageRole = NodeIndex::ExpandedImageRole;

    // How long the tree's selection rests after a key before it is listed.
    static constexpr int KeyboardListDelayMs = 400;
    // The status bar's transfer figures change at most this often.
    static constexpr int ProgressIntervalMs = 250;

    // Where a command applies, for its key and its place in context menus;
    // Window: its key works anywhere in the window, and no context menu has it.
    enum Place { Nowhere = 0, InList = 1, InTree = 2, Window = 4, InQueue = 8 };
    // What a command needs to be enabled: nothing; an engine at rest; an
    // engine at rest and an open session; something to stop (an engine call
    // running, or a session to close); an engine call running.
    enum Need { Free, Idle, Session, Running, Working };
    // What the window shows of the session; it follows the engine at the end
    // of every command.
    enum class SessionView { Disconnected, Connecting, Connected };
    // One row per command: the one table that menus, toolbar, context menus
    // and keys are made from.
    struct Command {
        const char* key;      // the toolbar key and the dispatch name
        const char* menuText; // with its access letter
        const char* toolTip;  // nullptr: the button shows no tip
        int image;            // toolbar image, 0 none
        QKeySequence shortcut;
        int places; // Place bits: where its key works and its context menus
        int group;  // context menus put a separator between groups
        Need needs; // when it is enabled, wherever it is offered
        std::function<void(frmMain&)> run;
    };
    static const QList<Command>& commands();
    static const Command* command(const QString& key);
    // The one answer to "may this command run now?", for every way in:
    // toolbar, menus, keys, context menus, double-click.
    bool commandEnabled(const Command& row) const;
    bool commandEnabled(const QString& key) const;
    // Sets every table-made action's enabled state from commandEnabled.
    void updateCommands();
    // An engine call is running (the engine is busy).
    bool working() const;
    SessionView sessionView() const { return m_SessionView; }
    // The padlock beside the title: control and data connections both protected.
    bool padlockShown() const;
    // The server as the session uses it: "host", or "host:port" when the
    // port is not the encryption's default.
    QString serverText() const;

    explicit frmMain(Prompts& prompts, QWidget* parent = nullptr);
    ~frmMain() override;

    // Host text the connect dialog opens with instead of its default.
    void setInitialHost(const QString& host) { m_InitialHost = host; }
    QString initialHost() const { return m_InitialHost; }

    // The desktop's "open" for the help file and the product page; tests
    // replace them so nothing leaves the machine.
    void setShellOpenDocument(std::function<bool(const QString&)> open);
    void setShellOpenUrl(std::function<bool(const QString&)> open);
    // Folder the help file is looked up in (the program's own by default).
    void setProgramDirectory(const QString& directory) { m_ProgramDirectory = directory; }
    QString helpFilePath() const;

    // ----- layout (twips)
    void SizeControls(int x);
    MainLayout::Input layoutInput(int x) const;
    int splitterLeft() const { return m_SplitterLeft; }
    void imgSplitter_MouseDown(int mouseXPixels);
    void imgSplitter_MouseMove(int mouseXPixels);
    void imgSplitter_MouseUp();
    bool isMovingSplitter() const { return m_bMoving; }
    int ghostLeft() const { return m_GhostLeft; }
    // Geometry of a control in twips, as the layout last placed it.
    QRect twipsGeometry(const QWidget* control) const;
    int toTwips(int pixels) const;
    int toPixels(int twips) const;
    // The window's placement in twips: the stored values as long as the
    // window still has their pixel size, so unchanged values round-trip exactly.
    QRect placementTwips() const;
    // The log's height as the user left it (twips).
    int logHeightTwips() const { return m_LogHeight; }
    void imgLogSplitter_Drag(int clientYPixels);

    // ----- file list and tree helpers
    static qint16 GetImageNumber(const QString& strFileName);
    // "### ### ###": digits grouped in threes by blanks.
    static QString FormatGroupedBlanks(qint64 value);
    QTreeWidgetItem* findNode(const QString& key) const { return m_Nodes.find(key); }
    // Texts from the root down joined by "/": "//pub" below a root "/".
    static QString nodeFullPath(const QTreeWidgetItem* node);
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
                             int image, int expandedImage = 0);
    const NodeIndex& nodes() const { return m_Nodes; }
    // The folder the list shows: the one truth for "where am I" that every
    // command takes its paths from. Null before the first listing.
    QTreeWidgetItem* listedNode() const { return m_ListedNode.get(); }
    QString listedKey() const { return m_ListedNode.key(); }

    // ----- engine event handlers
    void m_FtpConnection_SessionProtocolMessage(const QString& strMessage, int MessageType);
    void m_FtpConnection_StateChanged(int State);
    void m_FtpConnection_DownloadProgress(qint64 lBytes);
    void m_FtpConnection_UploadProgress(qint64 lBytes);
    void m_FtpConnection_ListingDataArrived(qint64 lTotalBytes);

    QString statusText() const;
    void setStatusText(const QString& text);
    double progressValue() const { return m_ProgressValue; }
    void setProgressValue(double percent);
    // 0 shows every progress event (tests); the default spares the transfer.
    void setProgressInterval(int ms) { m_ProgressInterval = ms; }
    int progressUpdates() const { return m_ProgressUpdates; }
    QString logText() const;
    CFtpConnection* connection() const { return m_FtpConnection; }
    WindowTransfers* transfers() const { return m_Transfers; }
    // The queue's file for windows made from now on; empty: the user's data folder.
    static void setQueueStorePath(const QString& path);
    QueuePane* queuePane() const { return m_QueuePane; }
    QString queueTotalsText() const;
    about* aboutWindow() const { return m_About; }
    HelpViewer* helpViewer() const { return m_HelpViewer; }

    // Toolbar button by its 1-based position, separators included.
    QAction* toolbarButton(int number) const;
    QAction* toolbarButton(const QString& key) const;
    // The context menu of the list or the tree as it would open now.
    QMenu* contextMenu(Place place);
    // Runs the command of a key pressed in the list or the tree; false when
    // no command has that key there.
    bool keyCommand(Place place, const QKeySequence& key);

    // Opens the connect dialog (with the initial host text) through the
    // prompts and returns it after it closed.
    std::unique_ptr<frmConnect> showConnectDialog();
    // Tracks a window of the program so that unload closes it.
    void registerWindow(QWidget* window);
    // Shows a server's message in a new modeless message window and returns
    // at once; the window is closed with the others at unload.
    frmWelcomeMessage* showMessageWindow(const QString& caption, const QString& text);

    // ----- saved sites and links (frmMainSites.cpp)
    // The keyring saved sites keep their passwords in: the desktop's, unless
    // a test hands in its own (which the window does not own).
    void setKeyring(Keyring* keyring) { m_Keyring = keyring; }
    Keyring& keyring();
    // The program's argument: an ftp://, ftps:// or ftpes:// link connects
    // as soon as the event loop runs; anything else is the dialog's host.
    void openStartArgument(const QString& argument);
    // Connects to what a link names, asking only for a named user's missing
    // password; a link that cannot be used is explained and nothing happens.
    void openLink(const QString& link);
    // Connects with a saved site: its log-on, modes and start folders.
    void connectToSite(const QString& id);
    // Where Save and Open dialogs start: the site's local folder, or empty.

    // ----- remote browsing and commands (frmMainCommands.cpp)
    void FillDirectoryListing(QTreeWidgetItem* node);
    bool AddFileToList(const CFtpFile& file);
    void DownloadSelectedFile();
    static bool LocalFileExists(const QString& path);
    // A failed engine call that means the control connection is gone: the
    // socket's wrong state, a closed connection, or a socket error number.
    static bool isConnectionLost(qint32 n);
    // "###,##0" in the list's locale, and the list's size text read back.
    static QString FormatFileSize(qint64 size);
    static qint64 ParseFileSize(const QString& text);
    // The list's date text: no date part on the zero day, no time at
    // midnight, seconds only where the listing gave them.
    static QString FormatLastWrite(double value, bool seconds = false);
    // The server path a node click changes to.
    static QString nodeServerPath(const QTreeWidgetItem* node);
    static bool isRootNode(const QTreeWidgetItem* node);
    // Row of the selected list item in the order shown, or -1 when none.
    int selectedListRow() const;
    // The engine's message waiting to be read, dropped unread.
    void dropPendingMessage();
    // Message of a fault that escaped a command.
    static QString faultText(qint32 number, const QString& description);

public slots:
    // ----- commands (toolbar keys and menu items)
    void tbToolBar_ButtonClick(const QString& key);
    void ConnectToServer();
    void UpOneLevel();
    void StopCommand();
    void RefreshCurrentDirectory();
    void mnuConnect_Click();
    void mnuSiteManager_Click();
    void mnuDownload_Click();
    void mnuUpload_Click();
    // Many files and folders through the transfer queue (frmMainTransfers.cpp).
    void mnuUploadFolder_Click();
    void mnuTransferSettings_Click();
    void QueueStop();
    void QueueStopAll();
    void QueueRetry();
    void QueueRemove();
    void QueueOpenFolder();
    // Offers what an earlier run left in the window's queue: Resume all / Discard.
    void offerInterruptedTransfers();
    void mnuFileClose_Click();
    void mnuRename_Click();
    void mnuDelete_Click();
    void mnuCreateDir_Click();
    void mnuRemoveDir_Click();
    void mnuViewToolbar_Click();
    void mnuViewStatusBar_Click();
    void mnuListViewMode_Click(int Index);
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuView_Click();
    void mnuHelp_Click();
    void help_Click();
    void Download_Click();
    void mnuHelpAbout_Click();
    // Lists the trusted certificates; one can be forgotten there.
    void mnuCertificates_Click();
    void Check1_Click();
    void Option1_Click(int Index);
    void tvTreeView_NodeClick(QTreeWidgetItem* Node);
    void lvListView_DblClick();
    // Enter: a folder opens, a file downloads; several files download.
    void OpenSelected();
    void ListSelectedNode();

public:
    // ----- window-level state shared with the commands
    QPointer<CFtpConnection> m_FtpConnection;
    QString m_strTransferFileName;
    qint64 m_lTransferFileSize = 0;
    NodeRef m_CurrentNode;

    // ----- controls, named as in the design
    QWidget* client;
    QFrame* picLegend = nullptr;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QFrame* Shape1;
    QFrame* Shape2;
    QFrame* Shape3;
    QFrame* Shape4;
    QTextEdit* txtMessages;
    QFrame* picSplitter;
    QFrame* picTitle;
    QWidget* Picture1;
    QCheckBox* Check1;
    QRadioButton* Option1[2];
    QProgressBar* ProgressBar1;
    QLabel* Label1;
    QLabel* imgLock;
    QLabel* imgIcon;
    QFrame* CoolBar1;
    QToolBar* tbToolBar;
    QTreeWidget* tvTreeView;
    FileListView* lvListView;
    QStatusBar* sbStatusBar;
    QLabel* sbPanel1;
    QWidget* imgSplitter;
    QWidget* imgLogSplitter;

    QMenu* mnuFile;
    QAction* mnuConnect;
    QAction* mnuSiteManager;
    QAction* mnuStop;
    QAction* mnuDownload;
    QAction* mnuUpload;
    QAction* mnuFileClose;
    QMenu* mnuEdit;
    QAction* mnuRename;
    QAction* mnuDelete;
    QAction* mnuCreateDir;
    QAction* mnuRemoveDir;
    QMenu* mnuView;
    QAction* mnuRefresh;
    QAction* mnuUpLevel;
    QAction* mnuViewToolbar;
    QAction* mnuViewStatusBar;
    QAction* mnuListViewMode[4];
    // The list's sizes in exact bytes instead of at a glance.
    QAction* mnuExactSizes;
    QAction* sep5;
    QAction* mnuOptions;
    QAction* mnuCertificates;
    QMenu* mnuHelp;
    QAction* help;
    QAction* Download;
    QAction* mnuHelpAbout;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Thrown when the window unloaded while a command waited; the command
    // ends quietly.
    struct WindowClosed {};
    // Thrown when an engine call ended because the user chose Stop; the
    // command ends and the status bar says what was stopped.
    struct Stopped {
        QString what;
    };
    // Runs a command; a fault that escapes it is shown, never dropped.
    void runCommand(const std::function<void()>& command, const QString& title = {});
    // The one place every engine call goes through: it keeps the commands
    // disabled while the call runs, ends the command if the window closed
    // meanwhile, and ends it quietly when the user stopped the call.
    // `activity` names the call for the status bar ("listing of /pub").
    template <typename Call> auto engineCall(const QString& activity, Call call) {
        ensureOpen();
        beginEngineCall(activity);
        struct End {
            frmMain& w;
            ~End() { w.endEngineCall(); }
        };
        decltype(call(*m_FtpConnection)) result{};
        {
            End end{*this};
            result = call(*m_FtpConnection);
        }
        ensureOpen();
        if (m_StopAsked) {
            m_StopAsked = false;
            // A call that finished before the Stop reached it stands.
            bool failed = false;
            if constexpr (std::is_same_v<decltype(result), bool>)
                failed = !result;
            else
                failed = result.isEmpty();
            if (failed && m_FtpConnection->FtpGetLastError() == CFtpConnection::ErrCancelled)
                throw Stopped{activity};
        }
        return result;
    }
    void beginEngineCall(const QString& activity);
    void endEngineCall();
    // Connect with what the user decided about this server's certificate.
    bool connectEngine();
    // The window after a command: a session that is gone shows as such.
    void syncSession(bool keepStatus = false);
    // Empties tree, list and title pane; the status says why.
    void showDisconnected(const QString& status);
    void runTableCommand(const QString& key);
    CFtpConnection& engine() {
        ensureOpen();
        return *m_FtpConnection;
    }
    void ensureOpen() const;
    void ConnectToServerBody();
    // Connects as the site says, with the password already known.
    void ConnectBody(const Site& site, const QString& password);
    // After the log-in: the start folder of a site or link. A path naming a
    // file opens its folder, and the file is selected once it is listed.
    void openStartFolder(const QString& path);
    void selectStartFile();
    std::optional<QString> askPassword(const Site& site, const QString& why);
    // The connect dialog's "Save as site".
    void saveSiteFromDialog(frmConnect& dialog);
    // The title pane's server and path, after a lock while the session is encrypted.
    void showTitle(const QString& text);
    // Asks once about a certificate the system does not vouch for; "always
    // trust" stores its fingerprint for the server in the settings.
    bool askAboutCertificate(const platform::TlsPeer& peer);
    // Asks before a session goes on without TLS (or without protected data
    // connections); "always for this server" is kept and not asked again.
    bool askAboutDowngrade(CFtpConnection::Downgrade what);
    // Places the title label after the padlock when it shows.
    void placeTitleLabel();
    void UploadBody();
    void UploadFolderBody();
    // The list's selection (files and folders) through the queue.
    void DownloadThroughQueue(const QList<int>& rows);
    // The session as the queue's workers log in with it.
    void startQueueSession();
    void createQueuePane();
    // The listed folder's entries, for the queue to see upload targets.
    QList<FolderEntry> listedEntries() const;
    // One file into the listed folder, with the upload's questions, handed
    // to the queue as answered.
    void UploadLocalFile(const QString& localPath);
    // A single file the queue moves for the window: its progress on the
    // bar and the status panel, its end as the window's own texts.
    void showFileProgress(const QueueItem& item);
    void fileEnded(const QueueItem& item);
    void createDrops();
    void UploadDroppedBody(const QStringList& localPaths, const QString& folderKey);
    void MoveDroppedBody(const QString& fromKey, const QStringList& names,
                         const QString& folderKey);
    void DeleteBody();
    void RenameBody();
    void RemoveDirBody();
    void CreateDirBody();
    void NodeClick(QTreeWidgetItem* Node);
    // freshChildren: the listing's link targets replace those the node's
    // children had (Refresh); their subtrees stay.
    bool ListDirectory(QTreeWidgetItem* node, bool freshChildren = false);
    // After a failed listing elsewhere: the connection goes back to the
    // folder the list shows, so relative names keep meaning what is shown.
    void returnToListedFolder(const NodeRef& from);
    // Names a server sent that LocalName refuses: logged, counted in the
    // status bar and shown in one message; the files are not downloaded.
    void reportUnsafeNames(const QStringList& reasons);
    // A link the list does not show as a folder is tried as one (CWD to its
    // own path). True when the row was dealt with: opened as a folder, or
    // the change failed for another reason than a refusal.
    bool openLinkAsFolder(int row);
    // Brings the tree's children of a listed node in line with its folders.
    void syncChildren(QTreeWidgetItem* node, const CFtpFiles& files, bool freshTags = false);
    // Selects a node as the program, not the user: no listing follows.
    void selectNode(QTreeWidgetItem* node);
    // Back to the listed folder after a failed change or listing.
    void restoreSelection();
    // The engine's description of an error, translated.
    QString errorDescription(qint32 n);
    // The sentence for a failed step: the server's reply when there is one.
    QString failureReason(qint32 n);
    // "Error #n", its description and the server's reply where it refused.
    QString errorBoxText(qint32 n);
    QString errorBoxText(qint32 n, const QString& reply);
    void clearTree();
    void clearList();
    void beginTransfer(const QString& name, qint64 size);
    void endTransfer(bool arrived, bool upload, bool cancelled);
    void showTransferProgress(bool upload, qint64 bytes);
    QAction* makeAction(const Command& command, QObject* parent);
    void showContextMenu(Place place, const QPoint& globalPos);
    void loadConnectChoices();
    void saveConnectChoices();
    // View mode, sizes, columns and sort of the list, kept between runs.
    void loadListState();
    void saveListState();
    // The folder a file dialog opened in last (a settings key), while it exists.
    QString rememberedFolder(const char* key) const;
    void rememberFolder(const char* key, const QString& path, bool isFile);
    Prompts::Answer ask(const QString& text, Prompts::Buttons buttons, Prompts::Icon icon,
                        const QString& title = {});
    void createMenus();
    void createToolbar();
    void createPanes();
    void applyLegendColours();
    // Colours every log line again for the palette now in use.
    void recolourLog();
    void Form_Load();
    void Form_Unload();
    void savePlacement();
    void placeControl(QWidget* control, std::optional<int> left, std::optional<int> top,
                      std::optional<int> width, std::optional<int> height);
    int bandHeight() const;
    int statusHeight() const;

    Prompts& m_Prompts;
    QString m_InitialHost;
    Keyring* m_Keyring = nullptr;
    std::unique_ptr<Keyring> m_OwnKeyring;
    // A link's file, selected after the first listing; why its path failed.
    QString m_StartFile;
    QString m_StartFolderProblem;
    QString m_ProgramDirectory;
    std::function<bool(const QString&)> m_ShellOpenDocument;
    std::function<bool(const QString&)> m_ShellOpenUrl;
    NodeIndex m_Nodes;
    NodeRef m_ListedNode;
    PaneDrops* m_Drops = nullptr;
    WindowTransfers* m_Transfers = nullptr;
    QueuePane* m_QueuePane = nullptr;
    QLabel* sbQueue = nullptr;
    // The node a running listing is for (the title at state 8).
    NodeRef m_ListingNode;
    QTimer* m_KeyboardListTimer = nullptr;
    bool m_SelectingNode = false;
    QList<QAction*> m_ToolbarButtons;
    QActionGroup* m_ViewGroup = nullptr;
    QList<QPointer<QWidget>> m_OpenWindows;
    QPointer<about> m_About;
    QPointer<HelpViewer> m_HelpViewer;
    QHash<const QWidget*, QRect> m_TwipsGeometry;

    bool m_bMoving = false;
    int m_SplitterLeft = MainLayout::DefaultSplitterLeft;
    int m_GhostLeft = 0;
    int m_GripPressX = 0;
    // The kind whose colour the log writes in (a message of an unknown
    // kind goes on in it), kept in each line's format under LogKindProperty.
    int m_LogKind = CFtpConnection::ApplicationMessage;
    static constexpr int LogKindProperty = 0x100000 + 1; // QTextFormat::UserProperty + 1
    double m_ProgressValue = 0.01;
    qint16 m_LocaleCharset = 0;
    bool m_Unloaded = false;
    QRect m_PlacementTwips;
    int m_LogHeight = MainLayout::LogHeight;
    // The title pane's height: the design's, or more for a larger font.
    int m_TitleHeight = 660;
    int m_LogDragOffset = 0;
    // Right edge of the title label's room (twips), from the last layout.
    int m_TitleLabelRight = 0;

    SessionView m_SessionView = SessionView::Disconnected;
    // Engine calls running, and what the innermost one does.
    int m_EngineCalls = 0;
    QString m_Activity;
    // The user chose Stop while an engine call ran.
    bool m_StopAsked = false;
    // Every action made from the command table, for updateCommands.
    QList<QPointer<QAction>> m_CommandActions;

    // Transfer figures for the status bar.
    QElapsedTimer m_TransferClock;
    qint64 m_TransferStartBytes = 0;
    qint64 m_ProgressShownAt = -1;
    int m_ProgressInterval = ProgressIntervalMs;
    int m_ProgressUpdates = 0;
};
