// What krellin-cli prints of a server's text: replies, the session log,
// directories and listings carrying escape sequences, bells, C1 controls,
// NUL, DEL, invalid UTF-8 and backslashes must reach the terminal escaped,
// and the JSON listing must stay valid JSON that gives the names back.
// Links MLSD names without targets are completed from LIST alike in both
// forms, and a listing the server says it truncated exits 1.

#include "CliArguments.h"
#include "CliSession.h"
#include "FakeFtpServer.h"
#include "TerminalText.h"
#include "TestUtil.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

struct Hostile {
    const char* name;
    QByteArray raw;  // as the server sends it
    QString escaped; // as the terminal must show it
    bool inListing;  // the listing parser drops CR, so CR rows stay on the control side
};

QList<Hostile> hostileTexts() {
    const QString fffd(QChar(0xFFFD));
    return {
        {"ESC clear screen", "\x1b[2J\x1b[H", "\\x1b[2J\\x1b[H", true},
        {"OSC title ended by BEL", "\x1b]0;owned\x07", "\\x1b]0;owned\\x07", true},
        {"bell", "ring\x07ring", "ring\\x07ring", true},
        {"C1 CSI U+009B",
         "\xc2\x9b"
         "31mred",
         "\\u009b31mred", true},
        {"C1 NEL, OSC, ST",
         "a\xc2\x85"
         "b\xc2\x9d"
         "0;t\xc2\x9c",
         "a\\u0085b\\u009d0;t\\u009c", true},
        {"C1 bounds", "\xc2\x80|\xc2\x9f|\xc2\xa0", QString::fromUtf8("\\u0080|\\u009f|\xc2\xa0"),
         true},
        {"DEL", "x\x7fy", "x\\x7fy", true},
        {"NUL", QByteArray("x\0y", 3), "x\\x00y", true},
        {"tab, vertical tab, form feed",
         "a\tb\x0b"
         "c\x0c"
         "d",
         "a\\tb\\x0bc\\x0cd", true},
        {"invalid UTF-8, overlong CSI",
         "a\xff\xc0\x9b"
         "b",
         "a" + fffd + fffd + fffd + "b", true},
        {"backslashes forging escapes", "a\\x1b\\u009b\\", "a\\\\x1b\\\\u009b\\\\", true},
        {"bare CR rewriting the line", "ok\rEVIL", "ok\\rEVIL", false},
    };
}

// The first raw control character in output bytes: C0 other than the line
// end (and the tab between the fields of an `ls` line), DEL, C1; or text
// that is not UTF-8 (a terminal reading it as Latin-1 sees 0x9B as CSI).
QString rawControl(const QByteArray& bytes, bool tabs) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return QStringLiteral("output is not UTF-8");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == '\n' || (tabs && c == '\t'))
            continue;
        if (TerminalText::isControl(c))
            return QStringLiteral("U+%1 at %2").arg(int(c), 4, 16, QLatin1Char('0')).arg(i);
    }
    return {};
}

// One in-process krellin-cli run: the engine's waits drive the scripted
// server on the same event loop.
struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runCli(FakeFtpServer& server, const QStringList& options, const QStringList& command) {
    const QString url = QStringLiteral("ftp://%1:%2/").arg(server.host()).arg(server.port());
    // No ~/.netrc of whoever runs the tests may log the session in.
    const CliParseResult parsed =
        CliArguments::parse(QStringList{"--timeout", "5", "--netrc-file", "/dev/null"} + options +
                            QStringList{url} + command);
    Run run;
    if (!parsed.error.isEmpty()) {
        run.err = parsed.error.toUtf8();
        return run;
    }
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

QStringList lines(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestCliTerminal : public QObject {
    Q_OBJECT
private slots:
    void escape_data();
    void escape();
    void serverText_data();
    void serverText();
    void listing_data();
    void listing();
    void brokenListing_data();
    void brokenListing();
    void linksAndTruncation_data();
    void linksAndTruncation();
    void progressLine();
};

void TestCliTerminal::escape_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    for (const Hostile& h : hostileTexts())
        QTest::newRow(h.name) << QString::fromUtf8(h.raw) << h.escaped;
    QTest::newRow("plain text stays") << QString::fromUtf8("Grüße/annual report 2026.txt")
                                      << QString::fromUtf8("Grüße/annual report 2026.txt");
    QTest::newRow("bidi and emoji are printable") << QString::fromUtf8("\xe2\x80\xae"
                                                                       "abc \xf0\x9f\x98\x80")
                                                  << QString::fromUtf8("\xe2\x80\xae"
                                                                       "abc \xf0\x9f\x98\x80");
    QTest::newRow("every C0 control")
        << QString::fromLatin1("\x01\x02\x1a\x1f ") << QStringLiteral("\\x01\\x02\\x1a\\x1f ");
}

void TestCliTerminal::escape() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QString escaped = TerminalText::escape(text);
    QCOMPARE(escaped, expected);
    QVERIFY2(rawControl(escaped.toUtf8(), false).isEmpty(), qPrintable(escaped));
}

