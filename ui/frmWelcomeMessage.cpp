#include "frmWelcomeMessage.h"

#include "Artwork.h"
#include "Twips.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

frmWelcomeMessage::frmWelcomeMessage(QWidget* parent) : QDialog(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(Twips::toPixels(this, 9255), Twips::toPixels(this, 4695));
    // Centred on the screen rather than over the main window; an explicit
    // position also keeps Qt from re-centring it over its parent when shown.
    if (const QScreen* shownOn = screen())
        move(shownOn->availableGeometry().center() - rect().center());

    Text1 = new QPlainTextEdit(QStringLiteral("Text1"), this);
    Text1->setGeometry(Twips::toPixels(this, 120, 120, 9015, 3975));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(9.75);
    Text1->setFont(mono);

    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setGeometry(Twips::toPixels(this, 3960, 4200, 1335, 375));
    cmdClose->setDefault(true);
    cmdClose->setAutoDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
}

void frmWelcomeMessage::setMessage(const QString& text) {
    Text1->setPlainText(text);
}

void frmWelcomeMessage::cmdClose_Click() {
    close();
}
