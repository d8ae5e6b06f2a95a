#include "HelpViewer.h"

#include "Artwork.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), m_Browser(new QTextBrowser(this)) {
    setWindowTitle(tr("Krellin Help"));
    setWindowIcon(Artwork::programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowMinMaxButtonsHint);
    setModal(false);
    m_Browser->setOpenExternalLinks(false);
    m_Browser->setOpenLinks(true);
    auto* close = new QPushButton(tr("Close"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_Browser);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(560, 480);
}

bool HelpViewer::showFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Read as HTML whatever the file's extension says; links inside resolve
    // against the file's folder.
    const QString html = QString::fromUtf8(file.read(4 * 1024 * 1024));
    m_Browser->setSearchPaths({QFileInfo(path).absolutePath()});
    m_Browser->setHtml(html);
    return true;
}

QString HelpViewer::documentText() const {
    return m_Browser->toPlainText();
}
