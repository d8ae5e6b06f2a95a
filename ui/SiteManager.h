#pragma once

#include "Site.h"

#include <QDialog>
#include <QHash>

class Keyring;
class Prompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// File > Site Manager: the saved sites in their folders, one site's settings
// beside them. Changes are kept by OK or Connect and dropped by Cancel;
// passwords go to the keyring then, never into the settings.
class SiteManager : public QDialog {
    Q_OBJECT
public:
    SiteManager(Prompts& prompts, Keyring& keyring, QWidget* parent = nullptr);

    const SiteList& sites() const { return m_List; }
    // The site chosen with Connect, after the dialog closed; empty otherwise.
    QString connectId() const { return m_ConnectId; }
    // Selects a site by id, or a folder by its path; false when there is none.
    bool selectSite(const QString& id);
    bool selectFolder(const QString& folder);
    QString currentSiteId() const;
    QString currentFolder() const;
    // The keyring's complaint when it could not be read, shown in the dialog.
    QString keyringProblem() const { return m_KeyringProblem; }

    void cmdNewSite_Click();
    void cmdNewFolder_Click();
    void cmdRename_Click();
    void cmdDelete_Click();
    void cmdExport_Click();
    void cmdImport_Click();
    void cmdConnect_Click();
    void cmdOK_Click();

    // Controls.
    QTreeWidget* tvSites;
    QPushButton* cmdNewSite;
    QPushButton* cmdNewFolder;
    QPushButton* cmdRename;
    QPushButton* cmdDelete;
    QPushButton* cmdExport;
    QPushButton* cmdImport;
    QWidget* fraSite;
    QComboBox* cboFolder;
    QLineEdit* txtHost;
    QLineEdit* txtPort;
    QComboBox* cboEncryption;
    QComboBox* cboLogOn;
    QLineEdit* txtUser;
    QLineEdit* txtPassword;
    QLabel* lblKeyring;
    QLineEdit* txtRemoteFolder;
    QLineEdit* txtLocalFolder;
    QPushButton* cmdBrowseLocal;
    QRadioButton* optPassive;
    QRadioButton* optActive;
    QPlainTextEdit* txtComment;
    QPushButton* cmdConnect;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    enum Kind { FolderItem = 1, SiteItem = 2 };
    void fillTree();
    bool selectItem(int kind, const QString& key);
    void showCurrent();
    void siteToForm(const Site& site);
    void formToSite();
    void moveToFolder();
    void updateLogOn();
    void updateButtons();
    // The folder new sites and folders go to: the selected one, or the
    // selected site's.
    QString targetFolder() const;
    // Checks every site, writes the settings and the keyring; false (with a
    // message shown) when a site cannot be kept as it is.
    bool commit();
    Site* currentSite();

    Prompts& m_Prompts;
    Keyring& m_Keyring;
    SiteList m_List;
    SiteList m_Original;
    // Passwords typed here, by site id, until OK or Connect keeps them.
    QHash<QString, QString> m_Passwords;
    QString m_KeyringProblem;
    QString m_ConnectId;
    bool m_Filling = false;
};
