#include "about.h"

#include "Artwork.h"
#include "KrellinVersion.h"
#include "Twips.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>

const QString about::RightsHolder = QStringLiteral("\u00a9 2026 The Krellin developers");
const QString about::LegalNotice = QStringLiteral(
    "This program is free software, provided \"as is\", without warranty of any kind. "
    "Its authors accept no liability for any damage or loss of data arising from its use.");

about::about(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Krellin"));
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips::toPixels(this, 5685), Twips::toPixels(this, 3345));
    // Centred on the screen rather than over the main window; an explicit
    // position also keeps Qt from re-centring it over its parent when shown.
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());

    imgIcon = new QLabel(this);
    imgIcon->setPixmap(Artwork::programPixmap(32));
    imgIcon->setGeometry(Twips::toPixels(this, 840, 270, 480, 480));

    Label1 = new QLabel(QStringLiteral("Krellin " KRELLIN_VERSION), this);
    QFont title = Label1->font();
    title.setPointSizeF(13.5);
    Label1->setFont(title);
    QPalette black = Label1->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(black);
    Label1->setGeometry(Twips::toPixels(this, 1950, 300, 2800, 400));

    Label2 = new QLabel(RightsHolder, this);
    Label2->setGeometry(Twips::toPixels(this, 1950, 800, 3495, 300));

    Label4 = new QLabel(this);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setGeometry(Twips::toPixels(this, 360, 1320, 4965, 1320));

    Command1 = new QPushButton(tr("Ok"), this);
    Command1->setGeometry(Twips::toPixels(this, 2302, 2880, 1080, 310));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Form load: the legal notice.
    Label4->setText(LegalNotice);
}

void about::Command1_Click() {
    accept(); // hides; the window stays for the next "About"
}
