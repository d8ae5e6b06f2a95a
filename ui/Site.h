#pragma once

#include "FtpSecurity.h"

#include <QList>
#include <QString>
#include <QStringList>

// A saved server: where it is, how to log in and where to start. The
// password is never part of it: it lives in the keyring under keyringKey().
struct Site {
    enum class LogOn {
        Anonymous,   // "anonymous" with the placeholder e-mail address
        Normal,      // user and the password kept in the keyring
        AskPassword, // user; the password is asked at each connect
    };

    QString id; // stable across renames and moves: names the keyring entry
    QString name;
    QString folder; // "Work/Clients"; empty for the top level
    QString host;
    quint16 port = 21;
    FtpSecurity::Mode encryption = FtpSecurity::Mode::ExplicitIfAvailable;
    LogOn logOn = LogOn::Anonymous;
    QString user;
    QString remoteFolder; // opened after the log-in; empty: the server's choice
    QString localFolder;  // where Save and Open dialogs start; empty: the last one
    bool passive = true;
    QString comment;

    QString keyringKey() const { return QStringLiteral("site ") + id; }
    // "Work/Clients/Example": folder and name, for messages.
    QString path() const { return folder.isEmpty() ? name : folder + QLatin1Char('/') + name; }
};

// Every saved site, and the folders (also the empty ones) they sit in.
struct SiteList {
    QList<Site> sites;
    QStringList folders;

    Site* find(const QString& id);
    const Site* find(const QString& id) const;
    // name, or "name (2)", "name (3)", ... : the first one no other site of
    // the folder carries (except the site with id `except`).
    QString uniqueName(const QString& folder, const QString& name,
                       const QString& except = {}) const;
    // Adds a site with a fresh id and a name unique in its folder; returns
    // the id. Its folder (and each parent) is added to folders.
    QString add(Site site);
    void addFolder(const QString& folder);
};
