#include "frmMain.h"

#include "Artwork.h"
#include "CFtpConnection.h"
#include "Desktop.h"
#include "DesktopShell.h"
#include "FileListView.h"
#include "HelpViewer.h"
#include "Keyring.h"
#include "LogColours.h"
#include "MLocaleInfo.h"
#include "Prompts.h"
#include "QueuePane.h"
#include "ServerAddress.h"
#include "Twips.h"
#include "about.h"
#include "frmCertificates.h"
#include "frmConnect.h"
#include "frmWelcomeMessage.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFrame>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>
#include <limits>

const QString frmMain::ProductPage = QStringLiteral("https://krellin.example.org/download/");
const QString frmMain::HelpFileName = QStringLiteral("Krellin.Hlp");

namespace {

// Fixed extents of the panes' parts, in twips.
constexpr int TitleHeight = 660;
constexpr int IconSize = 480;
constexpr int ProgressLeft = 120;
constexpr int ProgressTop = 390;
constexpr int ProgressHeight = 135;
constexpr int HolderTop = 30;
constexpr int HolderHeight = 330;
constexpr int GripWidth = 150;
constexpr int MinimumBandHeight = 390;

const char* const NoToolTip = "krellinNoToolTip";

QFrame* legendSquare(QWidget* parent) {
    auto* square = new QFrame(parent);
    square->setAutoFillBackground(true);
    return square;
}

} // namespace

frmMain::frmMain(Prompts& prompts, QWidget* parent)
    : QMainWindow(parent), m_Prompts(prompts),
      m_ProgramDirectory(QCoreApplication::applicationDirPath()),
      m_ShellOpenDocument(DesktopShell::openDocument),
      m_ShellOpenUrl([](const QString& url) { return DesktopShell::openUrl(QUrl(url)); }) {
    setWindowTitle(QStringLiteral("Krellin"));
    setWindowIcon(Artwork::programIcon());
    client = new QWidget(this);
    setCentralWidget(client);
    createMenus();
    createPanes();
    createDrops();
    createToolbar();
    client->installEventFilter(this);
    setMinimumSize(toPixels(MainLayout::MinimumWindowWidth),
                   toPixels(MainLayout::MinimumWindowHeight));
    Form_Load();
}

frmMain::~frmMain() = default;

// ----------------------------------------------------------------- creation

QAction* frmMain::makeAction(const Command& command, QObject* parent) {
    const QString key = QString::fromLatin1(command.key);
    QString text = tr(command.menuText);
    // Shown beside the item; the key itself is handled by the list and tree.
    if (!command.shortcut.isEmpty())
        text += QLatin1Char('\t') + command.shortcut.toString(QKeySequence::NativeText);
    auto* action = new QAction(text, parent);
    action->setObjectName(key);
    action->setData(key);
    action->setEnabled(commandEnabled(command));
    connect(action, &QAction::triggered, this, [this, key] { runTableCommand(key); });
    m_CommandActions << action;
    return action;
}

void frmMain::createMenus() {
    QMenuBar* bar = menuBar();
    // Menus list the table's commands by key; "-" is a separator.
    auto fill = [this](QMenu* menu, std::initializer_list<const char*> keys) {
        QList<QAction*> made;
        for (const char* key : keys) {
            if (QLatin1String(key) == QLatin1String("-"))
                made << menu->addSeparator();
            else
                menu->addAction(made.emplace_back(makeAction(*command(QLatin1String(key)), menu)));
        }
        return made;
    };
    mnuFile = bar->addMenu(tr("&File"));
    const QList<QAction*> file = fill(mnuFile, {"Connect", "Stop", "-", "Download", "Upload",
                                                "UploadFolder", "-", "Close", "Quit"});
    mnuConnect = file[0];
    mnuStop = file[1];
    mnuDownload = file[3];
    mnuUpload = file[4];
    mnuFileClose = file[7];
    mnuSiteManager = makeAction(*command(QStringLiteral("SiteManager")), mnuFile);
    mnuFile->insertAction(mnuStop, mnuSiteManager);
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::mnuFile_Click);

    mnuEdit = bar->addMenu(tr("&Edit"));
    const QList<QAction*> edit =
        fill(mnuEdit, {"Rename", "Delete", "-", "CreateDirectory", "RemoveDirectory"});
    mnuRename = edit[0];
    mnuDelete = edit[1];
    mnuCreateDir = edit[3];
    mnuRemoveDir = edit[4];
    connect(mnuEdit, &QMenu::aboutToShow, this, &frmMain::mnuEdit_Click);

    mnuView = bar->addMenu(tr("&View"));
    mnuViewToolbar = mnuView->addAction(tr("&Toolbar"));
    mnuViewToolbar->setCheckable(true);
    mnuViewToolbar->setChecked(true);
    mnuViewStatusBar = mnuView->addAction(tr("Status &Bar"));
    mnuViewStatusBar->setCheckable(true);
    mnuViewStatusBar->setChecked(true);
    // The check mark is inverted by Qt before these run.
    connect(mnuViewToolbar, &QAction::toggled, this, [this](bool checked) {
        CoolBar1->setVisible(checked);
        SizeControls(m_SplitterLeft);
    });
    connect(mnuViewStatusBar, &QAction::toggled, this, [this](bool checked) {
        sbStatusBar->setVisible(checked);
        SizeControls(m_SplitterLeft);
    });
    mnuView->addSeparator();
    const QList<QAction*> modes =
        fill(mnuView, {"View Large Icons", "View Small Icons", "View List", "View Details", "-",
                       "Refresh", "UpLevel"});
    for (int i = 0; i < 4; ++i)
        mnuListViewMode[i] = modes[i];
    mnuRefresh = modes[5];
    mnuUpLevel = modes[6];
    mnuExactSizes = new QAction(tr("Si&zes in Bytes"), mnuView);
    mnuExactSizes->setCheckable(true);
    mnuView->insertAction(modes[4], mnuExactSizes);
    connect(mnuExactSizes, &QAction::toggled, this,
            [this](bool exact) { lvListView->setExactSizes(exact); });
    sep5 = mnuView->addSeparator();
    sep5->setVisible(false);
    mnuOptions = mnuView->addAction(tr("&Options..."));
    mnuOptions->setVisible(false);
    mnuView->addSeparator();
    mnuCertificates =
        mnuView->addAction(tr("&Certificates..."), this, &frmMain::mnuCertificates_Click);
    fill(mnuView, {"TransferSettings"});
    connect(mnuView, &QMenu::aboutToShow, this, &frmMain::mnuView_Click);

    mnuHelp = bar->addMenu(tr("&Help"));
    help = mnuHelp->addAction(tr("&Help Topics"), this, &frmMain::help_Click);
    help->setShortcut(QKeySequence(Qt::Key_F1));
    mnuHelp->addSeparator();
    Download = mnuHelp->addAction(tr("&Download latest version"), this, &frmMain::Download_Click);
    mnuHelp->addSeparator();
    mnuHelpAbout = mnuHelp->addAction(tr("&About "), this, &frmMain::mnuHelpAbout_Click);
    connect(mnuHelp, &QMenu::aboutToShow, this, &frmMain::mnuHelp_Click);
}

