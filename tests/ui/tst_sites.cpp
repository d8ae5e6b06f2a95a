// Saved sites: the settings store, the sites file, and the site manager
// with the keyring behind it.

#include "MemoryKeyring.h"
#include "ScriptedPrompts.h"
#include "SiteManager.h"
#include "SiteStore.h"
#include "TestUtil.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

Site sample(const QString& name, const QString& folder) {
    Site site;
    site.name = name;
    site.folder = folder;
    site.host = QStringLiteral("ftp.example.org");
    site.port = 2121;
    site.encryption = FtpSecurity::Mode::Implicit;
    site.logOn = Site::LogOn::AskPassword;
    site.user = QStringLiteral("J\u00fcrgen");
    site.remoteFolder = QStringLiteral("/pub/linux");
    site.localFolder = QStringLiteral("/home/j/Downloads");
    site.passive = false;
    site.comment = QStringLiteral("two\nlines");
    return site;
}

// Every field but the id, to compare a site with its copy.
QString fields(const Site& s) {
    return QStringList{s.name,
                       s.folder,
                       s.host,
                       QString::number(s.port),
                       SiteStore::encryptionName(s.encryption),
                       SiteStore::logOnName(s.logOn),
                       s.user,
                       s.remoteFolder,
                       s.localFolder,
                       s.passive ? "passive" : "active",
                       s.comment}
        .join(QLatin1Char('|'));
}

QStringList allFields(const SiteList& list) {
    QStringList out;
    for (const Site& site : list.sites)
        out << fields(site);
    out.sort();
    return out;
}

} // namespace

class tst_sites : public QObject {
    Q_OBJECT

