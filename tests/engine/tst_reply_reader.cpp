// The reply reader on its own: real replies of real servers, each fed whole,
// cut at every byte and one byte at a time, must frame the same replies; and
// the limits hold whatever a hostile server sends.

#include "ReplyReader.h"

#include <QTest>

namespace {

struct Fed {
    QList<FtpReply> replies;
    QStringList lines;
    ReplyReader::Status status = ReplyReader::Status::Ok;
};

Fed feedPieces(const QList<QByteArray>& pieces, bool finish = false) {
    ReplyReader reader;
    ReplyReader::Output out;
    Fed fed;
    for (const QByteArray& piece : pieces)
        fed.status = reader.feed(piece, out);
    if (finish)
        fed.status = reader.finish(out);
    fed.replies = out.replies;
    for (const FtpReplyLine& line : std::as_const(out.lines))
        fed.lines << line.text;
    return fed;
}

// "code:lines" per reply, e.g. "220:3 331:1", with "-" for a line without a code.
QString summary(const QList<FtpReply>& replies) {
    QStringList parts;
    for (const FtpReply& reply : replies)
        parts << (reply.hasCode ? QString::number(reply.code) : QStringLiteral("-")) +
                     QLatin1Char(':') + QString::number(reply.lines.size());
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestReplyReader : public QObject {
    Q_OBJECT
private slots:
    void framing_data();
    void framing();
    void messagesAndLogLines();
    void unterminatedLastLineCountsOnlyAtTheEnd();
    void limits_data();
    void limits();
    void manyRepliesStayLinear();
};

void TestReplyReader::framing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    // Greetings and replies as real servers send them.
    QTest::newRow("vsftpd greeting") << QByteArray("220 (vsFTPd 3.0.3)\r\n") << "220:1";
    QTest::newRow("proftpd greeting")
        << QByteArray("220 ProFTPD Server (Debian) [::ffff:127.0.0.1]\r\n") << "220:1";
    QTest::newRow("pure-ftpd greeting")
        << QByteArray("220---------- Welcome to Pure-FTPd [privsep] [TLS] ----------\r\n"
                      "220-You are user number 1 of 50 allowed.\r\n"
                      "220-Local time is now 10:21. Server port: 21.\r\n"
                      "220-This is a private system - No anonymous login\r\n"
                      "220 You will be disconnected after 15 minutes of inactivity.\r\n")
        << "220:5";
    QTest::newRow("pyftpdlib greeting") << QByteArray("220 pyftpdlib 1.5.7 ready.\r\n") << "220:1";
    QTest::newRow("vsftpd FEAT")
        << QByteArray("211-Features:\r\n EPRT\r\n EPSV\r\n MDTM\r\n PASV\r\n REST STREAM\r\n"
                      " SIZE\r\n TVFS\r\n211 End\r\n")
        << "211:9";
    QTest::newRow("proftpd multi-line with inner codes")
        << QByteArray("214-The following commands are recognized (* =>'s unimplemented):\r\n"
                      "214-CWD     XCWD    CDUP    XCUP    SMNT*   QUIT    PORT    PASV\r\n"
                      "200 is not the end\r\n"
                      "214 Direct comments to root@localhost\r\n")
        << "214:4";
    QTest::newRow("pure-ftpd LIST 226 with options")
        << QByteArray("150 Accepted data connection\r\n226-Options: -a -l \r\n"
                      "226 3 matches total\r\n")
        << "150:1 226:2";
    QTest::newRow("150 and 226 in one arrival")
        << QByteArray("150 Opening BINARY mode data connection for a (4 bytes).\r\n"
                      "226 Transfer complete.\r\n")
        << "150:1 226:1";
    QTest::newRow("bare LF line ends")
        << QByteArray("230-Hi\n230 Ok\n257 \"/\"\n") << "230:2 257:1";
    QTest::newRow("bare code ends a reply") << QByteArray("226-a\r\n226\r\n") << "226:2";
    QTest::newRow("another code's final line is text")
        << QByteArray("230-x\r\n220 not yet\r\n230-y\r\n230 done\r\n") << "230:4";
    QTest::newRow("codeless line") << QByteArray("hello\r\n250 ok\r\n") << "-:1 250:1";
    QTest::newRow("code with junk after it")
        << QByteArray("220x\r\n2xx maybe\r\n999 odd\r\n000 zero\r\n") << "-:1 -:1 999:1 0:1";
    QTest::newRow("empty line") << QByteArray("\r\n") << "-:1";
    QTest::newRow("invalid UTF-8 survives") << QByteArray("550 \xff\xfe x\r\n") << "550:1";
    QTest::newRow("multi-byte character") << QByteArray("257 \"/Gr\xc3\xbc\xc3\x9f"
                                                        "e\"\r\n")
                                          << "257:1";
    QTest::newRow("unfinished reply yields nothing") << QByteArray("220-wait\r\n220 almo") << "";
}

void TestReplyReader::framing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    const Fed whole = feedPieces({bytes});
    QCOMPARE(summary(whole.replies), expected);
    for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
        const Fed split = feedPieces({bytes.left(cut), bytes.mid(cut)});
        QVERIFY2(summary(split.replies) == expected, qPrintable(QString::number(cut)));
        QCOMPARE(split.lines, whole.lines);
        for (qsizetype i = 0; i < whole.replies.size(); ++i)
            QCOMPARE(split.replies[i].lines, whole.replies[i].lines);
    }
    QList<QByteArray> bytewise;
    for (char c : bytes)
        bytewise << QByteArray(1, c);
    const Fed trickle = feedPieces(bytewise);
    QCOMPARE(summary(trickle.replies), expected);
    QCOMPARE(trickle.lines, whole.lines);
}

