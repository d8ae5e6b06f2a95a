#include "frmMain.h"

#include "Artwork.h"
#include "CFtpConnection.h"
#include "Desktop.h"
#include "DesktopShell.h"
#include "FileListView.h"
#include "HelpViewer.h"
#include "MLocaleInfo.h"
#include "Prompts.h"
#include "Twips.h"
#include "about.h"
#include "frmConnect.h"
#include "frmWelcomeMessage.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextFrame>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <cmath>

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

QFrame* legendSquare(QWidget* parent, const QColor& colour) {
    auto* square = new QFrame(parent);
    square->setAutoFillBackground(true);
    QPalette palette = square->palette();
    palette.setColor(QPalette::Window, colour);
    square->setPalette(palette);
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
    createToolbar();
    client->installEventFilter(this);
    setMinimumWidth(toPixels(MainLayout::MinimumWindowWidth));
    Form_Load();
}

frmMain::~frmMain() = default;

// ----------------------------------------------------------------- creation

void frmMain::createMenus() {
    QMenuBar* bar = menuBar();
    mnuFile = bar->addMenu(tr("&File"));
    mnuConnect = mnuFile->addAction(tr("&Connect to ..."), this, &frmMain::mnuConnect_Click);
    mnuFile->addSeparator();
    mnuDownload = mnuFile->addAction(tr("&Download File ..."), this, &frmMain::mnuDownload_Click);
    mnuUpload = mnuFile->addAction(tr("&Upload File ..."), this, &frmMain::mnuUpload_Click);
    mnuFile->addSeparator();
    mnuFileClose = mnuFile->addAction(tr("&Close"), this, &frmMain::mnuFileClose_Click);
    connect(mnuFile, &QMenu::aboutToShow, this, &frmMain::mnuFile_Click);

    mnuEdit = bar->addMenu(tr("&Edit"));
    mnuRename = mnuEdit->addAction(tr("&Rename File ..."), this, &frmMain::mnuRename_Click);
    mnuDelete = mnuEdit->addAction(tr("&Delete File ..."), this, &frmMain::mnuDelete_Click);
    mnuEdit->addSeparator();
    mnuCreateDir =
        mnuEdit->addAction(tr("&Create Directory ..."), this, &frmMain::mnuCreateDir_Click);
    mnuRemoveDir = mnuEdit->addAction(tr("&Remove Directory"), this, &frmMain::mnuRemoveDir_Click);
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
    const QString modes[] = {tr("Lar&ge Icons"), tr("S&mall Icons"), tr("&List"), tr("&Details")};
    for (int i = 0; i < 4; ++i) {
        mnuListViewMode[i] =
            mnuView->addAction(modes[i], this, [this, i] { mnuListViewMode_Click(i); });
    }
    sep5 = mnuView->addSeparator();
    sep5->setVisible(false);
    mnuOptions = mnuView->addAction(tr("&Options..."));
    mnuOptions->setVisible(false);
    connect(mnuView, &QMenu::aboutToShow, this, &frmMain::mnuView_Click);

    mnuHelp = bar->addMenu(tr("&Help"));
    help = mnuHelp->addAction(tr("Help Topics"), this, &frmMain::help_Click);
    mnuHelp->addSeparator();
    Download = mnuHelp->addAction(tr("Download latest version"), this, &frmMain::Download_Click);
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

    struct Button {
        const char* key;
        const char* toolTip;
        int image;
    };
    // image 0 marks a separator
    static const Button buttons[] = {
        {"Connect", nullptr, 1},
        {nullptr, nullptr, 0},
        {"UpLevel", nullptr, 2},
        {nullptr, nullptr, 0},
        {"Stop", "Stop operation", 3},
        {"Refresh", "Refresh contents of current directory", 4},
        {nullptr, nullptr, 0},
        {"Download", "Download File...", 5},
        {"Upload", "Upload File...", 6},
        {nullptr, nullptr, 0},
        {"CreateDirectory", "Create Directory...", 7},
        {"Delete", "Delete File", 8},
        {"Rename", "Rename File...", 9},
        {nullptr, nullptr, 0},
        {"View Large Icons", "View Large Icons", 10},
        {"View Small Icons", "View Small Icons", 11},
        {"View List", "View List", 12},
        {"View Details", "View Details", 13},
    };
    m_ViewGroup = new QActionGroup(this);
    m_ViewGroup->setExclusive(true);
    for (const Button& button : buttons) {
        if (button.image == 0) {
            m_ToolbarButtons << tbToolBar->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(button.key);
        QAction* action = tbToolBar->addAction(Artwork::toolbarIcon(button.image), key);
        action->setObjectName(key);
        action->setData(key);
        if (button.toolTip) {
            action->setToolTip(tr(button.toolTip));
        } else {
            action->setProperty(NoToolTip, true);
            tbToolBar->widgetForAction(action)->installEventFilter(this);
        }
        if (button.image >= 10) {
            action->setCheckable(true);
            m_ViewGroup->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, key] { tbToolBar_ButtonClick(key); });
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
    // Deep paths scroll sideways instead of cutting names short.
    tvTreeView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tvTreeView->header()->setStretchLastSection(false);
    connect(tvTreeView, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { tvTreeView_NodeClick(item); });
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

    Picture1 = new QWidget(picTitle);
    Check1 = new QCheckBox(tr("&Passive Mode"), Picture1);
    Option1[0] = new QRadioButton(tr("&ASCII"), Picture1);
    Option1[1] = new QRadioButton(tr("&Image"), Picture1);
    Option1[1]->setChecked(true);
    const int optionLefts[] = {120, 1680, 2520};
    QWidget* options[] = {Check1, Option1[0], Option1[1]};
    int holderWidth = 0;
    for (int i = 0; i < 3; ++i) {
        const QSize hint = options[i]->sizeHint();
        options[i]->setGeometry(toPixels(optionLefts[i]), toPixels(40), hint.width(),
                                toPixels(HolderHeight - 40));
        holderWidth = std::max(holderWidth, options[i]->geometry().right() + 1);
    }
    m_TwipsGeometry[Picture1] = QRect(0, HolderTop, toTwips(holderWidth), HolderHeight);
    Picture1->setGeometry(0, toPixels(HolderTop), holderWidth, toPixels(HolderHeight));
    connect(Check1, &QCheckBox::clicked, this, &frmMain::Check1_Click);
    connect(Option1[0], &QRadioButton::clicked, this, [this] { Option1_Click(0); });
    connect(Option1[1], &QRadioButton::clicked, this, [this] { Option1_Click(1); });

    ProgressBar1 = new QProgressBar(picTitle);
    ProgressBar1->setRange(0, 10000); // hundredths of a percent
    ProgressBar1->setValue(1);
    ProgressBar1->setTextVisible(false);
    m_TwipsGeometry[ProgressBar1] = QRect(ProgressLeft, ProgressTop, 3495, ProgressHeight);
    ProgressBar1->setGeometry(toPixels(ProgressLeft), toPixels(ProgressTop), toPixels(3495),
                              toPixels(ProgressHeight));

    imgIcon = new QLabel(picTitle);
    imgIcon->setPixmap(Artwork::programPixmap(toPixels(IconSize)));
    const int iconTop = (TitleHeight - IconSize) / 2;
    m_TwipsGeometry[imgIcon] = QRect(0, iconTop, IconSize, IconSize);
    imgIcon->setGeometry(0, toPixels(iconTop), toPixels(IconSize), toPixels(IconSize));

    txtMessages = new QTextEdit(client);
    txtMessages->setReadOnly(true);
    txtMessages->setAcceptRichText(false);
    txtMessages->setUndoRedoEnabled(false);
    m_LogColor = txtMessages->palette().color(QPalette::Text);

    picLegend = new QFrame(client);
    picLegend->setFrameShape(QFrame::StyledPanel);
    picLegend->setAutoFillBackground(true);
    QPalette legendPalette = picLegend->palette();
    legendPalette.setColor(QPalette::Window, legendPalette.color(QPalette::Base));
    picLegend->setPalette(legendPalette);
    Label2 = new QLabel(tr("User command"), picLegend);
    Label3 = new QLabel(tr("Server response"), picLegend);
    Label4 = new QLabel(tr("Server bad response"), picLegend);
    Label5 = new QLabel(tr("Application message"), picLegend);
    Shape2 = legendSquare(picLegend, QColor(0, 0, 128));
    Shape1 = legendSquare(picLegend, QColor(0, 128, 0));
    Shape3 = legendSquare(picLegend, QColor(255, 0, 0));
    Shape4 = legendSquare(picLegend, QColor(128, 128, 128));
    QLabel* labels[] = {Label2, Label3, Label4, Label5};
    QFrame* squares[] = {Shape2, Shape1, Shape3, Shape4};
    int legendWidth = 1935;
    for (int row = 0; row < 4; ++row) {
        QFont small = labels[row]->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        labels[row]->setFont(small);
        labels[row]->adjustSize();
        labels[row]->move(toPixels(360), toPixels(80 + 240 * row));
        squares[row]->setGeometry(toPixels(120), toPixels(120 + 240 * row), toPixels(135),
                                  toPixels(135));
        // The labels must fit whatever font the desktop gives them.
        legendWidth = std::max(legendWidth, 360 + toTwips(labels[row]->width()) + 150);
    }
    m_TwipsGeometry[picLegend] = QRect(4560, 5760, legendWidth, 1095);
    picLegend->resize(toPixels(legendWidth), toPixels(1095));
    // Log lines wrap before the legend instead of running under it.
    QTextFrameFormat frame = txtMessages->document()->rootFrame()->frameFormat();
    frame.setRightMargin(toPixels(legendWidth + 300));
    txtMessages->document()->rootFrame()->setFrameFormat(frame);

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
}

// ------------------------------------------------------------ load / unload

void frmMain::Form_Load() {
    // Qt chooses a font for each script by itself; the character set is
    // kept on the three controls for whoever draws their text.
    m_LocaleCharset = MLocaleInfo::GetLocaleCharset();
    for (QWidget* control : {static_cast<QWidget*>(tvTreeView), static_cast<QWidget*>(lvListView),
                             static_cast<QWidget*>(txtMessages)})
        control->setProperty("charset", m_LocaleCharset);

    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    using platform::Desktop::settingNumber;
    const QString section = QString::fromLatin1(SettingsSection);
    const int left = settingNumber(section, QStringLiteral("MainLeft"), DefaultLeft);
    const int top = settingNumber(section, QStringLiteral("MainTop"), DefaultTop);
    const int width = settingNumber(section, QStringLiteral("MainWidth"), DefaultWidth);
    const int height = settingNumber(section, QStringLiteral("MainHeight"), DefaultHeight);
    // Left and top place the window's own area, the same measure that is
    // saved, so a placement read back never drifts by the frame's size.
    setGeometry(toPixels(left), toPixels(top), std::max(1, toPixels(width)),
                std::max(1, toPixels(height)));
    m_PlacementTwips = QRect(left, top, width, height);

    m_FtpConnection = new CFtpConnection(this);
    m_FtpConnection->setTimeout(60);
    m_FtpConnection->setWindowHandle(static_cast<qint32>(winId()));
    m_FtpConnection->setCertificateQuestion(
        [this](const platform::TlsPeer& peer) { return askAboutCertificate(peer); });
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
    in.titleHeight = TitleHeight;
    in.iconWidth = IconSize;
    in.progressLeft = ProgressLeft;
    in.holderWidth = twipsGeometry(Picture1).width();
    in.legendWidth = twipsGeometry(picLegend).width();
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
    placeControl(picTitle, r.titleLeft, r.titleTop, r.titleWidth, TitleHeight);
    placeControl(imgIcon, r.iconLeft, nullopt, nullopt, nullopt);
    placeControl(ProgressBar1, nullopt, nullopt, r.progressWidth, nullopt);
    placeControl(Picture1, r.holderLeft, nullopt, nullopt, nullopt);
    placeControl(txtMessages, 0, r.logTop, r.logWidth, r.logHeight);
    placeControl(picLegend, r.legendLeft, r.legendTop, nullopt, nullopt);
    if (r.gripLeft)
        m_SplitterLeft = *r.gripLeft;
    if (r.titleWidth) {
        const int labelRight = r.holderLeft.value_or(*r.titleWidth) - 60;
        Label1->resize(std::max(0, toPixels(labelRight - 120)), Label1->sizeHint().height());
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
    if (placementTwips().width() < MainLayout::MinimumWindowWidth)
        resize(toPixels(MainLayout::MinimumWindowWidth), height());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client && event->type() == QEvent::Resize) {
        if (!isMinimized())
            SizeControls(m_SplitterLeft);
    } else if (watched == CoolBar1 && event->type() == QEvent::LayoutRequest) {
        // The band's height follows its toolbar (a style or font change).
        if (!CoolBar1->isHidden() && twipsGeometry(CoolBar1).height() != bandHeight())
            SizeControls(m_SplitterLeft);
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
    mnuOptions->setEnabled(!(m_FtpConnection && m_FtpConnection->Busy()));
}

void frmMain::mnuFile_Click() {
    const bool idle = !(m_FtpConnection && m_FtpConnection->Busy());
    mnuDownload->setEnabled(idle);
    mnuUpload->setEnabled(idle);
}

void frmMain::mnuEdit_Click() {
    const bool idle = !(m_FtpConnection && m_FtpConnection->Busy());
    for (QAction* item : {mnuRename, mnuRemoveDir, mnuCreateDir, mnuDelete})
        item->setEnabled(idle);
}

void frmMain::mnuHelp_Click() {
    mnuHelpAbout->setEnabled(!(m_FtpConnection && m_FtpConnection->Busy()));
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

QTreeWidgetItem* frmMain::findNode(const QString& key) const {
    QList<QTreeWidgetItem*> pending;
    for (int i = 0; i < tvTreeView->topLevelItemCount(); ++i)
        pending << tvTreeView->topLevelItem(i);
    // Each node is visited once: the walk ends with the tree.
    while (!pending.isEmpty()) {
        QTreeWidgetItem* node = pending.takeFirst();
        if (node->data(0, TreeKeyRole).toString() == key)
            return node;
        for (int i = 0; i < node->childCount(); ++i)
            pending << node->child(i);
    }
    return nullptr;
}

QString frmMain::nodeFullPath(const QTreeWidgetItem* node) {
    QStringList texts;
    for (const QTreeWidgetItem* n = node; n; n = n->parent())
        texts.prepend(n->text(0));
    return texts.join(QLatin1Char('/'));
}

QTreeWidgetItem* frmMain::addNode(QTreeWidgetItem* parent, const QString& key, const QString& text,
                                  int image, int expandedImage) {
    if (findNode(key))
        return nullptr;
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tvTreeView);
    node->setText(0, text);
    node->setData(0, TreeKeyRole, key);
    node->setData(0, TreeImageRole, image);
    node->setData(0, TreeExpandedImageRole, expandedImage);
    node->setIcon(0, Artwork::treeIcon(image));
    return node;
}

// ------------------------------------------------------- log and status

void frmMain::m_FtpConnection_SessionProtocolMessage(const QString& strMessage, int MessageType) {
    switch (MessageType) {
    case CFtpConnection::UserCommand:
        m_LogColor = QColor(0, 0, 64);
        break;
    case CFtpConnection::ServerResponse:
        m_LogColor = QColor(0, 64, 0);
        break;
    case CFtpConnection::ServerBadResponse:
        m_LogColor = QColor(255, 0, 0);
        break;
    case CFtpConnection::ApplicationMessage:
        m_LogColor = txtMessages->palette().color(QPalette::Text);
        break;
    default:
        break;
    }
    QString text = strMessage;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::Null, QChar::ReplacementCharacter);
    QTextCursor cursor(txtMessages->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(m_LogColor);
    cursor.insertText(text + QLatin1Char('\n'), format);
    txtMessages->setTextCursor(cursor);
    txtMessages->ensureCursorVisible();
}

void frmMain::m_FtpConnection_StateChanged(int State) {
    static const char* const texts[] = {
        "Resolving host...",
        "Host resolved",
        "Connected",
        "Authentication...",
        "You are logged in. Connection ready.",
        "Establishing data connection...",
        "Data connection established.",
        "Retrieving directory info...",
        "Directory listing completed.",
        "Transfer in progress...",
        "Transfer completed.",
    };
    if (State == CFtpConnection::DirectoryListingCompleted && m_FtpConnection) {
        if (QTreeWidgetItem* node = tvTreeView->currentItem()) {
            QString title = m_FtpConnection->FtpServer() + nodeFullPath(node);
            title.replace(QLatin1String("//"), QLatin1String("/"));
            showTitle(title);
        }
    } else if (State == CFtpConnection::TransferCompleted) {
        setProgressValue(0.01);
        m_lTransferFileSize = 0;
    }
    if (State >= 0 && State <= 10)
        setStatusText(tr(texts[State]));
    else
        setStatusText(QString());
}

void frmMain::m_FtpConnection_DownloadProgress(qint64 lBytes) {
    setStatusText(tr("Downloading ") + m_strTransferFileName + QStringLiteral(" (") +
                  QString::number(lBytes) + tr(" bytes)"));
    if (m_lTransferFileSize != 0)
        setProgressValue(lBytes / (m_lTransferFileSize / 100.0));
}

void frmMain::m_FtpConnection_UploadProgress(qint64 lBytes) {
    setStatusText(tr("Uploading ") + m_strTransferFileName + QStringLiteral(" (") +
                  QString::number(lBytes) + tr(" bytes)"));
    if (m_lTransferFileSize != 0)
        setProgressValue(lBytes / (m_lTransferFileSize / 100.0));
}

void frmMain::m_FtpConnection_ListingDataArrived(qint64 lTotalBytes) {
    setStatusText(tr("Retrieving the current directory listing (") +
                  FormatGroupedBlanks(lTotalBytes) + tr(" bytes ) ..."));
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
    return m_ProgramDirectory + QLatin1Char('/') + HelpFileName;
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

void frmMain::mnuHelpAbout_Click() {
    if (!m_About)
        m_About = new about(this);
    registerWindow(m_About);
    m_Prompts.execDialog(*m_About);
}