void TestCliTerminal::serverText_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("escaped");
    const QStringList paths{"pwd", "Server response", "-v log", "greeting in -v log",
                            "unknown reply code"};
    for (const QString& path : paths) {
        for (const Hostile& h : hostileTexts()) {
            // The engine reads a backslash in a directory as a separator.
            if (path == u"pwd" && h.raw.contains('\\'))
                continue;
            QTest::addRow("%s: %s", qPrintable(path), h.name) << path << h.raw << h.escaped;
        }
    }
}

void TestCliTerminal::serverText() {
    QFETCH(QString, path);
    QFETCH(QByteArray, raw);
    QFETCH(QString, escaped);

    FakeFtpServer server;
    QStringList options;
    QStringList command;
    QString expectedLine;
    bool onStdout = false;
    if (path == u"greeting in -v log") {
        server.setGreeting({});
        server.sendRaw("220-" + raw + "\r\n220 ready\r\n");
    }
    server.expectLogin();
    if (path == u"pwd" || path == u"-v log" || path == u"greeting in -v log") {
        server.expect("PWD").sendRaw("257 \"/" + raw + "\" is the current directory\r\n");
        command << "pwd";
        if (path == u"pwd") {
            onStdout = true;
            expectedLine = '/' + escaped;
        } else {
            options << "-v";
            expectedLine = path == u"-v log" ? "< 257 \"/" + escaped + "\" is the current directory"
                                             : "< 220-" + escaped;
        }
    } else if (path == u"Server response") {
        server.expect("DELE x").sendRaw("550 <" + raw + "> refused\r\n");
        command << "rm"
                << "x";
        expectedLine = "Server response: 550 <" + escaped + "> refused";
    } else {
        // Whether the description quotes the reply is the engine's choice;
        // whatever it quotes must arrive escaped.
        server.expect("MKD x").sendRaw("599 <" + raw + "> odd\r\n");
        command << "mkdir"
                << "x";
    }
    server.expect("QUIT").reply("221 Bye");

    const Run run = runCli(server, options, command);
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(run.exitCode, onStdout || path.contains(u"log") ? 0 : 1);
    QVERIFY2(rawControl(run.out, false).isEmpty(), qPrintable(rawControl(run.out, false)));
    QVERIFY2(rawControl(run.err, false).isEmpty(), qPrintable(rawControl(run.err, false)));
    if (!expectedLine.isEmpty()) {
        const QStringList got = lines(onStdout ? run.out : run.err);
        QVERIFY2(got.contains(expectedLine),
                 qPrintable(QStringLiteral("no line \"%1\" in:\n%2")
                                .arg(expectedLine, got.join(QLatin1Char('\n')))));
    }
}

void TestCliTerminal::listing_data() {
    QTest::addColumn<bool>("json");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("escaped");
    for (const bool json : {false, true}) {
        for (const Hostile& h : hostileTexts()) {
            if (h.inListing)
                QTest::addRow("%s: %s", json ? "ls --json" : "ls", h.name)
                    << json << h.raw << h.escaped;
        }
    }
}