    QTemporaryDir m_Settings;
    QTemporaryDir m_Files;

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_Settings.path());
    }
    void init() { SiteStore::save({}); }

    void storeAndFileRoundTrip() {
        SiteList list;
        list.add(sample(QStringLiteral("Mirror"), QStringLiteral(" Work // Clients/")));
        list.add(sample(QStringLiteral("Mirror"), QStringLiteral("Work/Clients")));
        Site plain;
        plain.name = QStringLiteral("Home");
        plain.host = QStringLiteral("::1");
        list.add(plain);
        list.addFolder(QStringLiteral("Empty"));
        QCOMPARE(list.sites[1].name, QStringLiteral("Mirror (2)"));
        QCOMPARE(list.folders, (QStringList{"Work", "Work/Clients", "Empty"}));

        SiteStore::save(list);
        const SiteList loaded = SiteStore::load();
        QCOMPARE(allFields(loaded), allFields(list));
        QCOMPARE(loaded.folders.size(), 3);
        QVERIFY(loaded.find(list.sites[2].id));

        const QString path = m_Files.filePath(QStringLiteral("sites.json"));
        QString error;
        QVERIFY2(SiteStore::exportTo(path, loaded, &error), qPrintable(error));
        const std::optional<SiteList> imported = SiteStore::importFrom(path, &error);
        QVERIFY2(imported, qPrintable(error));
        QCOMPARE(allFields(*imported), allFields(list));
        QVERIFY(imported->folders.contains(QStringLiteral("Empty")));
        // Imported sites are new sites: no keyring entry of another is theirs.
        for (const Site& site : imported->sites)
            QVERIFY(!loaded.find(site.id));
    }

    // A site damaged by hand stays, shown and mended in the manager, never
    // dropped by the next save.
    void damagedSiteIsKept() {
        {
            QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Krellin", "Krellin");
            settings.setValue("Sites/x1/host", "h");
            settings.setValue("Sites/x1/port", "99999");
            settings.setValue("Sites/x1/logon", "root");
        }
        const SiteList list = SiteStore::load();
        QCOMPARE(list.sites.size(), 1);
        QCOMPARE(list.sites[0].port, quint16(0));
        QCOMPARE(list.sites[0].logOn, Site::LogOn::AskPassword);
        ScriptedPrompts prompts;
        MemoryKeyring keyring;
        SiteManager manager(prompts, keyring);
        manager.cmdOK_Click();
        QCOMPARE(prompts.asked.last().text,
                 QStringLiteral("The port of h is not a number from 1 to 65535."));
        QCOMPARE(SiteStore::load().sites.size(), 1);
    }

    void badFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        const QByteArray head = R"({"format":"krellin-sites","version":1,"sites":[)";
        // clang-format off
        QTest::newRow("not JSON")       << QByteArray("[sites]\nhost=x\n")                                  << "is not a sites file";
        QTest::newRow("truncated")      << head                                                             << "is not a sites file";
        QTest::newRow("another format") << QByteArray(R"({"format":"other","version":1,"sites":[]})")         << "is not a Krellin sites file";
        QTest::newRow("newer version")  << QByteArray(R"({"format":"krellin-sites","version":9,"sites":[]})") << "has sites file version 9";
        QTest::newRow("no list")        << QByteArray(R"({"format":"krellin-sites","version":1,"sites":{}})") << "holds no list of sites";
        QTest::newRow("not a site")     << head + "7]}"                                  << "site 1 cannot be imported: it is not a site";
        QTest::newRow("no host")        << head + R"({"name":"a"}]})"                    << "site 1 cannot be imported: it names no host";
        QTest::newRow("port range")     << head + R"({"host":"h"},{"host":"h","port":70000}]})" << "site 2 cannot be imported: the port \"70000\"";
        QTest::newRow("port text")      << head + R"({"host":"h","port":"21x"}]})"        << "the port \"21x\" is not a number";
        QTest::newRow("encryption")     << head + R"({"host":"h","encryption":"rot13"}]})" << "the encryption \"rot13\" is unknown";
        QTest::newRow("log-on")         << head + R"({"host":"h","logon":"root"}]})"      << "the log-on type \"root\" is unknown";
        QTest::newRow("line break")     << head + R"({"host":"h","user":"u\r\nDELE x"}]})" << "holds a line break";
        QTest::newRow("host blank")     << head + R"({"host":"a b"}]})"                  << "holds a blank";
        QTest::newRow("passive")        << head + R"({"host":"h","passive":"yes"}]})"     << "\"passive\"";
        QTest::newRow("missing file")   << QByteArray()                                  << "Cannot read";
        // clang-format on
    }
    void badFiles() {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        const QString path = m_Files.filePath(QStringLiteral("bad.json"));
        QFile::remove(path);
        if (!content.isEmpty())
            QVERIFY(TestUtil::writeFile(path, content));
        QString why;
        QVERIFY(!SiteStore::importFrom(path, &why));
        QVERIFY2(why.contains(error) && why.contains(path), qPrintable(why));

        // Through the manager: the message, and the sites as they were.
        SiteList list;
        list.add(sample(QStringLiteral("Kept"), QString()));
        SiteStore::save(list);
        ScriptedPrompts prompts;
        MemoryKeyring keyring;
        SiteManager manager(prompts, keyring);
        prompts.texts << path;
        manager.cmdImport_Click();
        QCOMPARE(prompts.asked.last().text, why);
        QCOMPARE(prompts.asked.last().icon, Prompts::Critical);
        QCOMPARE(manager.sites().sites.size(), 1);
    }

    void managerKeepsPasswordsInTheKeyring() {
        ScriptedPrompts prompts;
        MemoryKeyring keyring;
        QString id;
        {
            SiteManager manager(prompts, keyring);
            prompts.texts << QStringLiteral("Servers");
            manager.cmdNewFolder_Click();
            manager.cmdNewSite_Click();
            id = manager.currentSiteId();
            QTest::keyClicks(manager.txtHost, QStringLiteral("127.0.0.1"));
            manager.cboLogOn->setCurrentIndex(manager.cboLogOn->findData(int(Site::LogOn::Normal)));
            QTest::keyClicks(manager.txtUser, QStringLiteral("user"));
            QTest::keyClicks(manager.txtPassword, QStringLiteral("s3cret-pw"));
            QTest::keyClicks(manager.txtRemoteFolder, QStringLiteral("/pub"));
            manager.optActive->setChecked(true);
            // Nothing is kept before OK.
            QVERIFY(keyring.entries.isEmpty());
            manager.cmdOK_Click();
            QCOMPARE(manager.result(), int(QDialog::Accepted));
        }
        const Site site = *SiteStore::load().find(id);
        QCOMPARE(fields(site), QStringLiteral("New site|Servers|127.0.0.1|21|explicit-if-available|"
                                              "normal|user|/pub||active|"));
        QCOMPARE(keyring.entries.value(site.keyringKey()), QStringLiteral("s3cret-pw"));
        const QString ini =
            QSettings(QSettings::IniFormat, QSettings::UserScope, "Krellin", "Krellin").fileName();
        QVERIFY(!TestUtil::readFile(ini).contains("s3cret-pw"));

        {
            // Shown again from the keyring; a rename keeps it; Cancel keeps nothing.
            SiteManager manager(prompts, keyring);
            QVERIFY(manager.selectSite(id));
            QCOMPARE(manager.txtPassword->text(), QStringLiteral("s3cret-pw"));
            prompts.texts << QStringLiteral("Renamed");
            manager.cmdRename_Click();
            manager.cmdNewSite_Click();
            manager.cmdOK_Click(); // the new site names no host: refused
            QCOMPARE(prompts.asked.last().text,
                     QStringLiteral("The site Servers/New site names no host."));
            QCOMPARE(manager.result(), int(QDialog::Rejected));
            manager.reject();
        }
        QCOMPARE(SiteStore::load().sites.size(), 1);
        QCOMPARE(SiteStore::load().sites.value(0).name, QStringLiteral("New site"));

        {
            // Deleting the site drops its password.
            SiteManager manager(prompts, keyring);
            QVERIFY(manager.selectSite(id));
            prompts.answers << Prompts::Yes;
            manager.cmdDelete_Click();
            manager.cmdOK_Click();
        }
        QVERIFY(SiteStore::load().sites.isEmpty());
        QVERIFY(keyring.entries.isEmpty());

        // No keyring: the box is closed and the dialog says why.
        SiteList list;
        Site normal = sample(QStringLiteral("N"), QString());
        normal.logOn = Site::LogOn::Normal;
        const QString normalId = list.add(normal);
        SiteStore::save(list);
        keyring.down = true;
        SiteManager manager(prompts, keyring);
        QVERIFY(manager.selectSite(normalId));
        QVERIFY(!manager.txtPassword->isEnabled());
        QVERIFY(
            manager.lblKeyring->text().contains("cannot be used (no Secret Service on the bus). "
                                                "Krellin will ask for the password"));
    }
};

QTEST_MAIN(tst_sites)
#include "tst_sites.moc"
