#include "frmWelcomeMessage.h"

#include "Artwork.h"
#include "Twips.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

frmWelcomeMessage::frmWelcomeMessage(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Text1 = new QPlainTextEdit(QStringLiteral("Text1"), this);
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(std::max(9.75, font().pointSizeF()));
    Text1->setFont(mono);
    Text1->setMinimumSize(Twips::toPixels(this, 9015), Twips::toPixels(this, 3975));

    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setMinimumWidth(Twips::toPixels(this, 1335));
    cmdClose->setDefault(true);
    cmdClose->setAutoDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });

    // Laid out at the design's size; a larger font makes the window larger
    // rather than cut the button's text.
    auto* layout = new QVBoxLayout(this);
    const int margin = Twips::toPixels(this, 120);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(Twips::toPixels(this, 105));
    layout->addWidget(Text1);
    layout->addWidget(cmdClose, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    adjustSize();
    // Centred on the screen rather than over the main window; an explicit
    // position also keeps Qt from re-centring it over its parent when shown.
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());
}

void frmWelcomeMessage::setMessage(const QString& text) {
    Text1->setPlainText(text);
}

void frmWelcomeMessage::cmdClose_Click() {
    close();
}