void TestCliTerminal::listing() {
    QFETCH(bool, json);
    QFETCH(QByteArray, raw);
    QFETCH(QString, escaped);

    // The hostile text in every field a server writes: owner, group, name
    // and a link's target; blanks are the parser's separators, so it sits
    // between other characters.
    const QByteArray listing = "-rw-r--r--   1 o" + raw + " g" + raw + "  1234 Jan 02  2021 f" +
                               raw + "\r\n" + "lrwxrwxrwx   1 o g  7 Jan 02  2021 l" + raw +
                               " -> t" + raw + "\r\n" + "drwxr-xr-x   1 o g  0 Jan 02  2021 d" +
                               raw + "\r\n";
    FakeFtpServer server;
    server.expectLogin()
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here comes the listing")
        .dataSend(listing)
        .dataClose()
        .reply("226 Done")
        .expect("QUIT")
        .reply("221 Bye");
    const Run run = runCli(server, {}, json ? QStringList{"ls", "--json"} : QStringList{"ls"});
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.isEmpty(), run.err.constData());
    QVERIFY2(rawControl(run.out, !json).isEmpty(), qPrintable(rawControl(run.out, !json)));

    if (!json) {
        const QStringList got = lines(run.out);
        QCOMPARE(got.size(), 3);
        const QStringList file = got[0].split(QLatin1Char('\t'));
        QCOMPARE(file.size(), 7);
        QCOMPARE(file[4], "o" + escaped);
        QCOMPARE(file[5], "g" + escaped);
        QCOMPARE(file[6], "f" + escaped);
        const QStringList link = got[1].split(QLatin1Char('\t'));
        QCOMPARE(link.size(), 8);
        QCOMPARE(link[6], "l" + escaped);
        QCOMPARE(link[7], "-> t" + escaped);
        QCOMPARE(got[2].split(QLatin1Char('\t')).value(6), "d" + escaped);
        return;
    }

    // JSON escapes lose nothing: the names come back as the server sent them.
    const QString text = QString::fromUtf8(raw);
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    const QJsonArray array = document.array();
    QCOMPARE(array.size(), 3);
    const QJsonObject file = array[0].toObject();
    QCOMPARE(file["owner"].toString(), "o" + text);
    QCOMPARE(file["group"].toString(), "g" + text);
    QCOMPARE(file["name"].toString(), "f" + text);
    QCOMPARE(file["size"].toInteger(), qint64(1234));
    QCOMPARE(file["type"].toString(), QStringLiteral("-"));
    const QJsonObject link = array[1].toObject();
    QCOMPARE(link["type"].toString(), QStringLiteral("l"));
    QCOMPARE(link["name"].toString(), "l" + text);
    QCOMPARE(link["target"].toString(), "t" + text);
    QCOMPARE(array[2].toObject()["name"].toString(), "d" + text);
    QCOMPARE(array[2].toObject()["directory"].toBool(), true);
}

// Text lines go out as the listing arrives: one that breaks off leaves the
// lines that came and ends with the error; JSON is printed only whole.
void TestCliTerminal::brokenListing_data() {
    QTest::addColumn<bool>("json");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<int>("lines");
    QTest::newRow("text, whole, last line without its end") << false << false << 3;
    QTest::newRow("text, reset after two lines") << false << true << 2;
    QTest::newRow("json, whole") << true << false << 3;
    QTest::newRow("json, reset after two lines") << true << true << 0;
}

void TestCliTerminal::brokenListing() {
    QFETCH(bool, json);
    QFETCH(bool, reset);
    QFETCH(int, lines);
    const QByteArray two = "-rw-r--r-- 1 o g 1 Jan 02 2021 one\r\n"
                           "-rw-r--r-- 1 o g 2 Jan 02 2021 two\r\n";
    FakeFtpServer server;
    server.expectLogin().expect("PASV").passive().expect("LIST").reply("150 Here it comes");
    if (reset) {
        server.dataSend(two).pause(100).dataAbort().reply("426 Connection reset");
    } else {
        server.dataSend(two + "-rw-r--r-- 1 o g 3 Jan 02 2021 three").dataClose().reply("226 Done");
    }
    server.expect("QUIT").reply("221 Bye");
    const Run run = runCli(server, {}, json ? QStringList{"ls", "--json"} : QStringList{"ls"});
    QCOMPARE(run.exitCode == 0, !reset);
    QCOMPARE(run.err.isEmpty(), !reset);
    if (json) {
        QCOMPARE(run.out.count("\"name\""), lines);
        return;
    }
    const QStringList got = ::lines(run.out);
    QCOMPARE(got.size(), lines);
    const QStringList names = {"one", "two", "three"};
    for (int i = 0; i < lines; ++i)
        QCOMPARE(got[i].split(QLatin1Char('\t')).value(6), names[i]);
}