void frmMain::createToolbar() {
    CoolBar1 = new QFrame(client);
    CoolBar1->setFrameShape(QFrame::StyledPanel);
    CoolBar1->setFrameShadow(QFrame::Raised);
    tbToolBar = new QToolBar(CoolBar1);
    tbToolBar->setIconSize(QSize(22, 20));
    tbToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbToolBar->setMovable(false);
    tbToolBar->setFloatable(false);
    auto* layout = new QHBoxLayout(CoolBar1);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->addWidget(tbToolBar);
    layout->addStretch(1);

    // The toolbar's own actions: menus grey their items while the engine is
    // busy, the buttons never do.
    static const char* const buttons[] = {
        "Connect",          "-",         "UpLevel",      "-",      "Stop",
        "Refresh",          "-",         "Download",     "Upload", "-",
        "CreateDirectory",  "Delete",    "Rename",       "-",      "View Large Icons",
        "View Small Icons", "View List", "View Details",
    };
    m_ViewGroup = new QActionGroup(this);
    m_ViewGroup->setExclusive(true);
    for (const char* key : buttons) {
        if (QLatin1String(key) == QLatin1String("-")) {
            m_ToolbarButtons << tbToolBar->addSeparator();
            continue;
        }
        const Command& row = *command(QLatin1String(key));
        QAction* action = makeAction(row, tbToolBar);
        action->setText(QString::fromLatin1(row.key));
        action->setIcon(Artwork::toolbarIcon(row.image));
        tbToolBar->addAction(action);
        if (row.toolTip) {
            action->setToolTip(tr(row.toolTip));
        } else {
            action->setProperty(NoToolTip, true);
            tbToolBar->widgetForAction(action)->installEventFilter(this);
        }
        if (row.image >= 10) {
            action->setCheckable(true);
            m_ViewGroup->addAction(action);
        }
        m_ToolbarButtons << action;
    }
    toolbarButton(18)->setChecked(true);
    CoolBar1->lower();
    CoolBar1->installEventFilter(this);
}

