#include "frmCertificates.h"

#include "Artwork.h"
#include "ServerAddress.h"
#include "TlsPeer.h"
#include "TrustStore.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int HostRole = Qt::UserRole;
constexpr int PortRole = Qt::UserRole + 1;

} // namespace

frmCertificates::frmCertificates(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Trusted certificates"));
    setWindowIcon(Artwork::programIcon());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Certificates you chose to always trust:"), this));
    lstCertificates = new QTreeWidget(this);
    lstCertificates->setColumnCount(2);
    lstCertificates->setHeaderLabels({tr("Server"), tr("Fingerprint")});
    lstCertificates->setRootIsDecorated(false);
    lstCertificates->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(lstCertificates);
    auto* buttons = new QHBoxLayout;
    cmdForget = new QPushButton(tr("&Forget"), this);
    cmdClose = new QPushButton(tr("Close"), this);
    buttons->addWidget(cmdForget);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    resize(640, 300);
    connect(cmdForget, &QPushButton::clicked, this, [this] { cmdForget_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(lstCertificates, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { cmdForget->setEnabled(current); });
    reload();
}

void frmCertificates::reload() {
    lstCertificates->clear();
    for (const TrustStore::Certificate& c : TrustStore::all()) {
        auto* row = new QTreeWidgetItem(lstCertificates);
        row->setText(0, ServerAddress::display(c.host, c.port, 0));
        row->setText(1, platform::fingerprintText(c.sha256));
        row->setData(0, HostRole, c.host);
        row->setData(0, PortRole, c.port);
    }
    if (lstCertificates->topLevelItemCount() > 0)
        lstCertificates->setCurrentItem(lstCertificates->topLevelItem(0));
    cmdForget->setEnabled(lstCertificates->currentItem());
}

void frmCertificates::cmdForget_Click() {
    const QTreeWidgetItem* row = lstCertificates->currentItem();
    if (!row)
        return;
    TrustStore::forget(row->data(0, HostRole).toString(), quint16(row->data(0, PortRole).toUInt()));
    reload();
}