void TestCliTerminal::linksAndTruncation_data() {
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("done"); // MLSD's final reply
    QTest::addColumn<QString>("list"); // LIST's data, or its refusal
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("links");
    const QString list = "lrwxrwxrwx 1 u g 3 Jan 1 2024 dirlink -> sub\r\n"
                         "lrwxrwxrwx 1 u g 9 Jan 1 2024 filelink -> plain.txt\r\n";
    for (const bool json : {false, true}) {
        QTest::addRow("completed from LIST, json %d", json)
            << json << "226 Done" << list << 0 << QStringList{"dirlink>sub", "filelink>plain.txt"};
        QTest::addRow("LIST refused, json %d", json)
            << json << "226 Done"
            << "550 No" << 0 << QStringList{"dirlink>", "filelink>"};
        QTest::addRow("truncated, json %d", json)
            << json << "226-Output truncated to 2 matches\n226 2 matches total" << list << 1
            << QStringList{"dirlink>sub", "filelink>plain.txt"};
    }
}

void TestCliTerminal::linksAndTruncation() {
    QFETCH(bool, json);
    QFETCH(QString, done);
    QFETCH(QString, list);
    QFETCH(int, exitCode);
    QFETCH(QStringList, links);
    FakeFtpServer server;
    server.expect("USER anonymous").reply("331 Password required").expect("PASS *");
    server.reply("230 Logged in").expect("FEAT");
    server.reply(FakeFtpServer::featReply({"MLST type*;size*;modify*;UNIX.mode*;"}));
    server.expect("PWD").reply("257 \"/\"").expect("PASV").passive().expect("MLSD").reply("150 ");
    server.dataSend("type=file;size=3;UNIX.mode=0644; plain.txt\r\n"
                    "type=OS.unix=symlink;UNIX.mode=0777; dirlink\r\n"
                    "type=OS.unix=slink:;UNIX.mode=0777; filelink\r\n");
    server.dataClose().reply(done).expect("PASV").passive().expect("LIST");
    if (list.startsWith("550"))
        server.reply(list);
    else
        server.reply("150 ").dataSend(list.toLatin1()).dataClose().reply("226 Done");
    server.expect("QUIT").reply("221 Bye");
    const Run run = runCli(server, {}, json ? QStringList{"ls", "--json"} : QStringList{"ls"});
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err.contains("Output truncated to 2 matches"), exitCode == 1);
    // Each link's name and target, the same in the text and the JSON form;
    // a link to a folder is a folder in JSON.
    QStringList seen;
    if (json) {
        for (const QJsonValue& value : QJsonDocument::fromJson(run.out).array()) {
            const QJsonObject o = value.toObject();
            if (o["type"] == "l")
                seen << o["name"].toString() + '>' + o["target"].toString();
            if (o["name"] == "dirlink")
                QCOMPARE(o["directory"].toBool(), list.contains("->"));
        }
    } else {
        for (const QString& line : lines(run.out)) {
            if (line.startsWith('l'))
                seen << line.section('\t', 6, 6) + '>' + line.section('\t', 7).mid(3);
        }
    }
    seen.sort();
    QCOMPARE(seen, links);
}

// --progress: percent, bytes of the size the 150 reply announces, one line
// redrawn with carriage returns and padded with blanks, no escape sequences.
void TestCliTerminal::progressLine() {
    QTemporaryDir local;
    const QByteArray bytes = TestUtil::patternBytes(5000);
    FakeFtpServer server;
    server.expectLogin()
        .expect("TYPE I")
        .reply("200 Type set")
        .expect("PASV")
        .passive()
        .expect("RETR f\x1b.bin")
        .reply("150 Opening BINARY mode data connection for f.bin (5000 bytes)")
        .dataSend(bytes)
        .dataClose()
        .reply("226 Done")
        .expect("QUIT")
        .reply("221 Bye");
    const Run run = runCli(server, {"--progress"}, {"get", "f\x1b.bin", local.filePath("f.bin")});
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.err.startsWith("\rf\\x1b.bin  ") && run.err.endsWith('\n'), run.err.constData());
    QVERIFY2(run.err.contains("100%  4.9 KiB of 4.9 KiB"), run.err.constData());
    QVERIFY(!run.err.contains('\x1b'));
}

QTEST_GUILESS_MAIN(TestCliTerminal)
#include "tst_cli_terminal.moc"
