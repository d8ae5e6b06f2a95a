// Connect fed the exact bytes real servers sent (tests/support/RealReplies.h):
// each server's greeting, USER, PASS and PWD replies, whole and with the
// greeting or the (often multi-line) PASS reply cut into two arrivals around
// every line end and inside every reply code. However TCP cuts them, the
// log-in succeeds with one command per reply, and the text of the last
// multi-line reply (the greeting, or a multi-line 230 after it) is kept for
// the welcome message.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "RealReplies.h"

#include <QTest>

#include <set>

namespace {

QByteArray realReply(const QString& server, const char* command) {
    for (const RealReply& row : realReplies()) {
        if (server == QLatin1String(row.server) && qstrcmp(row.command, command) == 0)
            return row.bytes;
    }
    return {};
}

// Cut points that matter to a reader: inside each line's code, between CR
// and LF, and right after each line end.
std::set<qsizetype> cutPoints(const QByteArray& bytes) {
    std::set<qsizetype> cuts;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
        if (end - start > 2)
            cuts.insert(start + 2);
        if (lf > 0)
            cuts.insert(lf);
        cuts.insert(end);
        start = end;
    }
    cuts.erase(0);
    cuts.erase(bytes.size());
    return cuts;
}

// The first line's text of the last multi-line reply of the log-in, which
// the welcome message starts with; empty when no reply had several lines.
QString welcomeStart(const QList<QByteArray>& replies) {
    QString start;
    for (const QByteArray& reply : replies) {
        if (reply.size() > 4 && reply.at(3) == '-') {
            const qsizetype end = reply.indexOf('\n');
            start = QString::fromUtf8(reply.mid(4, end - 4)).remove(u'\r');
        }
    }
    return start;
}

QList<QByteArray> cutAt(const QByteArray& bytes, qsizetype cut) {
    if (cut <= 0)
        return {bytes};
    return {bytes.left(cut), bytes.mid(cut)};
}

} // namespace

class TestRealReplies : public QObject {
    Q_OBJECT
private slots:
    void logIn_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("pass");
        QTest::addColumn<QByteArray>("pwd");
        QTest::addColumn<QString>("cutReply");
        QTest::addColumn<int>("cut");

        for (const char* server : {"vsftpd", "proftpd", "pure-ftpd", "pyftpdlib"}) {
            const QByteArray user = realReply(server, "USER");
            const QByteArray pass = realReply(server, "PASS");
            const QByteArray pwd = realReply(server, "PWD");
            for (const char* name : {"(greeting)", "(greeting without a banner file)"}) {
                const QByteArray greeting = realReply(server, name);
                QVERIFY2(!greeting.isEmpty() && !user.isEmpty() && !pass.isEmpty() &&
                             !pwd.isEmpty(),
                         server);
                const bool banner = qstrcmp(name, "(greeting)") == 0;
                const char* label = banner ? "banner greeting" : "plain greeting";
                QTest::addRow("%s %s whole", server, label)
                    << server << greeting << user << pass << pwd << QString() << 0;
                for (qsizetype cut : cutPoints(greeting)) {
                    QTest::addRow("%s %s cut at %d", server, label, int(cut))
                        << server << greeting << user << pass << pwd << QStringLiteral("greeting")
                        << int(cut);
                }
                if (!banner)
                    continue;
                for (qsizetype cut : cutPoints(pass)) {
                    QTest::addRow("%s PASS reply cut at %d", server, int(cut))
                        << server << greeting << user << pass << pwd << QStringLiteral("pass")
                        << int(cut);
                }
            }
        }
    }
    void logIn() {
        QFETCH(QString, server);
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, pass);
        QFETCH(QByteArray, pwd);
        QFETCH(QString, cutReply);
        QFETCH(int, cut);

        FakeFtpServer fake;
        fake.setGreeting(QString());
        fake.replyInParts(cutAt(greeting, cutReply == u"greeting" ? cut : 0));
        fake.expect(QStringLiteral("USER krellin")).sendRaw(user);
        QStringList expected = {QStringLiteral("USER krellin")};
        QList<QByteArray> replies = {greeting, user};
        // vsftpd logs anonymous users in at USER.
        if (user.startsWith("331")) {
            replies << pass;
            fake.expect(QStringLiteral("PASS *"))
                .replyInParts(cutAt(pass, cutReply == u"pass" ? cut : 0));
            expected << QStringLiteral("PASS secret");
        }
        fake.expect(QStringLiteral("PWD")).sendRaw(pwd);
        expected << QStringLiteral("PWD");

        CFtpConnection ftp;
        ftp.setTimeout(5);
        ftp.setFtpServer(fake.host());
        ftp.setPort(fake.port());
        ftp.setUserName(QStringLiteral("krellin"));
        ftp.setPassword(QStringLiteral("secret"));
        const bool ok = ftp.Connect();
        QVERIFY2(ok, qPrintable(QStringLiteral("%1: #%2 %3")
                                    .arg(server)
                                    .arg(ftp.FtpGetLastError())
                                    .arg(ftp.GetFtpErrorDescription(ftp.FtpGetLastError()))));
        QCOMPARE(fake.commands(), expected);
        QVERIFY(fake.errors().isEmpty());
        QCOMPARE(ftp.CurrentDirectory(), QStringLiteral("/"));
        replies << pwd;
        const QString start = welcomeStart(replies);
        const QString welcome = ftp.WelcomeMessage();
        if (start.isEmpty())
            QCOMPARE(welcome, QString());
        else
            QVERIFY2(welcome.startsWith(start), qPrintable(welcome));
    }
};

QTEST_GUILESS_MAIN(TestRealReplies)
#include "tst_real_replies.moc"
