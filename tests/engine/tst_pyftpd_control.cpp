// The control side against a real server (pyftpdlib): log-in both ways and
// the directory and file commands, checked on the server's disk.

#include "CFtpConnection.h"
#include "PyFtpdServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

class TestPyftpdControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(m_Server.start(), qPrintable(m_Server.lastError())); }

    void anonymousLogIn() {
        CFtpConnection ftp;
        configure(ftp);
        QVERIFY2(ftp.Connect(), qPrintable(ftp.GetFtpErrorDescription(0)));
        QCOMPARE(ftp.UserName(), QStringLiteral("anonymous"));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/"));
        // Anonymous is read-only outside "incoming".
        QVERIFY(!ftp.CreateDirectory(QStringLiteral("nope")));
        QCOMPARE(ftp.FtpGetLastError(), 54);
        QVERIFY(ftp.CloseConnection());
        QVERIFY(!QFileInfo::exists(m_Server.rootPath() + "/nope"));
    }

    void directoryAndFileCommands() {
        QVERIFY(TestUtil::writeFile(m_Server.rootPath() + "/gone.txt", "bye"));
        QVERIFY(TestUtil::writeFile(m_Server.rootPath() + "/old name.txt", "keep"));

        CFtpConnection ftp;
        configure(ftp);
        ftp.setUserName(QString::fromLatin1(PyFtpdServer::UserName));
        ftp.setPassword(QString::fromLatin1(PyFtpdServer::Password));
        QVERIFY2(ftp.Connect(), qPrintable(ftp.GetFtpErrorDescription(0)));

        QVERIFY(ftp.CreateDirectory(QStringLiteral("new dir")));
        QVERIFY(QFileInfo(m_Server.rootPath() + "/new dir").isDir());
        QVERIFY(ftp.SetCurrentDirectory(QStringLiteral("new dir")));
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/")); // only PWD updates it
        QCOMPARE(ftp.GetCurrentDirectory(), QStringLiteral("/new dir"));
        QVERIFY(ftp.SetParentAsCurrentDirectory());
        QCOMPARE(ftp.GetCurrentDirectory(), QStringLiteral("/"));

        QVERIFY(!ftp.SetCurrentDirectory(QStringLiteral("missing")));
        QCOMPARE(ftp.FtpGetLastError(), 54);

        QVERIFY(ftp.RenameFile(QStringLiteral("old name.txt"), QStringLiteral("new name.txt")));
        QCOMPARE(TestUtil::readFile(m_Server.rootPath() + "/new name.txt"), QByteArray("keep"));
        QVERIFY(!ftp.RenameFile(QStringLiteral("absent"), QStringLiteral("x")));
        QCOMPARE(ftp.FtpGetLastError(), 54);

        QVERIFY(ftp.DeleteFile(QStringLiteral("gone.txt")));
        QVERIFY(!QFileInfo::exists(m_Server.rootPath() + "/gone.txt"));
        QVERIFY(ftp.RemoveDirectory(QStringLiteral("new dir")));
        QVERIFY(!QFileInfo::exists(m_Server.rootPath() + "/new dir"));

        ftp.setTransferMode(1);
        QCOMPARE(ftp.TransferMode(), 1);
        ftp.setTransferMode(0);
        QCOMPARE(ftp.TransferMode(), 0);

        QVERIFY(ftp.CloseConnection());
        QCOMPARE(ftp.FtpGetLastError(), int(CFtpConnection::ErrCancelled));
        QVERIFY(!ftp.Busy());
    }

private:
    void configure(CFtpConnection& ftp) {
        ftp.setFtpServer(m_Server.host());
        ftp.setPort(m_Server.port());
        ftp.setTimeout(10);
    }

    PyFtpdServer m_Server;
};

QTEST_GUILESS_MAIN(TestPyftpdControl)
#include "tst_pyftpd_control.moc"
