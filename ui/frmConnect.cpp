#include "frmConnect.h"

#include "Artwork.h"
#include "Desktop.h"
#include "Prompts.h"
#include "ServerAddress.h"
#include "Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>

namespace {

// The last confirmed choices, in the program's settings store.
QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromLatin1(platform::Desktop::SettingsOrganisation),
                     QString::fromLatin1(platform::Desktop::SettingsApplication));
}

} // namespace

// A local default: the dialog must never point a user (or a test) at a
// stranger's server by accident.
const QString frmConnect::DefaultHost = QStringLiteral("localhost");
const QString frmConnect::PlaceholderEmail = QStringLiteral("guest@example.com");

frmConnect::frmConnect(Prompts& prompts, QWidget* parent) : QDialog(parent), m_Prompts(prompts) {
    setWindowTitle(tr("Connect to..."));
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    const double scale = Twips::fontScale(this);
    auto scaled = [this, scale](int twips) { return Twips::toPixels(this, qRound(twips * scale)); };
    setFixedSize(scaled(6000), scaled(2040));
    auto place = [scaled](QWidget* control, int left, int top, int width, int height) {
        control->setGeometry(scaled(left), scaled(top), scaled(width), scaled(height));
    };

    // Created in tab order.
    Frame1 = new QGroupBox(tr("URL"), this);
    place(Frame1, 120, 120, 4455, 615);
    txtURL = new QLineEdit(DefaultHost, Frame1);
    place(txtURL, 600, 240, 2655, 285);
    lblPort = new QLabel(tr("P&ort"), Frame1);
    place(lblPort, 3315, 240, 420, 255);
    lblPort->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtPort = new QLineEdit(QString::number(ServerAddress::DefaultPort), Frame1);
    place(txtPort, 3795, 240, 600, 285);
    txtPort->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), txtPort));
    lblPort->setBuddy(txtPort);
    Frame2 = new QGroupBox(tr("User Name"), this);
    place(Frame2, 120, 840, 2115, 615);
    txtUserName = new QLineEdit(QStringLiteral("anonymous"), Frame2);
    place(txtUserName, 120, 240, 1875, 285);
    Frame3 = new QGroupBox(tr("Your E-Mail Address"), this);
    place(Frame3, 2340, 840, 2235, 615);
    txtPassword = new QLineEdit(PlaceholderEmail, Frame3);
    place(txtPassword, 120, 240, 1995, 285);
    // Masked with "*" whatever the style's own mask character is.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
    cmdOK = new QPushButton(tr("OK"), this);
    place(cmdOK, 4680, 240, 1215, 375);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(tr("Cancel"), this);
    place(cmdCancel, 4680, 720, 1215, 375);
    Label1 = new QLabel(QStringLiteral(" ftp://"), Frame1);
    place(Label1, 120, 240, 855, 255);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    chkAnonym = new QCheckBox(tr("Anonymous"), this);
    place(chkAnonym, 4680, 1200, 1215, 255);
    chkAnonym->setChecked(true);
    lblEncryption = new QLabel(tr("Encryption:"), this);
    place(lblEncryption, 120, 1560, 1095, 315);
    cboEncryption = new QComboBox(this);
    place(cboEncryption, 1215, 1560, 4680, 315);
    for (FtpSecurity::Mode mode :
         {FtpSecurity::Mode::ExplicitIfAvailable, FtpSecurity::Mode::ExplicitRequired,
          FtpSecurity::Mode::Implicit, FtpSecurity::Mode::Plain})
        cboEncryption->addItem(FtpSecurity::modeText(mode), int(mode));
    lblEncryption->setBuddy(cboEncryption);
    // The check box's text decides the dialog's width when it needs more.
    const int anonymWidth = std::max(chkAnonym->width(), chkAnonym->sizeHint().width());
    chkAnonym->resize(anonymWidth, chkAnonym->height());
    setFixedSize(std::max(width(), chkAnonym->x() + anonymWidth + scaled(90)), height());

    txtPassword->setCursorPosition(0);
    setTabOrder(txtURL, txtPort);
    setTabOrder(txtPort, txtUserName);
    setTabOrder(txtUserName, txtPassword);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, chkAnonym);
    setTabOrder(chkAnonym, cboEncryption);

    // "Save as site" in a row of its own under the choices, right-aligned.
    cmdSaveSite = new QPushButton(tr("Save as &site..."), this);
    cmdSaveSite->resize(std::max(scaled(1215), cmdSaveSite->sizeHint().width()), scaled(375));
    cmdSaveSite->move(cmdOK->x() + cmdOK->width() - cmdSaveSite->width(), scaled(1995));
    setFixedSize(width(), scaled(2490));
    setTabOrder(cboEncryption, cmdSaveSite);
    connect(cmdSaveSite, &QPushButton::clicked, this, [this] { cmdSaveSite_Click(); });

    connect(chkAnonym, &QCheckBox::toggled, this, [this] { chkAnonym_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cboEncryption, &QComboBox::currentIndexChanged, this,
            [this] { cboEncryption_Click(); });

    // The choices confirmed last time; the password is never kept.
    QSettings settings = store();
    settings.beginGroup(QStringLiteral("Connect"));
    txtPort->setText(
        settings.value(QStringLiteral("Port"), QString::number(ServerAddress::DefaultPort))
            .toString()
            .left(5));
    // An older store may hold "host:port" in Host; the port box shows it.
    setHostText(settings.value(QStringLiteral("Host"), DefaultHost).toString());
    const int mode = cboEncryption->findData(settings.value(QStringLiteral("Encryption"), -1));
    if (mode >= 0) {
        const QString port = txtPort->text();
        cboEncryption->setCurrentIndex(mode);
        txtPort->setText(port); // the port confirmed with it, 990 or not
    }
    m_ShownEncryption = FtpSecurity::Mode(cboEncryption->currentData().toInt());
    if (!settings.value(QStringLiteral("Anonymous"), true).toBool()) {
        chkAnonym->setChecked(false);
        txtUserName->setText(settings.value(QStringLiteral("User")).toString());
    }
    txtURL->setFocus();
}