void frmMain::createPanes() {
    // Created bottom-most first, so later panes cover the splitter grip.
    imgSplitter = new QWidget(client);
    imgSplitter->setCursor(Qt::SplitHCursor);
    imgSplitter->installEventFilter(this);

    tvTreeView = new QTreeWidget(client);
    tvTreeView->setHeaderHidden(true);
    tvTreeView->setColumnCount(1);
    tvTreeView->setIconSize(QSize(16, 16));
    tvTreeView->setUniformRowHeights(true);
    // Deep paths scroll sideways instead of cutting names short.
    tvTreeView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tvTreeView->header()->setStretchLastSection(false);
    m_Nodes.setTree(tvTreeView);
    connect(tvTreeView, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { tvTreeView_NodeClick(item); });
    // A folder reached with the keys is listed once the selection rests, as
    // file managers do; a click lists at once and cancels the wait.
    m_KeyboardListTimer = new QTimer(this);
    m_KeyboardListTimer->setSingleShot(true);
    m_KeyboardListTimer->setInterval(KeyboardListDelayMs);
    connect(tvTreeView, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current && !m_SelectingNode)
            m_KeyboardListTimer->start();
    });
    connect(m_KeyboardListTimer, &QTimer::timeout, this, [this] {
        // A mouse press or an open menu is not a resting selection; while a
        // question is open or the engine is busy, the folder is listed after.
        if (QApplication::mouseButtons() != Qt::NoButton || QApplication::activePopupWidget() ||
            QApplication::activeModalWidget() || working()) {
            m_KeyboardListTimer->start();
            return;
        }
        QTreeWidgetItem* node = tvTreeView->currentItem();
        if (node && node != m_ListedNode.get())
            tvTreeView_NodeClick(node);
    });
    tvTreeView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tvTreeView, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        showContextMenu(InTree, tvTreeView->viewport()->mapToGlobal(pos));
    });
    tvTreeView->installEventFilter(this);
    tvTreeView->viewport()->installEventFilter(this);
    // Nodes with an expanded image show it while open.
    auto showImage = [](QTreeWidgetItem* item, bool expanded) {
        const int expandedImage = item->data(0, TreeExpandedImageRole).toInt();
        const int image = item->data(0, TreeImageRole).toInt();
        const int shown = expanded && expandedImage > 0 ? expandedImage : image;
        if (shown > 0)
            item->setIcon(0, Artwork::treeIcon(shown));
    };
    connect(tvTreeView, &QTreeWidget::itemExpanded, this,
            [showImage](QTreeWidgetItem* item) { showImage(item, true); });
    connect(tvTreeView, &QTreeWidget::itemCollapsed, this,
            [showImage](QTreeWidgetItem* item) { showImage(item, false); });

    lvListView = new FileListView(client);
    connect(lvListView, &FileListView::itemDoubleClicked, this, &frmMain::lvListView_DblClick);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(lvListView->detailsView()),
                                    static_cast<QAbstractItemView*>(lvListView->iconView())}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& pos) {
            showContextMenu(InList, view->viewport()->mapToGlobal(pos));
        });
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
    }
    connect(lvListView, &FileListView::viewModeChanged, this, [this](int mode) {
        if (QAction* button = toolbarButton(mode + 15))
            button->setChecked(true);
    });

    picTitle = new QFrame(client);
    picTitle->setAutoFillBackground(true);
    QPalette titlePalette = picTitle->palette();
    titlePalette.setColor(QPalette::Window, titlePalette.color(QPalette::Dark));
    const QColor titleText = titlePalette.color(QPalette::HighlightedText);
    // Only the captions turn light: the check and option indicators keep
    // their dark marks on their own light boxes, or a ticked box looks empty.
    titlePalette.setColor(QPalette::WindowText, titleText);
    picTitle->setPalette(titlePalette);

    Label1 = new QLabel(picTitle);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label1->setTextFormat(Qt::PlainText);
    Label1->move(toPixels(120), toPixels(120));
    // The padlock of a protected session, in front of the title.
    imgLock = new QLabel(picTitle);
    imgLock->setPixmap(Artwork::padlockPixmap(Label1->sizeHint().height()));
    imgLock->setToolTip(tr("Encrypted"));
    imgLock->move(toPixels(120), toPixels(120));
    imgLock->adjustSize();
    imgLock->hide();

    Picture1 = new QWidget(picTitle);
    Check1 = new QCheckBox(tr("&Passive Mode"), Picture1);
    Option1[0] = new QRadioButton(tr("&ASCII"), Picture1);
    Option1[1] = new QRadioButton(tr("&Image"), Picture1);
    Option1[1]->setChecked(true);
    // At their design places unless a larger font (or a longer translation)
    // needs more room: then each follows the one before it, and the title
    // pane grows to the options' height.
    const int optionLefts[] = {120, 1680, 2520};
    QWidget* options[] = {Check1, Option1[0], Option1[1]};
    int optionHeight = HolderHeight - 40;
    for (QWidget* option : options)
        optionHeight = std::max(optionHeight, toTwips(option->sizeHint().height()));
    const int holderHeight = optionHeight + 40;
    int holderWidth = 0;
    for (int i = 0; i < 3; ++i) {
        const int left = std::max(optionLefts[i], i == 0 ? 0 : toTwips(holderWidth) + 120);
        options[i]->setGeometry(toPixels(left), toPixels(40), options[i]->sizeHint().width(),
                                toPixels(optionHeight));
        holderWidth = options[i]->geometry().right() + 1;
    }
    m_TwipsGeometry[Picture1] = QRect(0, HolderTop, toTwips(holderWidth), holderHeight);
    Picture1->setGeometry(0, toPixels(HolderTop), holderWidth, toPixels(holderHeight));
    const int progressTop = HolderTop + holderHeight + (ProgressTop - HolderTop - HolderHeight);
    m_TitleHeight = std::max(TitleHeight, progressTop + ProgressHeight + TitleHeight - ProgressTop -
                                              ProgressHeight);
    connect(Check1, &QCheckBox::clicked, this, &frmMain::Check1_Click);
    connect(Option1[0], &QRadioButton::clicked, this, [this] { Option1_Click(0); });
    connect(Option1[1], &QRadioButton::clicked, this, [this] { Option1_Click(1); });

    ProgressBar1 = new QProgressBar(picTitle);
    ProgressBar1->setRange(0, 10000); // hundredths of a percent
    ProgressBar1->setValue(1);
    ProgressBar1->setTextVisible(false);
    m_TwipsGeometry[ProgressBar1] = QRect(ProgressLeft, progressTop, 3495, ProgressHeight);
    ProgressBar1->setGeometry(toPixels(ProgressLeft), toPixels(progressTop), toPixels(3495),
                              toPixels(ProgressHeight));

    imgIcon = new QLabel(picTitle);
    imgIcon->setPixmap(Artwork::programPixmap(toPixels(IconSize)));
    const int iconTop = (m_TitleHeight - IconSize) / 2;
    m_TwipsGeometry[imgIcon] = QRect(0, iconTop, IconSize, IconSize);
    imgIcon->setGeometry(0, toPixels(iconTop), toPixels(IconSize), toPixels(IconSize));

    txtMessages = new QTextEdit(client);
    txtMessages->setReadOnly(true);
    txtMessages->setAcceptRichText(false);
    txtMessages->setUndoRedoEnabled(false);

    picLegend = new QFrame(client);
    picLegend->setFrameShape(QFrame::StyledPanel);
    picLegend->setAutoFillBackground(true);
    Label2 = new QLabel(tr("User command"), picLegend);
    Label3 = new QLabel(tr("Server response"), picLegend);
    Label4 = new QLabel(tr("Server bad response"), picLegend);
    Label5 = new QLabel(tr("Application message"), picLegend);
    Shape2 = legendSquare(picLegend);
    Shape1 = legendSquare(picLegend);
    Shape3 = legendSquare(picLegend);
    Shape4 = legendSquare(picLegend);
    applyLegendColours();
    QLabel* labels[] = {Label2, Label3, Label4, Label5};
    QFrame* squares[] = {Shape2, Shape1, Shape3, Shape4};
    // The labels must fit whatever font the desktop gives them: rows 240
    // twips apart unless the text is taller.
    int legendWidth = 1935;
    int pitch = 240;
    for (QLabel* label : labels) {
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        label->setFont(small);
        label->adjustSize();
        pitch = std::max(pitch, toTwips(label->height()));
        legendWidth = std::max(legendWidth, 360 + toTwips(label->width()) + 150);
    }
    for (int row = 0; row < 4; ++row) {
        labels[row]->move(toPixels(360), toPixels(80 + pitch * row));
        squares[row]->setGeometry(toPixels(120), toPixels(120 + pitch * row + (pitch - 240) / 2),
                                  toPixels(135), toPixels(135));
    }
    const int legendHeight = std::max(1095, 80 + 4 * pitch + 55);
    m_TwipsGeometry[picLegend] = QRect(4560, 5760, legendWidth, legendHeight);
    picLegend->resize(toPixels(legendWidth), toPixels(legendHeight));

    // The grip between the panes and the log: dragging it sets the log's height.
    imgLogSplitter = new QWidget(client);
    imgLogSplitter->setCursor(Qt::SplitVCursor);
    imgLogSplitter->installEventFilter(this);

    picSplitter = new QFrame(client);
    picSplitter->setAutoFillBackground(true);
    QPalette ghost = picSplitter->palette();
    ghost.setColor(QPalette::Window, ghost.color(QPalette::Highlight));
    picSplitter->setPalette(ghost);
    picSplitter->hide();

    sbStatusBar = new QStatusBar(client);
    sbStatusBar->setSizeGripEnabled(false);
    sbPanel1 = new QLabel(sbStatusBar);
    sbPanel1->setTextFormat(Qt::PlainText);
    sbStatusBar->addWidget(sbPanel1, 1);
    createQueuePane();
}

