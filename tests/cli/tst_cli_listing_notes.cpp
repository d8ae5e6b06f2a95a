// krellin-cli ls where MLSD leaves something out: links named without their
// targets are completed from LIST (one more exchange, only when such links
// are there), text and JSON say the same of them, and a listing the server
// says it truncated is printed, reported on stderr and exits 1.

#include "CliArguments.h"
#include "CliSession.h"
#include "FakeFtpServer.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QtTest>

namespace {

const QByteArray LinksMlsd = "type=file;size=3;UNIX.mode=0644; plain.txt\r\n"
                             "type=dir;UNIX.mode=0755; sub\r\n"
                             "type=OS.unix=symlink;UNIX.mode=0777; dirlink\r\n"
                             "type=OS.unix=slink:;UNIX.mode=0777; filelink\r\n";
const QByteArray LinksList = "-rw-r--r-- 1 u g 3 Jan 1 2024 plain.txt\r\n"
                             "drwxr-xr-x 2 u g 4096 Jan 1 2024 sub\r\n"
                             "lrwxrwxrwx 1 u g 3 Jan 1 2024 dirlink -> sub\r\n"
                             "lrwxrwxrwx 1 u g 9 Jan 1 2024 filelink -> plain.txt\r\n";
const QStringList PlainEntries = {"plain.txt|-|false|", "sub|d|true|"};

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runLs(FakeFtpServer& server, bool json) {
    const QString url = QStringLiteral("ftp://%1:%2/").arg(server.host()).arg(server.port());
    QStringList arguments{"--timeout", "5"};
    if (json)
        arguments << "--json";
    const CliParseResult parsed = CliArguments::parse(arguments + QStringList{url, "ls"});
    Run run;
    QBuffer out(&run.out);
    QBuffer err(&run.err);
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    CliSession session(parsed.options, outStream, errStream);
    run.exitCode = session.run();
    outStream.flush();
    errStream.flush();
    return run;
}

// "name|type|directory|target" of each entry, sorted; text output has no
// directory column, so a link's is taken from its type there ("?").
QStringList entries(const Run& run, bool json) {
    QStringList out;
    if (json) {
        for (const QJsonValue& value : QJsonDocument::fromJson(run.out).array()) {
            const QJsonObject o = value.toObject();
            out << QStringList{o["name"].toString(), o["type"].toString(),
                               o["directory"].toBool() ? "true" : "false", o["target"].toString()}
                       .join('|');
        }
    } else {
        for (const QString& line : QString::fromUtf8(run.out).split('\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split('\t');
            const QString type = f.value(0);
            out << QStringList{f.value(6), type,
                               type == u"l"   ? "?"
                               : type == u"d" ? "true"
                                              : "false",
                               f.value(7).mid(3)}
                       .join('|');
        }
    }
    out.sort();
    return out;
}

} // namespace

class TestCliListingNotes : public QObject {
    Q_OBJECT
private slots:
    void ls_data();
    void ls();
};

void TestCliListingNotes::ls_data() {
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("mlsd");
    QTest::addColumn<QString>("mlsdDone");
    QTest::addColumn<QString>("list"); // "": no LIST expected; "550": refused
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("expected");
    const QByteArray noLinks = "type=file;size=3;UNIX.mode=0644; plain.txt\r\n"
                               "type=dir;UNIX.mode=0755; sub\r\n";
    for (const bool json : {false, true}) {
        const char* form = json ? "json" : "text";
        QTest::addRow("links completed from LIST, %s", form)
            << json << LinksMlsd << "226 Done" << QString::fromLatin1(LinksList) << 0
            << PlainEntries +
                   QStringList{json ? "dirlink|l|true|sub" : "dirlink|l|?|sub",
                               json ? "filelink|l|false|plain.txt" : "filelink|l|?|plain.txt"};
        QTest::addRow("no links, no LIST, %s", form)
            << json << noLinks << "226 Done" << QString() << 0 << PlainEntries;
        QTest::addRow("LIST refused, links kept, %s", form)
            << json << LinksMlsd << "226 Done" << QStringLiteral("550") << 0
            << PlainEntries + QStringList{json ? "dirlink|l|false|" : "dirlink|l|?|",
                                          json ? "filelink|l|false|" : "filelink|l|?|"};
        QTest::addRow("truncated, %s", form)
            << json << noLinks << "226-Output truncated to 2 matches\n226 2 matches total"
            << QString() << 1 << PlainEntries;
    }
}

void TestCliListingNotes::ls() {
    QFETCH(bool, json);
    QFETCH(QByteArray, mlsd);
    QFETCH(QString, mlsdDone);
    QFETCH(QString, list);
    QFETCH(int, exitCode);
    QFETCH(QStringList, expected);

    FakeFtpServer server;
    server.expect("USER anonymous")
        .reply("331 Password required")
        .expect("PASS *")
        .reply("230 Logged in")
        .expect("FEAT")
        .reply(FakeFtpServer::featReply({"MLST type*;size*;modify*;UNIX.mode*;"}))
        .expect("PWD")
        .reply("257 \"/\" is the current directory")
        .expect("PASV")
        .passive()
        .expect("MLSD")
        .reply("150 Here")
        .dataSend(mlsd)
        .dataClose()
        .reply(mlsdDone);
    if (list == u"550") {
        server.expect("PASV").passive().expect("LIST").reply("550 No LIST here");
    } else if (!list.isEmpty()) {
        server.expect("PASV")
            .passive()
            .expect("LIST")
            .reply("150 Here")
            .dataSend(list.toLatin1())
            .dataClose()
            .reply("226 Done");
    }
    server.expect("QUIT").reply("221 Bye");

    const Run run = runLs(server, json);
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(server.commands().count("LIST"), list.isEmpty() ? 0 : 1);
    QCOMPARE(run.exitCode, exitCode);
    expected.sort();
    QCOMPARE(entries(run, json), expected);
    QCOMPARE(QString::fromUtf8(run.err).contains("Output truncated to 2 matches"), exitCode == 1);
}

QTEST_MAIN(TestCliListingNotes)
#include "tst_cli_listing_notes.moc"