void frmConnect::setHostText(const QString& host) {
    QString bare;
    quint16 port = ServerAddress::DefaultPort;
    QString error;
    bool portNamed = false;
    if (ServerAddress::parse(host, bare, port, error, &portNamed) && portNamed) {
        txtURL->setText(bare);
        txtPort->setText(QString::number(port));
        return;
    }
    txtURL->setText(host);
}

void frmConnect::cboEncryption_Click() {
    const auto mode = FtpSecurity::Mode(cboEncryption->currentData().toInt());
    const QString plainPort = QString::number(ServerAddress::DefaultPort);
    const QString implicitPort = QString::number(ServerAddress::ImplicitTlsPort);
    const bool implicitNow = mode == FtpSecurity::Mode::Implicit;
    const bool implicitBefore = m_ShownEncryption == FtpSecurity::Mode::Implicit;
    m_ShownEncryption = mode;
    const QString port = txtPort->text();
    if (implicitNow && !implicitBefore && (port.isEmpty() || port == plainPort))
        txtPort->setText(implicitPort);
    else if (!implicitNow && implicitBefore && port == implicitPort)
        txtPort->setText(plainPort);
}

void frmConnect::chkAnonym_Click() {
    if (chkAnonym->isChecked()) {
        txtUserName->setText(QStringLiteral("anonymous"));
        txtPassword->setEchoMode(QLineEdit::Normal);
        txtPassword->setText(PlaceholderEmail);
        txtPassword->setCursorPosition(0);
        Frame3->setTitle(tr("Your E-Mail Address"));
    } else {
        txtUserName->clear();
        txtPassword->setEchoMode(QLineEdit::Password);
        txtPassword->clear();
        Frame3->setTitle(tr("Password"));
    }
}

void frmConnect::cmdOK_Click() {
    const auto encryption = FtpSecurity::Mode(cboEncryption->currentData().toInt());
    QString host;
    quint16 port = 0;
    if (!readAddress(txtURL->text(), host, port))
        return;
    // What is used is what the boxes show and what is kept: the host box
    // loses a port typed into it, the port box shows the port used.
    txtURL->setText(host);
    txtPort->setText(QString::number(port));
    m_URL = host.toLower();
    m_UserName = txtUserName->text();
    m_Password = txtPassword->text();
    m_Port = port;
    m_Encryption = encryption;
    m_Action = 0;
    QSettings settings = store();
    settings.beginGroup(QStringLiteral("Connect"));
    settings.setValue(QStringLiteral("Host"), host);
    settings.setValue(QStringLiteral("Port"), QString::number(port));
    settings.setValue(QStringLiteral("Encryption"), int(encryption));
    settings.setValue(QStringLiteral("Anonymous"), chkAnonym->isChecked());
    settings.setValue(QStringLiteral("User"), chkAnonym->isChecked() ? QString() : m_UserName);
    accept();
}

void frmConnect::cmdCancel_Click() {
    reject();
}

void frmConnect::reject() {
    // Esc and the close box count as Cancel: a dialog closed without OK must
    // never start a connection.
    m_Action = 1;
    QDialog::reject();
}
