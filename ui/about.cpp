#include "about.h"

#include "Artwork.h"
#include "KrellinVersion.h"
#include "Twips.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

const QString about::RightsHolder = QStringLiteral("\u00a9 2026 The Krellin developers");
const QString about::LegalNotice = QStringLiteral(
    "This program is free software, provided \"as is\", without warranty of any kind. "
    "Its authors accept no liability for any damage or loss of data arising from its use.");

about::about(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About Krellin"));
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    imgIcon = new QLabel(this);
    imgIcon->setPixmap(Artwork::programPixmap(32));
    imgIcon->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    // The palette's own text colour: a fixed black vanishes on a dark theme.
    Label1 = new QLabel(QStringLiteral("Krellin " KRELLIN_VERSION), this);
    QFont title = Label1->font();
    title.setPointSizeF(std::max(13.5, title.pointSizeF() * 1.5));
    Label1->setFont(title);

    Label2 = new QLabel(RightsHolder, this);

    Label4 = new QLabel(this);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The design's width for the notice; a larger font makes it taller.
    Label4->setMinimumWidth(Twips::toPixels(this, 4965));

    Command1 = new QPushButton(tr("Ok"), this);
    Command1->setMinimumWidth(Twips::toPixels(this, 1080));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    // Laid out, not placed: a larger font grows the window instead of
    // cutting its texts.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(Twips::toPixels(this, 360), Twips::toPixels(this, 270),
                             Twips::toPixels(this, 360), Twips::toPixels(this, 240));
    grid->setHorizontalSpacing(Twips::toPixels(this, 240));
    grid->setVerticalSpacing(Twips::toPixels(this, 120));
    grid->addWidget(imgIcon, 0, 0, 2, 1);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(Label2, 1, 1);
    grid->addWidget(Label4, 2, 0, 1, 2);
    grid->setRowMinimumHeight(3, Twips::toPixels(this, 120));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addStretch(1);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // Form load: the legal notice.
    Label4->setText(LegalNotice);

    // Centred on the screen rather than over the main window; an explicit
    // position also keeps Qt from re-centring it over its parent when shown.
    adjustSize();
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());
}

void about::Command1_Click() {
    accept(); // hides; the window stays for the next "About"
}
