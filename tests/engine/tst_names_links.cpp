// Names and links a server hands over: the local file name a remote name may
// become, link targets resolved and completed from LIST where MLSD left them
// out, a listing the server says it cut short, and a PWD reply without
// quotes.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "LinkTargets.h"
#include "ListingParser.h"
#include "ListingStream.h"
#include "LocalName.h"
#include "TruncatedListing.h"

#include <QtTest>

class TestNamesLinks : public QObject {
    Q_OBJECT
private slots:
    void localName_data();
    void localName();
    void resolve_data();
    void resolve();
    void truncatedNotice_data();
    void truncatedNotice();
    void heldLinksCompleted();
    void pwdReply_data();
    void pwdReply();
};

void TestNamesLinks::localName_data() {
    QTest::addColumn<QString>("remote");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "report 2026.txt" << true;
    QTest::newRow("hidden file") << ".profile" << true;
    QTest::newRow("dots inside") << "a..b" << true;
    QTest::newRow("unicode") << QString::fromUtf8("Grüße.txt") << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot-dot") << ".." << false;
    QTest::newRow("climbing") << "../../.bashrc" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("inner slash") << "a/b" << false;
    QTest::newRow("trailing slash") << "a/" << false;
    QTest::newRow("backslash climbing") << "..\\..\\x" << false;
    QTest::newRow("backslash") << "a\\b" << false;
    QTest::newRow("drive") << "C:boot.ini" << false;
    QTest::newRow("NUL") << QString::fromLatin1("a\0b", 3) << false;
    QTest::newRow("line feed") << "a\nb" << false;
    QTest::newRow("escape") << "\x1b[2Jx" << false;
    QTest::newRow("DEL") << "a\x7f" << false;
    QTest::newRow("C1 CSI") << QString::fromUtf8("a\xc2\x9b") << false;
}

void TestNamesLinks::localName() {
    QFETCH(QString, remote);
    QFETCH(bool, safe);
    QString why;
    const auto name = LocalName::fromRemote(remote, &why);
    QCOMPARE(name.has_value(), safe);
    if (safe) {
        QCOMPARE(*name, remote);
        QVERIFY(why.isEmpty());
        return;
    }
    // The message names the entry, never with a raw control character.
    QVERIFY(why.startsWith(QLatin1Char('"')));
    QVERIFY(std::none_of(why.cbegin(), why.cend(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
    }));
    if (!remote.isEmpty() && remote.at(0).unicode() >= 0x20)
        QVERIFY2(why.contains(remote.left(1)), qPrintable(why));
}

void TestNamesLinks::resolve_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("path");
    QTest::newRow("sibling of the folder") << "/pub/sub"
                                           << "../doc"
                                           << "/pub/doc";
    QTest::newRow("below the folder") << "/pub"
                                      << "sub/x"
                                      << "/pub/sub/x";
    QTest::newRow("from the root") << "/"
                                   << "usr/bin"
                                   << "/usr/bin";
    QTest::newRow("absolute") << "/pub"
                              << "/usr/./bin/"
                              << "/usr/bin";
    QTest::newRow("never above the root") << "/pub"
                                          << "../../../etc"
                                          << "/etc";
    QTest::newRow("the folder itself") << "/pub/"
                                       << "."
                                       << "/pub";
}

void TestNamesLinks::resolve() {
    QFETCH(QString, folder);
    QFETCH(QString, target);
    QFETCH(QString, path);
    QCOMPARE(LinkTargets::resolve(folder, target), path);
}

void TestNamesLinks::truncatedNotice_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("notice");
    QTest::newRow("pure-ftpd") << "226-Output truncated to 10000 matches\r\n226 10000 matches total"
                               << "Output truncated to 10000 matches";
    QTest::newRow("one line") << "226 Listing truncated"
                              << "Listing truncated";
    QTest::newRow("complete") << "226-Options: -a -l\r\n226 3 matches total"
                              << "";
    QTest::newRow("plain") << "226 Transfer complete"
                           << "";
}

void TestNamesLinks::truncatedNotice() {
    QFETCH(QString, reply);
    QFETCH(QString, notice);
    QCOMPARE(TruncatedListing::notice(reply), notice);
}

// An MLSD stream holds its links without targets back; LIST's entries then
// give them target and kind, and every other entry is handed out at once.
void TestNamesLinks::heldLinksCompleted() {
    ListingStream stream(ListingStream::Kind::Mlsd);
    QStringList handed;
    const ListingStream::Sink sink = [&](const CFtpFile& f) { handed << f.FileName; };
    stream.Feed("type=file;size=3;UNIX.mode=0644; plain.txt\r\n"
                "type=OS.unix=symlink;UNIX.mode=0777; dirlink\r\n"
                "type=OS.unix=slink:;UNIX.mode=0777; filelink\r\n"
                "type=OS.unix=slink:/usr/bin;UNIX.mode=0777; known\r\n",
                sink);
    stream.Finish(sink);
    QCOMPARE(handed, (QStringList{"plain.txt", "known"}));
    QCOMPARE(stream.HeldLinks().size(), size_t(2));
    const auto list = ParseListing("lrwxrwxrwx 1 u g 3 Jan 1 2024 dirlink -> ../sub\r\n"
                                   "lrwxrwxrwx 1 u g 9 Jan 1 2024 filelink -> plain.txt\r\n");
    std::vector<CFtpFile*> links;
    for (CFtpFile& held : stream.HeldLinks())
        links.push_back(&held);
    LinkTargets::complete(links, *list);
    QCOMPARE(stream.HeldLinks()[0].FilePath, QStringLiteral("../sub"));
    QVERIFY(stream.HeldLinks()[0].IsDirectory);
    QCOMPARE(stream.HeldLinks()[1].FilePath, QStringLiteral("plain.txt"));
    QVERIFY(!stream.HeldLinks()[1].IsDirectory);
}

// PWD without quotes names the folder by its first word; a reply with no
// folder at all is a failure with a code and the reply's text, never #0.
void TestNamesLinks::pwdReply_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("directory"); // empty: refused
    QTest::newRow("quoted") << "257 \"/a b\" is the current directory"
                            << "/a b";
    QTest::newRow("unquoted") << "257 /home"
                              << "/home";
    QTest::newRow("unquoted with comment") << "257 /home is your home"
                                           << "/home";
    QTest::newRow("unquoted backslashes") << "257 \\srv\\ftp"
                                          << "/srv/ftp";
    QTest::newRow("nothing") << "257 "
                             << "";
    QTest::newRow("unclosed quote") << "257 \"/home"
                                    << "";
}

void TestNamesLinks::pwdReply() {
    QFETCH(QString, reply);
    QFETCH(QString, directory);
    FakeFtpServer server;
    server.expectLogin().expect("PWD").reply(reply);
    CFtpConnection ftp;
    ftp.setTimeout(5);
    ftp.setFtpServer(server.host());
    ftp.setPort(server.port());
    QVERIFY(ftp.Connect());
    QCOMPARE(ftp.GetCurrentDirectory(), directory);
    if (directory.isEmpty()) {
        QCOMPARE(ftp.FtpGetLastError(), qint32(CFtpConnection::ErrUnexpectedReply));
        QVERIFY(ftp.GetFtpErrorDescription(ftp.FtpGetLastError()).contains(reply.trimmed()));
    }
}

QTEST_MAIN(TestNamesLinks)
#include "tst_names_links.moc"
