#include "KrellinVersion.h"
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
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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
    void queueCommands();
    void usageErrors_data();
    void usageErrors();
    void anonymous();
    void modesAndLog();
    void silentServerTimesOut_data();
    void silentServerTimesOut();
    void hostileNames();
    void logInSources_data();
    void logInSources();
    void outputs_data();
    void outputs();
    void onTerminal_data();
    void onTerminal();

private:
    Run run(const QStringList& arguments, int timeoutMs = 30000);
    Run runOnTerminal(const QStringList& arguments, const QByteArray& prompt,
                      const QByteArray& answer);
    QString url(const QString& directory = {}) const;
    QString remote(const QString& name) const { return m_Server.rootPath() + '/' + name; }
    QString local(const QString& name) const { return m_Local->path() + '/' + name; }

    PyFtpdServer m_Server;
    QString m_Binary;
    std::unique_ptr<QTemporaryDir> m_Local;
    // A HOME of the test's own: no ~/.netrc but the one a test writes.
    std::unique_ptr<QTemporaryDir> m_Home;
    QProcessEnvironment m_Env;
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
    m_Home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_Home->isValid());
    m_Env = QProcessEnvironment::systemEnvironment();
    m_Env.insert("HOME", m_Home->path());
}

Run TestCliCommands::run(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.setWorkingDirectory(m_Local->path());
    process.setProcessEnvironment(m_Env);
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

void TestCliCommands::queueCommands() {
    // mput and mget by pattern, a target in the way, and a folder there and back.
    QVERIFY(QDir(m_Server.rootPath()).mkpath("mq"));
    QVERIFY(TestUtil::writePatternFile(local("a.txt"), 5000));
    QVERIFY(TestUtil::writePatternFile(local("b.txt"), 7));
    QVERIFY(TestUtil::writeFile(local("c.log"), "not sent"));
    Run r = run({url("mq"), "mput", "*.txt"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("2 files, 5007 bytes, 0 failed, 0 verified\n"));
    QCOMPARE(QDir(remote("mq")).entryList(QDir::Files), (QStringList{"a.txt", "b.txt"}));

    // The local copies are in the way: no choice given, each fails and says why.
    r = run({url("mq"), "mget", "?.txt"});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err.count("Failed: /mq/"), 2);
    QVERIFY2(r.err.contains("--skip-existing"), qPrintable(r.err));
    r = run({"--skip-existing", url("mq"), "mget", "?.txt"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("2 files, 0 bytes, 0 failed, 0 verified, 2 skipped\n"));
    // On a terminal the question is asked; "S" skips this one and the rest.
    r = runOnTerminal({"-q", url("mq"), "mget", "?.txt"}, "[d]ifferent size only", "S\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.out));
    QCOMPARE(r.out.count("exists ("), 1);
    QVERIFY2(r.out.contains("2 skipped"), qPrintable(r.out));

    QVERIFY(QDir().mkpath(local("tree/x")) && QDir().mkpath(local("tree/empty")));
    QVERIFY(TestUtil::writePatternFile(local("tree/x/deep.bin"), 100000));
    r = run({"--parallel", "3", url("mq"), "put", "-r", "tree"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    r = run({url("mq"), "get", "-r", "tree", "back"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(TestUtil::fileChecksum(local("back/x/deep.bin")),
             TestUtil::fileChecksum(local("tree/x/deep.bin")));
    QVERIFY(QFileInfo(local("back/empty")).isDir());
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
    QTest::newRow("too many connections") << QStringList{"--parallel", "11", "ftp://127.0.0.1:1"};
    QTest::newRow("-r on ls") << QStringList{"ftp://127.0.0.1:1", "ls", "-r"};
    QTest::newRow("mget without a pattern") << QStringList{"ftp://127.0.0.1:1", "mget"};
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

// krellin-cli with a pseudo-terminal as its standard input, output and error;
// `answer` is typed once `prompt` has appeared. The transcript is in out.
Run TestCliCommands::runOnTerminal(const QStringList& arguments, const QByteArray& prompt,
                                   const QByteArray& answer) {
    Run result;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return result;
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    if (grantpt(master) != 0 || unlockpt(master) != 0)
        return result;
    const QString terminal = QString::fromLocal8Bit(ptsname(master));
    QProcess process;
    process.setWorkingDirectory(m_Local->path());
    process.setProcessEnvironment(m_Env);
    process.setStandardInputFile(terminal);
    process.setStandardOutputFile(terminal);
    process.setStandardErrorFile(terminal);
    process.start(m_Binary, arguments);
    if (!process.waitForStarted(10000))
        return result;
    QByteArray seen;
    bool answered = prompt.isEmpty();
    const auto readSome = [&](int waitMs) {
        pollfd ready{master, POLLIN, 0};
        char buffer[4096];
        if (poll(&ready, 1, waitMs) <= 0)
            return false;
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0)
            seen.append(buffer, n);
        return n > 0;
    };
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && !process.waitForFinished(0)) {
        readSome(50);
        if (!answered && seen.contains(prompt)) {
            answered = ::write(master, answer.constData(), answer.size()) == answer.size();
        }
    }
    for (int i = 0; i < 100 && readSome(0); ++i) {
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    result.out = QString::fromUtf8(seen);
    return result;
}

// Where the password comes from: the URL wins, then --password-env, then the
// netrc file (~/.netrc or --netrc-file); none of them is ever printed.
void TestCliCommands::logInSources_data() {
    QTest::addColumn<QString>("netrc"); // written to $HOME/.netrc, or to FILE with --netrc-file
    QTest::addColumn<bool>("netrcFile");
    QTest::addColumn<QString>("userInfo"); // before the @ of the URL; empty: none
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    const QString right = "machine 127.0.0.1 login user password secret\n";
    const QString wrong = "machine 127.0.0.1 login user password wrong-one\n";
    const QStringList none;
    QTest::newRow("netrc: user and password") << right << false << "" << none << 0;
    QTest::newRow("netrc: the URL's user") << right << false << "user" << none << 0;
    QTest::newRow("netrc: the default entry")
        << "machine elsewhere login x password y\ndefault login user password secret" << false << ""
        << none << 0;
    QTest::newRow("the URL's password wins") << wrong << false << "user:secret" << none << 0;
    QTest::newRow("netrc: a wrong password") << wrong << false << "user" << none << 1;
    QTest::newRow("--netrc-file") << right << true << "" << none << 0;
    QTest::newRow("--netrc-file missing")
        << "" << false << "user" << QStringList{"--netrc-file", "/nonexistent/netrc"} << 1;
    QTest::newRow("--password-env")
        << wrong << false << "user" << QStringList{"--password-env", "KRELLIN_PASSWORD"} << 0;
    QTest::newRow("--password-env unset")
        << "" << false << "user" << QStringList{"--password-env", "KRELLIN_UNSET"} << 1;
    QTest::newRow("a user, no password, no terminal") << "" << false << "user" << none << 1;
}

void TestCliCommands::logInSources() {
    QFETCH(QString, netrc);
    QFETCH(bool, netrcFile);
    QFETCH(QString, userInfo);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    const QString path = netrcFile ? local("my netrc") : m_Home->path() + "/.netrc";
    if (!netrc.isEmpty())
        QVERIFY(TestUtil::writeFile(path, netrc.toUtf8()));
    if (netrcFile)
        options << "--netrc-file" << path;
    m_Env.insert("KRELLIN_PASSWORD", PyFtpdServer::Password);
    const QString address = QStringLiteral("ftp://%1%2%3:%4/")
                                .arg(userInfo, userInfo.isEmpty() ? "" : "@", m_Server.host())
                                .arg(m_Server.port());
    // Options after the URL, as people type them.
    const Run r = run(QStringList{address, "pwd", "-v"} + options);
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
    if (exitCode == 0) {
        QCOMPARE(r.out, QStringLiteral("/\n"));
        QVERIFY2(r.err.contains("> USER user\n"), qPrintable(r.err));
    }
    QVERIFY2(!r.err.contains("secret") && !r.err.contains("wrong-one"), qPrintable(r.err));
}

// -o, "-" for standard output, --version, and a URL that names a file.
void TestCliCommands::outputs_data() {
    QTest::addColumn<QStringList>("arguments"); // "URL/..." is the server's URL with that path
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("file");      // the one file the run leaves in its folder
    QTest::addColumn<bool>("onStdout");     // the download's bytes are the whole stdout
    QTest::addColumn<QString>("errorText"); // empty: nothing on stderr
    QTest::newRow("URL naming a file")
        << QStringList{"URL/pub/f.bin"} << 0 << "f.bin" << false << "";
    QTest::newRow("absolute URL naming a file, -o")
        << QStringList{"URL/%2Fpub/f.bin", "-o", "g.bin"} << 0 << "g.bin" << false << "";
    QTest::newRow("URL naming a file, -o -")
        << QStringList{"-o", "-", "URL/pub/f.bin"} << 0 << "" << true << "";
    QTest::newRow("get REMOTE -") << QStringList{"URL/pub", "get", "f.bin", "-"} << 0 << "" << true
                                  << "";
    QTest::newRow("--progress when stderr is no terminal")
        << QStringList{"URL/pub/f.bin", "--progress"} << 0 << "f.bin" << false << "KiB";
    QTest::newRow("URL naming a missing file")
        << QStringList{"URL/pub/none.bin"} << 1 << "" << false << "Error #54";
    QTest::newRow("a trailing slash names a directory")
        << QStringList{"URL/pub/f.bin/"} << 1 << "" << false << "Error #54";
    QTest::newRow("-o with a directory URL")
        << QStringList{"URL/pub", "-o", "x"} << 1 << "" << false << "is a directory";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "" << false << "";
}

void TestCliCommands::outputs() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, file);
    QFETCH(bool, onStdout);
    QFETCH(QString, errorText);
    QDir(m_Server.rootPath()).mkpath("pub");
    // Binary, and larger than the blocks it passes on in.
    const QByteArray bytes = TestUtil::patternBytes(3 * 65536 + 77);
    QVERIFY(TestUtil::writeFile(remote("pub/f.bin"), bytes));
    for (QString& argument : arguments)
        argument.replace(QRegularExpression("^URL/"), url());

    QProcess process;
    process.setWorkingDirectory(m_Local->path());
    process.setProcessEnvironment(m_Env);
    process.start(m_Binary, arguments);
    QVERIFY(process.waitForFinished(30000));
    const QByteArray out = process.readAllStandardOutput();
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(process.exitCode() == exitCode, qPrintable(err));
    if (errorText.isEmpty())
        QVERIFY2(err.isEmpty(), qPrintable(err));
    else
        QVERIFY2(err.contains(errorText), qPrintable(err));
    if (arguments == QStringList{"--version"})
        QCOMPARE(out, QByteArray("krellin-cli " KRELLIN_VERSION "\n"));
    else
        QVERIFY(out == (onStdout ? bytes : QByteArray()));
    QCOMPARE(QDir(m_Local->path()).entryList(QDir::Files | QDir::Hidden),
             file.isEmpty() ? QStringList{} : QStringList{file});
    if (!file.isEmpty())
        QVERIFY(TestUtil::readFile(local(file)) == bytes);
}

// On a terminal: the password asked for without echo, and a progress line.
void TestCliCommands::onTerminal_data() {
    QTest::addColumn<QString>("userInfo");
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QByteArray>("answer"); // typed at the prompt; empty: no prompt expected
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("shown"); // in the transcript
    QTest::newRow("prompt, right password")
        << "user" << QStringList{"pwd"} << QByteArray("secret\n") << 0 << "\r\n/\r\n";
    QTest::newRow("prompt, wrong password")
        << "user" << QStringList{"pwd"} << QByteArray("wrong-one\n") << 1 << "Error #52";
    QTest::newRow("progress by default")
        << "user:secret" << QStringList{"get", "f.bin"} << QByteArray() << 0 << "\rf.bin  ";
    QTest::newRow("-q: no progress")
        << "user:secret" << QStringList{"get", "f.bin", "-q"} << QByteArray() << 0 << "";
}

void TestCliCommands::onTerminal() {
    QFETCH(QString, userInfo);
    QFETCH(QStringList, command);
    QFETCH(QByteArray, answer);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);
    QVERIFY(TestUtil::writeFile(remote("f.bin"), TestUtil::patternBytes(300000)));
    const QString address =
        QStringLiteral("ftp://%1@%2:%3/").arg(userInfo, m_Server.host()).arg(m_Server.port());
    const QByteArray prompt =
        answer.isEmpty() ? QByteArray() : "Password for user@" + m_Server.host().toUtf8() + ": ";
    const Run r = runOnTerminal(QStringList{address} + command, prompt, answer);
    QVERIFY2(r.exitCode == exitCode, qPrintable(r.out));
    QVERIFY2(r.out.contains(QString::fromUtf8(prompt)), qPrintable(r.out));
    if (!answer.isEmpty()) // no echo
        QVERIFY2(!r.out.contains(QString::fromUtf8(answer.trimmed())), qPrintable(r.out));
    if (shown.isEmpty())
        QCOMPARE(r.out, QString());
    else
        QVERIFY2(r.out.contains(shown), qPrintable(r.out));
}

QTEST_GUILESS_MAIN(TestCliCommands)
#include "tst_cli_commands.moc"
