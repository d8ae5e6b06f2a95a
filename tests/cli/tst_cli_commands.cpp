#include "PyFtpdServer.h"
#include "TestUtil.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

// Every command of krellin-cli, run as a program against a real server.
class TestCliCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void listing();
    void directoryInUrl();
    void transfers();
    void resume();
    void scriptedCommands();
    void failures_data();
    void failures();
    void failedGetKeepsLocalFile();
    void serverNamesStayInTheDirectory();
    void usageErrors_data();
    void usageErrors();
    void anonymous();
    void modesAndLog();
    void silentServerTimesOut_data();
    void silentServerTimesOut();
    void hostileNames();

private:
    Run run(const QStringList& arguments, int timeoutMs = 30000);
    QString url(const QString& directory = {}) const;
    QString remote(const QString& name) const { return m_Server.rootPath() + '/' + name; }
    QString local(const QString& name) const { return m_Local->path() + '/' + name; }

    PyFtpdServer m_Server;
    QString m_Binary;
    std::unique_ptr<QTemporaryDir> m_Local;
};

void TestCliCommands::initTestCase() {
    m_Binary = QStringLiteral(KRELLIN_BINARY_DIR "/cli/krellin-cli");
    QVERIFY2(QFileInfo(m_Binary).isExecutable(), qPrintable(m_Binary));
    QVERIFY2(m_Server.start(), qPrintable(m_Server.lastError()));
}

void TestCliCommands::init() {
    // A fresh working directory per test: get without LOCAL writes here.
    m_Local = std::make_unique<QTemporaryDir>();
    QVERIFY(m_Local->isValid());
}