void frmMain::applyLegendColours() {
    // The legend sits on the log's background colour and follows its palette.
    QPalette legendPalette = picLegend->palette();
    legendPalette.setColor(QPalette::Window, txtMessages->palette().color(QPalette::Base));
    legendPalette.setColor(QPalette::WindowText, txtMessages->palette().color(QPalette::Text));
    picLegend->setPalette(legendPalette);
    QFrame* squares[] = {Shape2, Shape1, Shape3, Shape4};
    for (int kind = 0; kind < 4; ++kind) {
        QPalette palette = squares[kind]->palette();
        palette.setColor(QPalette::Window, LogColours::forLegend(kind, txtMessages->palette()));
        squares[kind]->setPalette(palette);
    }
}

void frmMain::recolourLog() {
    // The runs are read first: changing formats merges fragments under a walk.
    struct Run {
        int position;
        int length;
        int kind;
    };
    QList<Run> runs;
    for (QTextBlock block = txtMessages->document()->begin(); block.isValid();
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QVariant kind = fragment.charFormat().property(LogKindProperty);
            if (kind.isValid())
                runs.append({fragment.position(), fragment.length(), kind.toInt()});
        }
    }
    const QPalette palette = txtMessages->palette();
    QTextCursor cursor(txtMessages->document());
    for (const Run& run : std::as_const(runs)) {
        QTextCharFormat format;
        format.setForeground(LogColours::forMessage(run.kind, palette));
        cursor.setPosition(run.position);
        cursor.setPosition(run.position + run.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

void frmMain::changeEvent(QEvent* event) {
    // A theme switched while the program runs: the legend and the log's
    // lines take the colours readable on the new palette.
    if (event->type() == QEvent::PaletteChange && picLegend) {
        applyLegendColours();
        recolourLog();
    }
    QMainWindow::changeEvent(event);
}

// ------------------------------------------------------------ load / unload

void frmMain::Form_Load() {
    // Qt chooses a font for each script by itself; the character set is
    // kept on the three controls for whoever draws their text.
    m_LocaleCharset = MLocaleInfo::GetLocaleCharset();
    for (QWidget* control : {static_cast<QWidget*>(tvTreeView), static_cast<QWidget*>(lvListView),
                             static_cast<QWidget*>(txtMessages)})
        control->setProperty("charset", m_LocaleCharset);

    // With no stored size the window gets one that shows the whole toolbar, a
    // tree for typical names and a useful list; with no stored position it
    // opens centred. A stored size below the minimum grows to it.
    using platform::Desktop::settingNumber;
    const QString section = QString::fromLatin1(SettingsSection);
    constexpr qint32 Missing = std::numeric_limits<qint32>::min();
    int left = settingNumber(section, QStringLiteral("MainLeft"), Missing);
    int top = settingNumber(section, QStringLiteral("MainTop"), Missing);
    int width = settingNumber(section, QStringLiteral("MainWidth"), Missing);
    int height = settingNumber(section, QStringLiteral("MainHeight"), Missing);
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    int defaultWidth = 0;
    int defaultHeight = 0;
    MainLayout::defaultSize(area.width(), area.height(), defaultWidth, defaultHeight);
    if (width == Missing)
        width = toTwips(defaultWidth);
    if (height == Missing)
        height = toTwips(defaultHeight);
    width = std::max(width, MainLayout::MinimumWindowWidth);
    height = std::max(height, MainLayout::MinimumWindowHeight);
    if (left == Missing)
        left = toTwips(area.x() + std::max(0, (area.width() - toPixels(width)) / 2));
    if (top == Missing)
        top = toTwips(area.y() + std::max(0, (area.height() - toPixels(height)) / 2));
    // Left and top place the window's own area, the same measure that is
    // saved, so a placement read back never drifts by the frame's size.
    setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
    m_PlacementTwips = QRect(left, top, width, height);
    m_SplitterLeft = settingNumber(section, QStringLiteral("SplitterLeft"),
                                   MainLayout::initialSplitterLeft(width));
    m_LogHeight =
        std::max(MainLayout::MinimumLogHeight,
                 settingNumber(section, QStringLiteral("LogHeight"), MainLayout::LogHeight));
    loadConnectChoices();
    loadListState();

    m_FtpConnection = new CFtpConnection(this);
    m_FtpConnection->setTimeout(60);
    m_FtpConnection->setPassiveMode(Check1->isChecked());
    m_FtpConnection->setWindowHandle(static_cast<qint32>(winId()));
    m_FtpConnection->setCertificateQuestion(
        [this](const platform::TlsPeer& peer) { return askAboutCertificate(peer); });
    m_FtpConnection->setDowngradeQuestion(
        [this](CFtpConnection::Downgrade what) { return askAboutDowngrade(what); });
    connect(m_FtpConnection, &CFtpConnection::StateChanged, this,
            &frmMain::m_FtpConnection_StateChanged);
    connect(m_FtpConnection, &CFtpConnection::DownloadProgress, this,
            &frmMain::m_FtpConnection_DownloadProgress);
    connect(m_FtpConnection, &CFtpConnection::UploadProgress, this,
            &frmMain::m_FtpConnection_UploadProgress);
    connect(m_FtpConnection, &CFtpConnection::ListingDataArrived, this,
            &frmMain::m_FtpConnection_ListingDataArrived);
    connect(m_FtpConnection, &CFtpConnection::SessionProtocolMessage, this,
            &frmMain::m_FtpConnection_SessionProtocolMessage);
    updateCommands();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!m_Unloaded)
        Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    m_Unloaded = true;
    if (m_FtpConnection) {
        m_FtpConnection->CancelAnyCall();
        // An engine wait may be running further up this very stack (the close
        // arrived while it pumped events): the engine goes once that wait has
        // returned, never under its feet.
        m_FtpConnection->deleteLater();
    }
    for (int i = m_OpenWindows.size() - 1; i >= 0; --i) {
        if (QWidget* window = m_OpenWindows.at(i))
            window->close();
    }
    m_OpenWindows.clear();
    saveConnectChoices();
    saveListState();
    platform::Desktop::setSettingNumber(QString::fromLatin1(SettingsSection),
                                        QStringLiteral("LogHeight"), m_LogHeight);
    platform::Desktop::setSettingNumber(QString::fromLatin1(SettingsSection),
                                        QStringLiteral("SplitterLeft"), m_SplitterLeft);
    if (!isMinimized())
        savePlacement();
}

void frmMain::savePlacement() {
    using platform::Desktop::setSettingNumber;
    const QString section = QString::fromLatin1(SettingsSection);
    const QRect placement = placementTwips();
    setSettingNumber(section, QStringLiteral("MainLeft"), placement.left());
    setSettingNumber(section, QStringLiteral("MainTop"), placement.top());
    setSettingNumber(section, QStringLiteral("MainWidth"), placement.width());
    setSettingNumber(section, QStringLiteral("MainHeight"), placement.height());
}

QRect frmMain::placementTwips() const {
    auto pick = [this](int stored, int pixels) {
        return toPixels(stored) == pixels ? stored : toTwips(pixels);
    };
    return QRect(
        pick(m_PlacementTwips.left(), geometry().x()), pick(m_PlacementTwips.top(), geometry().y()),
        pick(m_PlacementTwips.width(), width()), pick(m_PlacementTwips.height(), height()));
}

void frmMain::registerWindow(QWidget* window) {
    m_OpenWindows.removeAll(nullptr);
    m_OpenWindows.removeAll(window);
    m_OpenWindows << window;
}

frmWelcomeMessage* frmMain::showMessageWindow(const QString& caption, const QString& text) {
    auto* window = new frmWelcomeMessage(this);
    window->setWindowTitle(caption);
    window->setMessage(text);
    registerWindow(window);
    window->show();
    return window;
}

// ------------------------------------------------------------------ layout

int frmMain::toTwips(int pixels) const {
    return Twips::fromPixels(this, pixels);
}

int frmMain::toPixels(int twips) const {
    return Twips::toPixels(this, twips);
}

QRect frmMain::twipsGeometry(const QWidget* control) const {
    return m_TwipsGeometry.value(control);
}

int frmMain::bandHeight() const {
    return std::max(MinimumBandHeight, toTwips(CoolBar1->sizeHint().height()));
}

int frmMain::statusHeight() const {
    return toTwips(sbStatusBar->sizeHint().height());
}

MainLayout::Input frmMain::layoutInput(int x) const {
    MainLayout::Input in;
    in.splitterLeft = x;
    in.windowWidth = placementTwips().width();
    in.clientWidth = toTwips(client->width());
    in.clientHeight = toTwips(client->height());
    in.bandVisible = !CoolBar1->isHidden();
    in.bandHeight = bandHeight();
    in.statusVisible = !sbStatusBar->isHidden();
    in.statusHeight = statusHeight();
    in.titleHeight = m_TitleHeight;
    in.iconWidth = IconSize;
    in.progressLeft = ProgressLeft;
    in.holderWidth = twipsGeometry(Picture1).width();
    in.legendWidth = twipsGeometry(picLegend).width();
    in.legendHeight = twipsGeometry(picLegend).height();
    in.minimumListWidth = in.progressLeft + in.holderWidth + in.iconWidth + 140;
    in.logHeight = m_LogHeight;
    in.queueWidth = m_QueuePane ? in.clientWidth * 45 / 100 : 0;
    return in;
}

void frmMain::placeControl(QWidget* control, std::optional<int> left, std::optional<int> top,
                           std::optional<int> width, std::optional<int> height) {
    QRect r = m_TwipsGeometry.value(control,
                                    QRect(toTwips(control->x()), toTwips(control->y()),
                                          toTwips(control->width()), toTwips(control->height())));
    if (left)
        r.moveLeft(*left);
    if (top)
        r.moveTop(*top);
    if (width)
        r.setWidth(*width);
    if (height)
        r.setHeight(*height);
    m_TwipsGeometry[control] = r;
    control->setGeometry(toPixels(r.left()), toPixels(r.top()), toPixels(r.width()),
                         toPixels(r.height()));
}

void frmMain::SizeControls(int x) {
    const MainLayout::Input in = layoutInput(x);
    // The band and the status bar keep to the top and bottom edges.
    const int band = in.bandHeight;
    const int status = in.statusHeight;
    placeControl(CoolBar1, 0, 0, in.clientWidth, band);
    placeControl(sbStatusBar, 0, in.clientHeight - status, in.clientWidth, status);

    const MainLayout::Result r = MainLayout::compute(in);
    using std::nullopt;
    placeControl(tvTreeView, 0, r.treeTop, r.treeWidth, r.treeHeight);
    placeControl(imgSplitter, r.gripLeft, r.gripTop, GripWidth, r.gripHeight);
    placeControl(lvListView, r.listLeft, r.listTop, r.listWidth, r.listHeight);
    placeControl(picTitle, r.titleLeft, r.titleTop, r.titleWidth, m_TitleHeight);
    placeControl(imgIcon, r.iconLeft, nullopt, nullopt, nullopt);
    placeControl(ProgressBar1, nullopt, nullopt, r.progressWidth, nullopt);
    placeControl(Picture1, r.holderLeft, nullopt, nullopt, nullopt);
    placeControl(txtMessages, 0, r.logTop, r.logWidth, r.logHeight);
    if (m_QueuePane)
        placeControl(m_QueuePane, r.queueLeft, r.logTop, r.queueWidth, r.logHeight);
    if (r.logTop) {
        // Over the gap between the panes and the log, a little into both so
        // that it is easy to catch.
        placeControl(imgLogSplitter, 0, *r.logTop - 70, r.logWidth, 100);
        imgLogSplitter->raise();
    }
    placeControl(picLegend, r.legendLeft, r.legendTop, nullopt, nullopt);
    if (r.logTop) {
        picLegend->setVisible(r.legendShown);
        // Log lines wrap before the legend instead of running under it.
        QTextFrameFormat frame = txtMessages->document()->rootFrame()->frameFormat();
        const int margin = r.legendShown ? toPixels(in.legendWidth + 300) : 0;
        if (frame.rightMargin() != margin) {
            frame.setRightMargin(margin);
            txtMessages->document()->rootFrame()->setFrameFormat(frame);
        }
    }
    if (r.gripLeft)
        m_SplitterLeft = *r.gripLeft;
    if (r.titleWidth) {
        m_TitleLabelRight = r.holderLeft.value_or(*r.titleWidth) - 60;
        placeTitleLabel();
    }
    picLegend->raise();

    // Drawing resumes even when the layout stopped early: a window that
    // never repaints would be worse than one laid out in part.
    for (QWidget* pane : {static_cast<QWidget*>(tvTreeView), static_cast<QWidget*>(lvListView),
                          static_cast<QWidget*>(picTitle), static_cast<QWidget*>(txtMessages),
                          static_cast<QWidget*>(picLegend)})
        pane->setUpdatesEnabled(true);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized())
        return;
    const QRect placement = placementTwips();
    if (placement.width() < MainLayout::MinimumWindowWidth ||
        placement.height() < MainLayout::MinimumWindowHeight)
        resize(std::max(width(), toPixels(MainLayout::MinimumWindowWidth)),
               std::max(height(), toPixels(MainLayout::MinimumWindowHeight)));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // While the engine works the panes take no clicks: nothing a click could
    // start may run, and the selection stays on what the command acts on.
    if (working() &&
        (watched == tvTreeView->viewport() || watched == lvListView->detailsView()->viewport() ||
         watched == lvListView->iconView()->viewport())) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
            return true;
        default:
            break;
        }
    }
    if (watched == client && event->type() == QEvent::Resize) {
        if (!isMinimized())
            SizeControls(m_SplitterLeft);
    } else if (watched == CoolBar1 && event->type() == QEvent::LayoutRequest) {
        // The band's height follows its toolbar (a style or font change).
        if (!CoolBar1->isHidden() && twipsGeometry(CoolBar1).height() != bandHeight())
            SizeControls(m_SplitterLeft);
    } else if (watched == imgLogSplitter) {
        const auto* mouse = event->isPointerEvent() ? static_cast<QMouseEvent*>(event) : nullptr;
        if (event->type() == QEvent::MouseButtonPress && mouse &&
            mouse->button() == Qt::LeftButton) {
            m_LogDragOffset = qRound(mouse->position().y());
            return true;
        }
        if (event->type() == QEvent::MouseMove && mouse && (mouse->buttons() & Qt::LeftButton)) {
            imgLogSplitter_Drag(imgLogSplitter->mapTo(client, mouse->position().toPoint()).y() -
                                m_LogDragOffset);
            return true;
        }
    } else if (event->type() == QEvent::KeyPress &&
               (watched == tvTreeView || watched == lvListView->detailsView() ||
                watched == lvListView->iconView())) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (keyCommand(watched == tvTreeView ? InTree : InList,
                       QKeySequence(key->keyCombination())))
            return true;
        // Nor do they move their selection while the engine works.
        if (working())
            return true;
    } else if (watched == imgSplitter) {
        // Only mouse events may be read as such: the splitter also sees
        // polish, resize and paint events.
        const auto* mouse = event->isPointerEvent() ? static_cast<QMouseEvent*>(event) : nullptr;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (mouse && mouse->button() == Qt::LeftButton)
                imgSplitter_MouseDown(qRound(mouse->position().x()));
            return true;
        case QEvent::MouseMove:
            if (mouse)
                imgSplitter_MouseMove(qRound(mouse->position().x()));
            return true;
        case QEvent::MouseButtonRelease:
            if (mouse && mouse->button() == Qt::LeftButton)
                imgSplitter_MouseUp();
            return true;
        default:
            break;
        }
    } else if (event->type() == QEvent::ToolTip) {
        // Buttons designed without a tooltip show none, not their key.
        if (auto* button = qobject_cast<QToolButton*>(watched)) {
            if (button->defaultAction() && button->defaultAction()->property(NoToolTip).toBool())
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::imgLogSplitter_Drag(int clientYPixels) {
    // The grip's top edge sits 70 twips above the log's top.
    const QRect log = twipsGeometry(txtMessages);
    const int wanted = log.top() + log.height() - (toTwips(clientYPixels) + 70);
    MainLayout::Input in = layoutInput(m_SplitterLeft);
    in.logHeight = wanted;
    m_LogHeight = MainLayout::logHeight(in);
    SizeControls(m_SplitterLeft);
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    // Keys that work in both panes work from anywhere in the window.
    if (keyCommand(Place(InList | InTree), QKeySequence(event->keyCombination())))
        return;
    QMainWindow::keyPressEvent(event);
}

void frmMain::imgSplitter_MouseDown(int /*mouseXPixels*/) {
    const QRect grip = twipsGeometry(imgSplitter);
    m_GhostLeft = grip.left();
    placeControl(picSplitter, grip.left(), grip.top(), GripWidth / 2, grip.height() - 20);
    picSplitter->show();
    picSplitter->raise();
    m_bMoving = true;
    // The panes stop drawing until the next layout; the ghost bar keeps moving.
    for (QWidget* pane : {static_cast<QWidget*>(tvTreeView), static_cast<QWidget*>(lvListView),
                          static_cast<QWidget*>(picTitle), static_cast<QWidget*>(txtMessages),
                          static_cast<QWidget*>(picLegend)})
        pane->setUpdatesEnabled(false);
}

void frmMain::imgSplitter_MouseMove(int mouseXPixels) {
    if (!m_bMoving)
        return;
    m_GhostLeft = MainLayout::ghostLeft(twipsGeometry(imgSplitter).left(), toTwips(mouseXPixels),
                                        placementTwips().width());
    placeControl(picSplitter, m_GhostLeft, std::nullopt, std::nullopt, std::nullopt);
}

void frmMain::imgSplitter_MouseUp() {
    if (!m_bMoving)
        return;
    SizeControls(m_GhostLeft);
    picSplitter->hide();
    m_bMoving = false;
}

// --------------------------------------------------------- view and helpers

void frmMain::mnuViewToolbar_Click() {
    mnuViewToolbar->toggle();
}

void frmMain::mnuViewStatusBar_Click() {
    mnuViewStatusBar->toggle();
}

void frmMain::mnuView_Click() {
    mnuOptions->setEnabled(!working());
    updateCommands();
}

void frmMain::mnuFile_Click() {
    updateCommands();
}

void frmMain::mnuEdit_Click() {
    updateCommands();
}

void frmMain::mnuHelp_Click() {
    mnuHelpAbout->setEnabled(!working());
}

void frmMain::mnuListViewMode_Click(int Index) {
    if (Index < 0 || Index > 3)
        return;
    lvListView->setViewMode(Index);
    toolbarButton(Index + 15)->setChecked(true);
}

QAction* frmMain::toolbarButton(int number) const {
    if (number < 1 || number > m_ToolbarButtons.size())
        return nullptr;
    return m_ToolbarButtons.at(number - 1);
}

QAction* frmMain::toolbarButton(const QString& key) const {
    for (QAction* action : m_ToolbarButtons) {
        if (!action->isSeparator() && action->data().toString() == key)
            return action;
    }
    return nullptr;
}

qint16 frmMain::GetImageNumber(const QString& strFileName) {
    const int dot = strFileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = (dot < 0 ? strFileName : strFileName.mid(dot + 1)).toLower();
    static const QStringList textLike = {
        QStringLiteral("asp"),
        QStringLiteral("asa"),
        QStringLiteral("inc"),
        QStringLiteral("css"),
        QStringLiteral("shtml"),
        QStringLiteral("txt"),
        QStringLiteral("htm"),
        QStringLiteral("html"),
        QStringLiteral("lst"),
        QStringLiteral("log"),
        QStringLiteral("ini"),
        QStringLiteral("inf"),
        QString(),
    };
    for (const QString& text : textLike) {
        if (extension == text)
            return 1;
    }
    return 2;
}

QString frmMain::FormatGroupedBlanks(qint64 value) {
    if (value < 0)
        return QString::number(value);
    const QString digits = QString::number(value);
    QString grouped;
    for (int i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped += QLatin1Char(' ');
        grouped += digits.at(i);
    }
    return grouped;
}

QString frmMain::nodeFullPath(const QTreeWidgetItem* node) {
    QStringList texts;
    for (const QTreeWidgetItem* n = node; n; n = n->parent())
        texts.prepend(n->text(0));
    return texts.join(QLatin1Char('/'));
}

QTreeWidgetItem* frmMain::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
                                  int image, int expandedImage) {
    return m_Nodes.add(parent, key, text, image, expandedImage);
}

// ------------------------------------------------------- log and status

void frmMain::m_FtpConnection_SessionProtocolMessage(const QString& strMessage, int MessageType) {
    // A message of no known kind takes the colour of the one before it.
    if (LogColours::forMessage(MessageType, txtMessages->palette()).isValid())
        m_LogKind = MessageType;
    QString text = strMessage;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::Null, QChar::ReplacementCharacter);
    QTextCursor cursor(txtMessages->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    // Each kind's colour, made readable on the log's background; the kind
    // stays with the text so that a new palette can colour it anew.
    format.setForeground(LogColours::forMessage(m_LogKind, txtMessages->palette()));
    format.setProperty(LogKindProperty, m_LogKind);
    cursor.insertText(text + QLatin1Char('\n'), format);
    txtMessages->setTextCursor(cursor);
    txtMessages->ensureCursorVisible();
}

void frmMain::m_FtpConnection_StateChanged(int State) {
    static const char* const texts[] = {
        QT_TR_NOOP("Resolving host..."),
        QT_TR_NOOP("Host resolved"),
        QT_TR_NOOP("Connected"),
        QT_TR_NOOP("Authentication..."),
        QT_TR_NOOP("You are logged in. Connection ready."),
        QT_TR_NOOP("Establishing data connection..."),
        QT_TR_NOOP("Data connection established."),
        QT_TR_NOOP("Retrieving directory info..."),
        QT_TR_NOOP("Directory listing completed."),
        QT_TR_NOOP("Transfer in progress..."),
        QT_TR_NOOP("Transfer completed."),
    };
    if (State == CFtpConnection::DirectoryListingCompleted && m_FtpConnection) {
        // The folder being listed, or, outside a listing, the selected one.
        QTreeWidgetItem* node = m_ListingNode ? m_ListingNode.get() : tvTreeView->currentItem();
        if (node) {
            QString title = serverText() + nodeFullPath(node);
            title.replace(QLatin1String("//"), QLatin1String("/"));
            showTitle(title);
        }
    } else if (State == CFtpConnection::TransferCompleted) {
        setProgressValue(0.01);
        m_lTransferFileSize = 0;
        m_TransferClock.invalidate();
    }
    if (State == CFtpConnection::DirectoryListingCompleted && m_FtpConnection &&
        m_FtpConnection->ListingTruncated()) {
        // The server cut the listing short: it must not pass as complete.
        const QString warning = tr("Directory listing incomplete. Server: %1")
                                    .arg(m_FtpConnection->ListingTruncatedText());
        m_FtpConnection_SessionProtocolMessage(warning, CFtpConnection::ApplicationMessage);
        setStatusText(warning);
        return;
    }
    if (State >= 0 && State <= 10)
        setStatusText(tr(texts[State]));
    else
        setStatusText(QString());
}

void frmMain::m_FtpConnection_DownloadProgress(qint64 lBytes) {
    showTransferProgress(false, lBytes);
}

void frmMain::m_FtpConnection_UploadProgress(qint64 lBytes) {
    showTransferProgress(true, lBytes);
}

void frmMain::showTransferProgress(bool upload, qint64 bytes) {
    // Called for every block that arrives: all but a few calls a second
    // return here, so the window never slows a transfer down.
    if (!m_TransferClock.isValid()) {
        m_TransferClock.start();
        m_TransferStartBytes = bytes;
        m_ProgressShownAt = -1;
    }
    const qint64 now = m_TransferClock.elapsed();
    if (m_ProgressShownAt >= 0 && now - m_ProgressShownAt < m_ProgressInterval)
        return;
    m_ProgressShownAt = now;
    ++m_ProgressUpdates;

    const QLocale locale;
    const qint64 size = m_lTransferFileSize;
    QString figures;
    if (size > 0 && bytes <= size)
        figures = tr("%1 of %2 (%3 %)")
                      .arg(locale.formattedDataSize(bytes), locale.formattedDataSize(size),
                           QString::number(int(bytes * 100 / size)));
    else
        figures = locale.formattedDataSize(bytes);
    // A speed needs a moment of measuring before it means anything.
    const qint64 moved = bytes - m_TransferStartBytes;
    if (now >= 500 && moved > 0) {
        const double perSecond = moved * 1000.0 / double(now);
        figures +=
            QStringLiteral(", ") + tr("%1/s").arg(locale.formattedDataSize(qint64(perSecond)));
        if (size > 0 && bytes < size) {
            const qint64 left = qint64(std::ceil(double(size - bytes) / perSecond));
            figures +=
                QStringLiteral(", ") +
                (left >= 3600
                     ? tr("%1:%2:%3 left")
                           .arg(left / 3600)
                           .arg(left / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(left % 60, 2, 10, QLatin1Char('0'))
                     : tr("%1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0')));
        }
    }
    setStatusText((upload ? tr("Uploading %1: %2") : tr("Downloading %1: %2"))
                      .arg(m_strTransferFileName, figures));
    if (size != 0)
        setProgressValue(bytes / (size / 100.0));
}

void frmMain::m_FtpConnection_ListingDataArrived(qint64 lTotalBytes) {
    setStatusText(tr("Retrieving the current directory listing (%1 bytes ) ...")
                      .arg(FormatGroupedBlanks(lTotalBytes)));
}

QString frmMain::statusText() const {
    return sbPanel1->text();
}

void frmMain::setStatusText(const QString& text) {
    sbPanel1->setText(text);
}

void frmMain::setProgressValue(double percent) {
    // Outside the bar's range the bar keeps its value; a display problem
    // never stops a transfer.
    if (!std::isfinite(percent) || percent < 0.0001 || percent > 100)
        return;
    m_ProgressValue = percent;
    ProgressBar1->setValue(static_cast<int>(std::lround(percent * 100)));
}

QString frmMain::logText() const {
    return txtMessages->toPlainText();
}

// -------------------------------------------------------------- commands

std::unique_ptr<frmConnect> frmMain::showConnectDialog() {
    auto dialog = std::make_unique<frmConnect>(m_Prompts, this);
    if (!m_InitialHost.isEmpty())
        dialog->setHostText(m_InitialHost);
    dialog->setSaveSite([this](frmConnect& connect) { saveSiteFromDialog(connect); });
    m_Prompts.execDialog(*dialog);
    return dialog;
}

void frmMain::mnuFileClose_Click() {
    close();
}

void frmMain::Check1_Click() {
    if (m_FtpConnection)
        m_FtpConnection->setPassiveMode(Check1->isChecked());
}

void frmMain::Option1_Click(int /*Index*/) {
    // The download and upload commands read the selection when they start.
}

// ------------------------------------------------------- help and about

void frmMain::setShellOpenDocument(std::function<bool(const QString&)> open) {
    m_ShellOpenDocument = std::move(open);
}

void frmMain::setShellOpenUrl(std::function<bool(const QString&)> open) {
    m_ShellOpenUrl = std::move(open);
}

QString frmMain::helpFilePath() const {
    // Beside the program (the build tree), else where the package puts it.
    const QString beside = m_ProgramDirectory + QLatin1Char('/') + HelpFileName;
    const QString shared = m_ProgramDirectory + QStringLiteral("/../share/krellin/") + HelpFileName;
    if (!QFileInfo(beside).isFile() && QFileInfo(shared).isFile())
        return QDir::cleanPath(shared);
    return beside;
}

void frmMain::help_Click() {
    const QString path = helpFilePath();
    if (!QFileInfo(path).isFile())
        return;
    if (m_ShellOpenDocument && m_ShellOpenDocument(path))
        return;
    // No desktop handler for the help file: show it in a window of our own.
    if (!m_HelpViewer) {
        m_HelpViewer = new HelpViewer(this);
        m_HelpViewer->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (!m_HelpViewer->showFile(path))
        return;
    registerWindow(m_HelpViewer);
    m_HelpViewer->show();
    m_HelpViewer->raise();
}

void frmMain::Download_Click() {
    if (m_ShellOpenUrl)
        m_ShellOpenUrl(ProductPage);
}

void frmMain::mnuCertificates_Click() {
    frmCertificates dialog(this);
    m_Prompts.execDialog(dialog);
}

void frmMain::mnuHelpAbout_Click() {
    if (!m_About)
        m_About = new about(this);
    registerWindow(m_About);
    m_Prompts.execDialog(*m_About);
}

// ------------------------------------------------------ remembered choices

void frmMain::loadConnectChoices() {
    // Passive unless the user chose otherwise: active mode fails behind the
    // address translation most users sit behind.
    Check1->setChecked(platform::Desktop::settingNumber(QString::fromLatin1(ConnectSection),
                                                        QStringLiteral("Passive"), 1) != 0);
}

void frmMain::loadListState() {
    using platform::Desktop::settingNumber;
    const QString section = QString::fromLatin1(SettingsSection);
    mnuExactSizes->setChecked(settingNumber(section, QStringLiteral("SizesInBytes"), 0) != 0);
    mnuListViewMode_Click(
        settingNumber(section, QStringLiteral("ViewMode"), FileListView::Details));
    lvListView->restoreState(QByteArray::fromBase64(
        platform::Desktop::settingText(section, QStringLiteral("ListColumns")).toLatin1()));
}

void frmMain::saveListState() {
    using platform::Desktop::setSettingNumber;
    const QString section = QString::fromLatin1(SettingsSection);
    setSettingNumber(section, QStringLiteral("SizesInBytes"), lvListView->exactSizes() ? 1 : 0);
    setSettingNumber(section, QStringLiteral("ViewMode"), lvListView->viewMode());
    platform::Desktop::setSettingText(section, QStringLiteral("ListColumns"),
                                      QString::fromLatin1(lvListView->saveState().toBase64()));
}

QString frmMain::rememberedFolder(const char* key) const {
    const QString folder =
        platform::Desktop::settingText(QString::fromLatin1(SettingsSection), QLatin1String(key));
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void frmMain::rememberFolder(const char* key, const QString& path, bool isFile) {
    if (path.isEmpty())
        return;
    platform::Desktop::setSettingText(QString::fromLatin1(SettingsSection), QLatin1String(key),
                                      isFile ? QFileInfo(path).absolutePath() : path);
}

void frmMain::saveConnectChoices() {
    platform::Desktop::setSettingNumber(QString::fromLatin1(ConnectSection),
                                        QStringLiteral("Passive"), Check1->isChecked() ? 1 : 0);
}
