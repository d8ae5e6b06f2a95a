#pragma once

#include <QDialog>

class QTextBrowser;

// The program's own small help window, for desktops that have no handler
// for the help file.
class HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // False when the file cannot be read; the window then shows nothing new.
    bool showFile(const QString& path);
    QString documentText() const;

    QTextBrowser* browser() const { return m_Browser; }

private:
    QTextBrowser* m_Browser;
};