Run TestCliCommands::run(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setWorkingDirectory(m_Local->path());
    process.start(m_Binary, arguments);
    Run result;
    if (!process.waitForStarted(10000))
        return result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString TestCliCommands::url(const QString& directory) const {
    return QStringLiteral("ftp://%1:%2@%3:%4/%5")
        .arg(PyFtpdServer::UserName, PyFtpdServer::Password, m_Server.host())
        .arg(m_Server.port())
        .arg(directory);
}

void TestCliCommands::listing() {
    QDir(m_Server.rootPath()).mkpath("listing/sub dir");
    QVERIFY(TestUtil::writeFile(remote("listing/two  blanks.txt"), "12345"));
    QVERIFY(QFile::link("sub dir", remote("listing/link")));

    Run r = run({url("listing"), "ls"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    lines.sort();
    QCOMPARE(lines.size(), 3);
    const QStringList file = lines.filter("two  blanks.txt").value(0).split('\t');
    QCOMPARE(file.size(), 7);
    QCOMPARE(file[0], QStringLiteral("-"));
    QCOMPARE(file[1], QStringLiteral("5"));
    QVERIFY(QDateTime::fromString(file[2], Qt::ISODate).isValid());
    QVERIFY(file[3].startsWith("-rw"));
    const QStringList dir = lines.filter("sub dir").value(0).split('\t');
    QCOMPARE(dir.value(0), QStringLiteral("d"));
    // pyftpdlib offers MLST, so the listing comes by MLSD, which reports a
    // link as what it points to.
    const QStringList link = lines.filter("\tlink").value(0).split('\t');
    QCOMPARE(link.value(0), QStringLiteral("d"));
    QCOMPARE(link.value(6), QStringLiteral("link"));

    r = run({"--json", url("listing"), "ls"});
    QCOMPARE(r.exitCode, 0);
    const QJsonArray array = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(array.size(), 3);
    QStringList names;
    for (const auto& value : array)
        names << value.toObject()["name"].toString();
    names.sort();
    QCOMPARE(names, (QStringList{"link", "sub dir", "two  blanks.txt"}));
}

void TestCliCommands::directoryInUrl() {
    QDir(m_Server.rootPath()).mkpath("a/b c");
    Run r = run({url("a/b%20c"), "pwd"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("/a/b c\n"));

    r = run({"-c", "up", "-c", "pwd", "-c", "cd \"b c\"", "-c", "pwd", url("a/b%20c/")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("/a\n/a/b c\n"));

    r = run({url("no/such/dir"), "pwd"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.startsWith("Error #54: "));
}

void TestCliCommands::transfers() {
    // Not a multiple of any block size, and larger than one socket buffer.
    const qint64 size = 3 * 65536 + 1808;
    QVERIFY(TestUtil::writePatternFile(local("up.bin"), size));
    const QByteArray sum = TestUtil::fileChecksum(local("up.bin"));

    Run r = run({url(), "put", "up.bin"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(TestUtil::fileChecksum(remote("up.bin")), sum);

    r = run({url(), "put", local("up.bin"), "copy with blanks.bin"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(TestUtil::fileChecksum(remote("copy with blanks.bin")), sum);

    QVERIFY(QFile::remove(local("up.bin")));
    r = run({url(), "get", "/copy with blanks.bin"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(TestUtil::fileChecksum(local("copy with blanks.bin")), sum);

    // An existing local file is replaced whole, never left with an old tail.
    QVERIFY(TestUtil::writePatternFile(local("longer.bin"), size + 5000));
    QDir(m_Local->path()).mkpath("into");
    r = run({"-c", "get up.bin longer.bin", "-c", "get up.bin into", url()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(TestUtil::fileChecksum(local("longer.bin")), sum);
    QCOMPARE(TestUtil::fileChecksum(local("into/up.bin")), sum);

    // Only the files the user asked for are left behind.
    QCOMPARE(QDir(m_Local->path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"copy with blanks.bin", "longer.bin"}));
}

void TestCliCommands::resume() {
    const qint64 size = 200000;
    const QByteArray whole = TestUtil::patternBytes(size);
    QVERIFY(TestUtil::writeFile(remote("whole.bin"), whole));
    QVERIFY(TestUtil::writeFile(local("whole.bin"), whole.left(1000)));

    Run r = run({"-v", url(), "get", "--resume", "whole.bin"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("> REST 1000\n"), qPrintable(r.err));
    QCOMPARE(TestUtil::readFile(local("whole.bin")), whole);

    QVERIFY(TestUtil::writeFile(remote("partial.bin"), whole.left(70000)));
    QVERIFY(TestUtil::writeFile(local("source.bin"), whole));
    r = run({"-v", url(), "put", "--resume", "source.bin", "partial.bin"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.contains("> REST 70000\n"), qPrintable(r.err));
    QCOMPARE(TestUtil::readFile(remote("partial.bin")), whole);

    // The remote size is looked up in the directory the remote name points into.
    QDir(m_Server.rootPath()).mkpath("deep");
    QVERIFY(TestUtil::writeFile(remote("deep/p.bin"), whole.left(5)));
    r = run({"-c", "put --resume source.bin deep/p.bin", "-c", "pwd", url()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QStringLiteral("/\n"));
    QCOMPARE(TestUtil::readFile(remote("deep/p.bin")), whole);

    // A remote file longer than the local one is not touched.
    QVERIFY(TestUtil::writeFile(local("short.bin"), whole.left(10)));
    r = run({url(), "put", "--resume", "short.bin", "partial.bin"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("nothing to resume"));
    QCOMPARE(TestUtil::readFile(remote("partial.bin")), whole);
}

void TestCliCommands::scriptedCommands() {
    QVERIFY(TestUtil::writeFile(local("note.txt"), "note\n"));
    const Run r = run({"-c", "mkdir \"new  dir\"",
                       "-c", "cd 'new  dir'",
                       "-c", "put note.txt",
                       "-c", "mv note.txt \"renamed note.txt\"",
                       "-c", "mkdir gone",
                       "-c", "rmdir gone",
                       "-c", "put note.txt extra.txt",
                       "-c", "rm extra.txt",
                       "-c", "up",
                       "-c", "pwd",
                       url()});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("/\n"));
    QCOMPARE(QDir(remote("new  dir")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"renamed note.txt"});
    QCOMPARE(TestUtil::readFile(remote("new  dir/renamed note.txt")), QByteArray("note\n"));
}

void TestCliCommands::failures_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("reply");
    const QString missing550 =
        QStringLiteral("Error #54: Requested action not taken. File unavailable");
    QTest::newRow("rm of a missing file")
        << QStringList{"rm", "missing.txt"} << missing550 << "Server response: 550";
    QTest::newRow("cd into a missing directory")
        << QStringList{"cd", "missing"} << missing550 << "Server response: 550";
    QTest::newRow("rmdir of a missing directory")
        << QStringList{"rmdir", "missing"} << missing550 << "Server response: 550";
    QTest::newRow("mv of a missing file") << QStringList{"mv", "missing", "x"} << "Error #"
                                          << "Server response: 550";
    QTest::newRow("put of a missing local file")
        << QStringList{"put", "no-such-local.bin"} << "Error #53: "
        << "";
    QTest::newRow("put of a directory") << QStringList{"put", "."} << "Error #75: "
                                        << "";
}

void TestCliCommands::failures() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, reply);
    const Run r = run(QStringList{url()} + arguments);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(error), qPrintable(r.err));
    if (!reply.isEmpty())
        QVERIFY2(r.err.contains('\n' + reply), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

void TestCliCommands::failedGetKeepsLocalFile() {
    QVERIFY(TestUtil::writeFile(local("keep.txt"), "precious"));
    // The first failure stops the script: the mkdir never runs.
    const Run r =
        run({"-c", "get missing.txt keep.txt", "-c", "get missing.txt", "-c", "mkdir nope", url()});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith("Error #54: "), qPrintable(r.err));
    QCOMPARE(TestUtil::readFile(local("keep.txt")), QByteArray("precious"));
    QCOMPARE(QDir(m_Local->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.txt"});
    QVERIFY(!QFileInfo::exists(remote("nope")));
}

void TestCliCommands::serverNamesStayInTheDirectory() {
    QDir(m_Server.rootPath()).mkpath("d");
    QVERIFY(TestUtil::writeFile(remote("d/f.txt"), "f"));
    for (const QString& name : {QStringLiteral(".."), QStringLiteral("d/.."), QStringLiteral("d/."),
                                QStringLiteral("d/")}) {
        const Run r = run({url(), "get", name});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.startsWith("Error: ") && r.err.contains("name LOCAL"), qPrintable(r.err));
    }
    QVERIFY(QDir(m_Local->path()).isEmpty());

    // The last component, not the server's path, decides where the file lands.
    const Run r = run({url(), "get", "/d/f.txt"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(TestUtil::readFile(local("f.txt")), QByteArray("f"));
}

void TestCliCommands::usageErrors_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("not a URL") << QStringList{"127.0.0.1"};
    QTest::newRow("unknown command") << QStringList{"ftp://127.0.0.1:1", "fetch", "x"};
    QTest::newRow("missing argument") << QStringList{"ftp://127.0.0.1:1", "mv", "a"};
    QTest::newRow("unterminated quote") << QStringList{"-c", "get \"a b", "ftp://127.0.0.1:1"};
    QTest::newRow("bad timeout") << QStringList{"--timeout", "soon", "ftp://127.0.0.1:1"};
    QTest::newRow("unknown option") << QStringList{"--fast", "ftp://127.0.0.1:1"};
}

void TestCliCommands::usageErrors() {
    QFETCH(QStringList, arguments);
    const Run r = run(arguments);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.startsWith("krellin-cli: ") && r.err.contains("Usage: krellin-cli"),
             qPrintable(r.err));
}

void TestCliCommands::anonymous() {
    QVERIFY(TestUtil::writeFile(remote("public.txt"), "public"));
    const QString anon = QStringLiteral("ftp://%1:%2/").arg(m_Server.host()).arg(m_Server.port());
    Run r = run({"-v", anon, "get", "public.txt"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.contains("> USER anonymous\n"));
    QCOMPARE(TestUtil::readFile(local("public.txt")), QByteArray("public"));

    r = run({anon, "put", "public.txt", "not-allowed.txt"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith("Error #"), qPrintable(r.err));
    QVERIFY(r.err.contains("Server response: 5"));
    QVERIFY(!QFileInfo::exists(remote("not-allowed.txt")));

    r = run({anon + "incoming", "put", "public.txt"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(TestUtil::readFile(remote("incoming/public.txt")), QByteArray("public"));

    r = run({"--help"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.startsWith("Usage: krellin-cli"));
}

void TestCliCommands::modesAndLog() {
    QVERIFY(TestUtil::writeFile(remote("m.bin"), TestUtil::patternBytes(5000)));
    const Run r = run({"-v", "--active", "--ascii", url(), "get", "m.bin"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(QFileInfo::exists(local("m.bin")));
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.contains("> USER user"), qPrintable(r.err));
    QVERIFY(lines.contains("> PASS ******"));
    QVERIFY(lines.contains("> TYPE A"));
    QVERIFY(!lines.filter(QRegularExpression("^> PORT \\d+,\\d+,\\d+,\\d+,\\d+,\\d+$")).isEmpty());
    QVERIFY(!lines.filter(QRegularExpression("^< 230 ")).isEmpty());
    QVERIFY(lines.contains("> QUIT"));
    // Every line carries a mark of its kind.
    for (const QString& line : lines)
        QVERIFY2(QRegularExpression("^[<>!*] ").match(line).hasMatch(), qPrintable(line));
}

void TestCliCommands::silentServerTimesOut_data() {
    QTest::addColumn<bool>("ipv6");
    QTest::newRow("IPv4") << false;
    QTest::newRow("IPv6 literal") << true;
}

void TestCliCommands::silentServerTimesOut() {
    QFETCH(bool, ipv6);
    // Accepts connections (the kernel completes them) and never greets.
    QTcpServer silent;
    if (!silent.listen(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost))
        QSKIP("no loopback for this protocol");
    const QString host = ipv6 ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1");
    const Run r = run(
        {"--timeout", "1", QStringLiteral("ftp://%1:%2").arg(host).arg(silent.serverPort()), "ls"},
        20000);
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QStringLiteral("Error #58: A time-out occurred while communicating with the "
                                   "server.\n"));
}

// Names a real server lists as they are on disk, escape sequences and all:
// the terminal gets them escaped, the JSON gives them back exactly.
void TestCliCommands::hostileNames() {
    const QString dir = QString::fromUtf8("hostile\x1b]0;owned\x07");
    const QStringList names{QString::fromUtf8("\x1b[2Jclear"),
                            QString::fromUtf8("\xc2\x9b"
                                              "31mred"),
                            QStringLiteral("del\x7f"), QStringLiteral("back\\x1bslash")};
    const QStringList shown{"\\x1b[2Jclear", "\\u009b31mred", "del\\x7f", "back\\\\x1bslash"};
    QVERIFY(QDir(m_Server.rootPath()).mkpath(dir));
    for (const QString& name : names)
        QVERIFY(TestUtil::writeFile(remote(dir + '/' + name), "x"));
    const auto rawControls = [](const QString& text) {
        return std::count_if(text.cbegin(), text.cend(), [](QChar c) {
            const char16_t u = c.unicode();
            return u != '\n' && u != '\t' && (u < 0x20 || (u >= 0x7f && u <= 0x9f));
        });
    };

    Run r = run({"-v", "-c", "cd \"" + dir + '"', "-c", "pwd", "-c", "ls", url()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(rawControls(r.out), 0);
    QCOMPARE(rawControls(r.err), 0);
    QVERIFY2(r.err.contains("> CWD hostile\\x1b]0;owned\\x07\n"), qPrintable(r.err));
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0), QStringLiteral("/hostile\\x1b]0;owned\\x07"));
    QStringList listed;
    for (const QString& line : lines.mid(1))
        listed << line.section('\t', 6);
    listed.sort();
    QStringList expected = shown;
    expected.sort();
    QCOMPARE(listed, expected);

    r = run({"--json", url(dir.toUtf8().toPercentEncoding()), "ls"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(rawControls(r.out), 0);
    QJsonParseError error{};
    const QJsonArray array = QJsonDocument::fromJson(r.out.toUtf8(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    listed.clear();
    for (const auto& value : array)
        listed << value.toObject()["name"].toString();
    listed.sort();
    expected = names;
    expected.sort();
    QCOMPARE(listed, expected);
}

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