void TestReplyReader::messagesAndLogLines() {
    const Fed fed = feedPieces({"230-Welcome\r\n230-Enjoy\r\n plain text\r\n230 Logged in\r\n"
                                "257 \"/a\"\r\n"});
    QCOMPARE(fed.replies.size(), 2);
    QCOMPARE(fed.replies[0].message(), QStringLiteral("Welcome\r\nEnjoy\r\n plain text"));
    QCOMPARE(fed.replies[0].text(),
             QStringLiteral("230-Welcome\r\n230-Enjoy\r\n plain text\r\n230 Logged in"));
    QVERIFY(fed.replies[1].message().isEmpty());
    // Each line is logged once, with the code of its reply.
    QCOMPARE(fed.lines.size(), 5);
    ReplyReader reader;
    ReplyReader::Output out;
    reader.feed("550-No\r\n more\r\n550 Really\r\n", out);
    QCOMPARE(out.lines.size(), 3);
    for (const FtpReplyLine& line : std::as_const(out.lines))
        QCOMPARE(line.code, qint16(550));
}

void TestReplyReader::unterminatedLastLineCountsOnlyAtTheEnd() {
    QCOMPARE(summary(feedPieces({"221 Bye"}).replies), QString());
    QCOMPARE(summary(feedPieces({"221 Bye"}, true).replies), QStringLiteral("221:1"));
    ReplyReader reader;
    ReplyReader::Output out;
    reader.feed("220-a\r\n", out);
    QVERIFY(reader.midReply());
    reader.feed("220 b\r\n", out);
    QVERIFY(!reader.midReply());
}

void TestReplyReader::limits_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("status");

    const auto line = [](int length) { return QByteArray(length, 'x') + "\r\n"; };
    QTest::newRow("line without end") << QByteArray(4096, 'a') << 100 << QByteArray("220 ")
                                      << int(ReplyReader::Status::LineTooLong);
    QTest::newRow("endless 220- lines") << QByteArray("220-more\r\n") << 20000 << QByteArray()
                                        << int(ReplyReader::Status::ReplyTooLong);
    QTest::newRow("reply over 1 MiB in long lines")
        << ("220-" + line(60000)) << 20 << QByteArray() << int(ReplyReader::Status::ReplyTooLong);
    QTest::newRow("long lines within limits")
        << ("220-" + line(60000)) << 10 << QByteArray() << int(ReplyReader::Status::Ok);
    QTest::newRow("many short replies are fine")
        << QByteArray("150 again\r\n") << 20000 << QByteArray() << int(ReplyReader::Status::Ok);
}

void TestReplyReader::limits() {
    QFETCH(QByteArray, unit);
    QFETCH(int, repeat);
    QFETCH(QByteArray, prefix);
    QFETCH(int, status);

    ReplyReader reader;
    ReplyReader::Output out;
    reader.feed(prefix, out);
    qsizetype replies = 0;
    for (int i = 0; i < repeat && reader.status() == ReplyReader::Status::Ok; ++i) {
        reader.feed(unit, out);
        replies += out.replies.size();
        out = {};
    }
    QCOMPARE(int(reader.status()), status);
    if (status != int(ReplyReader::Status::Ok)) {
        // Broken stays broken: nothing more comes out.
        reader.feed("220 after\r\n", out);
        QVERIFY(out.replies.isEmpty());
        QVERIFY(out.lines.isEmpty());
    }
    reader.reset();
    reader.feed("220 fresh\r\n", out);
    QCOMPARE(out.replies.size(), 1);
}

void TestReplyReader::manyRepliesStayLinear() {
    // 9,999 intermediate lines in one arrival and then one per feed: each line
    // is framed once, so the count of log lines equals the lines sent.
    QByteArray bulk;
    for (int i = 0; i < 5000; ++i)
        bulk += "220-line " + QByteArray::number(i) + "\r\n";
    ReplyReader reader;
    ReplyReader::Output out;
    reader.feed(bulk, out);
    for (int i = 0; i < 4999; ++i)
        reader.feed("220-more\r\n", out);
    reader.feed("220 ready\r\n", out);
    QCOMPARE(out.lines.size(), 10000);
    QCOMPARE(out.replies.size(), 1);
    QCOMPARE(out.replies[0].lines.size(), 10000);
}

QTEST_APPLESS_MAIN(TestReplyReader)
#include "tst_reply_reader.moc"
