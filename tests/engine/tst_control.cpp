// The engine's control side against the scripted server: greetings, log-in,
// the command steps with their accepted and refused replies, busy rules,
// time-out and cancel, ABOR and 426, closing, faults and the command-line
// guard.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "Fault.h"
#include "TestUtil.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

namespace {

// Writes through the real socket unless a fault is to be injected.
class FaultingConnection : public CFtpConnection {
public:
    qint32 faultNumber = 0;

protected:
    void WriteControl(const QByteArray& line) override {
        if (faultNumber != 0)
            throw platform::Fault(faultNumber, QStringLiteral("injected fault"));
        CFtpConnection::WriteControl(line);
    }
};

struct Session {
    FakeFtpServer server;
    FaultingConnection ftp;
    QList<int> states;
    QList<QPair<QString, int>> log;

    explicit Session(qint16 timeout = 5) {
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setTimeout(timeout);
        QObject::connect(&ftp, &CFtpConnection::StateChanged, [this](int s) { states << s; });
        QObject::connect(&ftp, &CFtpConnection::SessionProtocolMessage,
                         [this](const QString& text, int type) {
                             log.append({text, type});
                         });
    }

    void scriptAnonymousLogIn() {
        server.expect(QStringLiteral("USER anonymous"))
            .reply(QStringLiteral("331 Password required"))
            .expect(QStringLiteral("PASS *"))
            .reply(QStringLiteral("230 Logged in"))
            .expect(QStringLiteral("PWD"))
            .reply(QStringLiteral("257 \"/\" is current"));
    }

    bool logIn() {
        scriptAnonymousLogIn();
        return ftp.Connect();
    }

    QStringList sentLog() const {
        QStringList sent;
        for (const auto& [text, type] : log)
            if (type == CFtpConnection::UserCommand)
                sent << text;
        return sent;
    }

    // Answers each verb with a fixed reply ("VERB=reply"; no "=" means silence;
    // "|" cuts the reply into raw pieces sent as separate arrivals).
    void answer(const QStringList& replies) {
        for (const QString& entry : replies) {
            const qsizetype eq = entry.indexOf(u'=');
            const QString verb = eq < 0 ? entry : entry.left(eq);
            const QString text = eq < 0 ? QString() : entry.mid(eq + 1);
            server.onCommand(verb, [text](FakeFtpServer& s, const QString&) {
                if (!text.contains(u'|')) {
                    if (!text.isEmpty())
                        s.sendReply(text);
                    return;
                }
                // "a|b|c": raw pieces, each its own arrival.
                const QStringList pieces = text.split(u'|');
                for (qsizetype i = 0; i < pieces.size(); ++i)
                    QTimer::singleShot(int(i) * 40, &s,
                                       [&s, piece = pieces[i].toUtf8()] { s.sendBytes(piece); });
            });
        }
    }

    // Runs fn inside the wait of the next command that is logged as sent.
    void onNextSend(std::function<void()> fn) {
        auto once = std::make_shared<bool>(false);
        QObject::connect(&ftp, &CFtpConnection::SessionProtocolMessage, &ftp,
                         [once, fn](const QString&, int type) {
                             if (type != CFtpConnection::UserCommand || *once)
                                 return;
                             *once = true;
                             QTimer::singleShot(0, fn);
                         });
    }
};

const QString CanceledText = QStringLiteral("The operation was canceled by user.");

// The received lines of a log, as "type:text".
QStringList received(const QList<QPair<QString, int>>& log) {
    QStringList lines;
    for (const auto& [text, type] : log)
        if (type == CFtpConnection::ServerResponse || type == CFtpConnection::ServerBadResponse)
            lines << QString::number(type) + QLatin1Char(':') + text;
    return lines;
}

} // namespace

class TestControl : public QObject {
    Q_OBJECT
private slots:
    void greetings_data();
    void greetings();
    void greetingSplitAcrossArrivals();
    void anonymousDefaults();
    void namedUserWithPasswordAndSingleStepLogIn();
    void refusedLogIn_data();
    void refusedLogIn();
    void silentServerEndsWithATimeOut();
    void tricklingGreetingEndsWithinItsBound_data();
    void tricklingGreetingEndsWithinItsBound();
    void serverClosingBeforeGreeting();
    void emptyServerNameIsAFault();
    void commandSteps_data();
    void commandSteps();
    void busyRefusalsAndMembersThatIgnoreBusy();
    void outOfStepRepliesEndTheSession_data();
    void outOfStepRepliesEndTheSession();
    void abortReplies_data();
    void abortReplies();
    void unsolicited426KeepsTheSession();
    void deadConnectionEndsTheWaitAtOnce_data();
    void deadConnectionEndsTheWaitAtOnce();
    void sendingAfterThePeerClosedGivesCode4();
    void closeAndBreak();
    void faultsInsideASteps_data();
    void faultsInsideASteps();
    void lineBreaksInArgumentsAreRefused_data();
    void lineBreaksInArgumentsAreRefused();
    void utf8BothWays();
    void errorDescriptions();
    void arrivalsAreLoggedByCode_data();
    void arrivalsAreLoggedByCode();
    void multiLineReplySplitAfterTheWaitTookItsStart();
};

void TestControl::greetings_data() {
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<int>("lastError");
    QTest::addColumn<QString>("welcome");
    QTest::addColumn<bool>("described");

    QTest::newRow("220") << "220 Ready" << true << 0 << "" << false;
    QTest::newRow("220 multi-line")
        << "220-Welcome\n220-Enjoy\n220 Ready" << true << 0 << "Welcome\r\nEnjoy" << false;
    QTest::newRow("120 later") << "120 Try again in 5 minutes" << false << 37 << "" << true;
    QTest::newRow("421 unavailable") << "421 Too many users" << false << 41 << "" << true;
    QTest::newRow("other code") << "500 What" << false << 47 << "" << true;
    // A line without a code names itself rather than leaving "Error #0".
    QTest::newRow("no code") << "hello" << false << 64 << "" << true;
    QTest::newRow("unknown code") << "999 Odd" << false << 64 << "" << true;
    // "Ready in a few minutes" followed by the 220 within the interval.
    QTest::newRow("120 then 220") << "120-Busy\n120 Wait\n220 Ready" << true << 0 << "Busy"
                                  << false;
}

void TestControl::greetings() {
    QFETCH(QString, greeting);
    QFETCH(bool, loggedIn);
    QFETCH(int, lastError);
    QFETCH(QString, welcome);
    QFETCH(bool, described);

    Session s;
    s.server.setGreeting(greeting);
    QCOMPARE(s.logIn(), loggedIn);
    QCOMPARE(s.ftp.FtpGetLastError(), lastError);
    // A refused greeting is shown by its description alone.
    if (described)
        QVERIFY(!s.ftp.GetFtpErrorDescription(0).isEmpty());
    QVERIFY(!s.ftp.Busy());
    QCOMPARE(s.ftp.WelcomeMessage(), welcome);
    QCOMPARE(s.ftp.WelcomeMessage(), QString()); // emptied by the read
    if (loggedIn) {
        QCOMPARE(
            s.server.commands(),
            (QStringList{"USER anonymous", "PASS " + CFtpConnection::AnonymousPassword, "PWD"}));
        QCOMPARE(s.states.mid(s.states.indexOf(CFtpConnection::Connected)),
                 (QList<int>{CFtpConnection::Connected, CFtpConnection::Authenticating,
                             CFtpConnection::LoggedIn}));
        QCOMPARE(s.ftp.CurrentDirectory(), QStringLiteral("/"));
    } else {
        QVERIFY(s.server.commands().isEmpty());
        QVERIFY(!s.states.contains(CFtpConnection::LoggedIn));
    }
    if (!loggedIn)
        QTRY_VERIFY(!s.server.controlConnected()); // the engine hung up
    if (lastError == 64)
        QVERIFY(s.ftp.GetFtpErrorDescription(0).contains(greeting));
}

void TestControl::greetingSplitAcrossArrivals() {
    Session s;
    s.server.setGreeting({});
    s.scriptAnonymousLogIn();
    QObject::connect(&s.ftp, &CFtpConnection::StateChanged, &s.ftp, [&s](int state) {
        if (state != CFtpConnection::Connected)
            return;
        QVERIFY(TestUtil::waitUntil([&s] { return s.server.controlConnected(); }));
        s.server.sendBytes("220-Wel");
        QTimer::singleShot(30, &s.ftp, [&s] { s.server.sendBytes("come\r\n220-Enjoy\r\n"); });
        QTimer::singleShot(60, &s.ftp, [&s] { s.server.sendBytes("220 Ready\r\n"); });
    });
    QVERIFY(s.ftp.Connect());
    QCOMPARE(s.ftp.WelcomeMessage(), QStringLiteral("Welcome\r\nEnjoy"));
    QCOMPARE(s.server.commands().value(0), QStringLiteral("USER anonymous"));
    // Lines are logged once each, whole, however the arrivals cut them.
    QVERIFY(s.log.contains(QPair<QString, int>{"220-Welcome", CFtpConnection::ServerResponse}));
    QVERIFY(!s.log.contains(QPair<QString, int>{"220-Wel", CFtpConnection::ServerResponse}));
}

void TestControl::anonymousDefaults() {
    Session s;
    QVERIFY(s.logIn());
    QCOMPARE(s.ftp.UserName(), QStringLiteral("anonymous"));
    QCOMPARE(s.ftp.Password(), CFtpConnection::AnonymousPassword);
    QCOMPARE(
        s.sentLog(),
        (QStringList{"USER anonymous",
                     "PASS " + QString(CFtpConnection::AnonymousPassword.size(), u'*'), "PWD"}));
    const QList<QPair<QString, int>> replies = {
        {"220 Fake FTP server ready", CFtpConnection::ServerResponse},
        {"331 Password required", CFtpConnection::ServerResponse},
        {"230 Logged in", CFtpConnection::ServerResponse},
        {"257 \"/\" is current", CFtpConnection::ServerResponse}};
    QList<QPair<QString, int>> received;
    for (const auto& entry : s.log)
        if (entry.second != CFtpConnection::UserCommand)
            received << entry;
    QCOMPARE(received, replies);

    // Case matters: only "anonymous" gets the placeholder password.
    Session capital;
    capital.ftp.setUserName(QStringLiteral("Anonymous"));
    QVERIFY(!capital.ftp.Connect());
    QCOMPARE(capital.ftp.FtpGetLastError(), 52);
    QCOMPARE(capital.ftp.GetFtpErrorDescription(0), QStringLiteral("Not logged in."));
    QVERIFY(capital.server.commands().isEmpty());
}

void TestControl::namedUserWithPasswordAndSingleStepLogIn() {
    Session s;
    s.ftp.setUserName(QStringLiteral("bob"));
    s.ftp.setPassword(QStringLiteral("s3cret"));
    s.server.expect(QStringLiteral("USER bob"))
        .reply(QStringLiteral("331 Password required"))
        .expect(QStringLiteral("PASS s3cret"))
        .reply(QStringLiteral("230-Hello bob\n230-Quota 1 GB\n230 Logged in"))
        .expect(QStringLiteral("PWD"))
        .reply(QStringLiteral("257 \"C:\\ftp\\in\" is current"));
    QVERIFY(s.ftp.Connect());
    QCOMPARE(s.sentLog().value(1), QStringLiteral("PASS ******"));
    QVERIFY(s.server.rawControlBytes().contains("PASS s3cret\r\n"));
    QCOMPARE(s.ftp.WelcomeMessage(), QStringLiteral("Hello bob\r\nQuota 1 GB"));
    QCOMPARE(s.ftp.CurrentDirectory(), QStringLiteral("C:/ftp/in"));

    Session direct;
    direct.ftp.setUserName(QStringLiteral("bob"));
    direct.ftp.setPassword(QStringLiteral("x"));
    direct.server.expect(QStringLiteral("USER bob"))
        .reply(QStringLiteral("230 No password needed"))
        .expect(QStringLiteral("PWD"))
        .reply(QStringLiteral("257 \"/pub/incoming\""));
    QVERIFY(direct.ftp.Connect());
    QCOMPARE(direct.server.commands(), (QStringList{"USER bob", "PWD"}));
    QCOMPARE(direct.ftp.CurrentDirectory(), QStringLiteral("/pub/incoming"));
}

void TestControl::refusedLogIn_data() {
    QTest::addColumn<QString>("userReply");
    QTest::addColumn<QString>("passReply");
    QTest::addColumn<QStringList>("commands");

    QTest::newRow("user refused") << "530 Not allowed"
                                  << "" << QStringList{"USER bob"};
    QTest::newRow("user odd code") << "999 Odd"
                                   << "" << QStringList{"USER bob"};
    QTest::newRow("password refused")
        << "331 Password required"
        << "530 Login incorrect" << QStringList{"USER bob", "PASS pw"};
    QTest::newRow("password reply without code")
        << "331 Password required"
        << "hello\n530 Login incorrect" << QStringList{"USER bob", "PASS pw"};
}

void TestControl::refusedLogIn() {
    QFETCH(QString, userReply);
    QFETCH(QString, passReply);
    QFETCH(QStringList, commands);

    Session s;
    s.ftp.setUserName(QStringLiteral("bob"));
    s.ftp.setPassword(QStringLiteral("pw"));
    s.answer({"USER=" + userReply, "PASS=" + passReply});
    QVERIFY(!s.ftp.Connect());
    QCOMPARE(s.ftp.FtpGetLastError(), 52);
    QCOMPARE(s.ftp.GetFtpErrorDescription(0), QStringLiteral("Not logged in."));
    QVERIFY(!s.ftp.Busy());
    QVERIFY(!s.states.contains(CFtpConnection::LoggedIn));
    QCOMPARE(s.server.commands(), commands);
    QTRY_VERIFY(!s.server.controlConnected());
}

void TestControl::silentServerEndsWithATimeOut() {
    Session s(1);
    s.server.setGreeting({});
    QVERIFY(!s.ftp.Connect());
    QCOMPARE(s.states.count(CFtpConnection::Connected), 1);
    QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrTimeout));
    QVERIFY(!s.ftp.Busy());
    QVERIFY(s.server.commands().isEmpty());
}

void TestControl::tricklingGreetingEndsWithinItsBound_data() {
    QTest::addColumn<QByteArray>("piece");
    QTest::newRow("bytes of one line") << QByteArray("x");
    QTest::newRow("endless lines") << QByteArray("220-more\r\n");
}

void TestControl::tricklingGreetingEndsWithinItsBound() {
    QFETCH(QByteArray, piece);
    // Every arrival restarts the 1 s interval; the total bound of four
    // intervals still ends the wait.
    Session s(1);
    s.server.setGreeting({});
    QTimer trickle;
    trickle.setInterval(150);
    QObject::connect(&trickle, &QTimer::timeout, &s.server, [&] {
        if (s.server.controlConnected())
            s.server.sendBytes(piece);
    });
    trickle.start();
    QVERIFY(!s.ftp.Connect());
    trickle.stop();
    QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrTimeout));
    QVERIFY(!s.ftp.Busy());
    QVERIFY(s.server.commands().isEmpty());
}

void TestControl::serverClosingBeforeGreeting() {
    Session s;
    s.server.setCloseOnConnect(true);
    QVERIFY(!s.ftp.Connect());
    QCOMPARE(s.ftp.FtpGetLastError(), 7);
    QCOMPARE(s.ftp.GetFtpErrorDescription(0),
             QStringLiteral("The connection was closed by the server."));
    QVERIFY(!s.ftp.Busy());
}

void TestControl::emptyServerNameIsAFault() {
    CFtpConnection ftp;
    try {
        ftp.Connect();
        QFAIL("no fault");
    } catch (const platform::Fault& fault) {
        QCOMPARE(fault.number(), -2147220503);
        QCOMPARE(fault.description(), QStringLiteral("FTP server is unspecified"));
        QCOMPARE(fault.source(), QStringLiteral("CFtpConnection.Connect"));
    }
    QVERIFY(!ftp.Busy());
    QCOMPARE(ftp.FtpGetLastError(), 0);
    QCOMPARE(ftp.GetFtpErrorDescription(0), QStringLiteral("FTP server is unspecified"));
}

void TestControl::commandSteps_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("lastError"); // -1: left as it was
    QTest::addColumn<QString>("description");

    const QString same; // the description left as it was
    QTest::newRow("CWD accepted") << "cwd" << QStringList{"/pub"} << QStringList{"CWD=250 OK"}
                                  << QStringList{"CWD /pub"} << "true" << -1 << same;
    QTest::newRow("CWD missing")
        << "cwd" << QStringList{"/nope"} << QStringList{"CWD=550 No such directory"}
        << QStringList{"CWD /nope"} << "false" << 54
        << "Requested action not taken. File unavailable (e.g., file not found, no access).";
    QTest::newRow("CWD after codeless lines")
        << "cwd" << QStringList{"/pub"} << QStringList{"CWD=Please read the README\n250 OK"}
        << QStringList{"CWD /pub"} << "true" << -1 << same;
    QTest::newRow("CWD answered 331") << "cwd" << QStringList{"x"} << QStringList{"CWD=331 Huh"}
                                      << QStringList{"CWD x"} << "false" << 38 << "331 Huh";
    QTest::newRow("CDUP accepted") << "cdup" << QStringList{} << QStringList{"CDUP=250 OK"}
                                   << QStringList{"CDUP"} << "true" << -1 << same;
    QTest::newRow("CDUP unknown command")
        << "cdup" << QStringList{} << QStringList{"CDUP=500 Unknown"} << QStringList{"CDUP"}
        << "false" << 47 << "Syntax error, command unrecognized.";
    QTest::newRow("MKD with blanks")
        << "mkd" << QStringList{"new dir"} << QStringList{"MKD=257 \"/new dir\" created"}
        << QStringList{"MKD new dir"} << "true" << -1 << same;
    QTest::newRow("MKD name not allowed")
        << "mkd" << QStringList{"a*b"} << QStringList{"MKD=553 Bad name"} << QStringList{"MKD a*b"}
        << "false" << 57 << "Requested action not taken. File name not allowed.";
    QTest::newRow("RMD accepted") << "rmd" << QStringList{"old"} << QStringList{"RMD=250 Removed"}
                                  << QStringList{"RMD old"} << "true" << -1 << same;
    QTest::newRow("RMD busy file")
        << "rmd" << QStringList{"old"} << QStringList{"RMD=450 Busy"} << QStringList{"RMD old"}
        << "false" << 44 << "Requested file action not taken.";
    QTest::newRow("DELE accepted") << "dele" << QStringList{"f"} << QStringList{"DELE=250 Deleted"}
                                   << QStringList{"DELE f"} << "true" << -1 << same;
    QTest::newRow("DELE storage")
        << "dele" << QStringList{"f"} << QStringList{"DELE=452 Full"} << QStringList{"DELE f"}
        << "false" << 46 << "Requested action not taken. Insufficient storage space in system.";
    // Codes the tables have no error for carry the server's own text.
    QTest::newRow("DELE unknown code")
        << "dele" << QStringList{"f"} << QStringList{"DELE=999 Odd"} << QStringList{"DELE f"}
        << "false" << 64 << "Unexpected reply from the server: 999 Odd";
    QTest::newRow("DELE code 000")
        << "dele" << QStringList{"f"} << QStringList{"DELE=000 Zero"} << QStringList{"DELE f"}
        << "false" << 64 << "Unexpected reply from the server: 000 Zero";
    QTest::newRow("DELE 2xx") << "dele" << QStringList{"f"} << QStringList{"DELE=2xx What"}
                              << QStringList{"DELE f"} << "false" << 64
                              << "Unexpected reply from the server: 2xx What";
    QTest::newRow("DELE success code of another command")
        << "dele" << QStringList{"f"} << QStringList{"DELE=226 Done"} << QStringList{"DELE f"}
        << "false" << 64 << "Unexpected reply from the server: 226 Done";
    // A refusal split across arrivals is still a refusal: the reply is whole
    // only at its line end.
    QTest::newRow("MKD refusal in pieces")
        << "mkd" << QStringList{"d"} << QStringList{"MKD=55|0 Exists|\r\n"} << QStringList{"MKD d"}
        << "false" << 54
        << "Requested action not taken. File unavailable (e.g., file not found, no access).";
    QTest::newRow("multi-line refusal in pieces")
        << "mkd" << QStringList{"d"} << QStringList{"MKD=550-No|\r\n550-st|ill no\r\n55|0 End\r\n"}
        << QStringList{"MKD d"} << "false" << 54
        << "Requested action not taken. File unavailable (e.g., file not found, no access).";
    QTest::newRow("rename accepted")
        << "rename" << QStringList{"a", "b"} << QStringList{"RNFR=350 Ready", "RNTO=250 Renamed"}
        << QStringList{"RNFR a", "RNTO b"} << "true" << -1 << same;
    QTest::newRow("rename source missing")
        << "rename" << QStringList{"a", "b"} << QStringList{"RNFR=550 No file", "RNTO=250 Renamed"}
        << QStringList{"RNFR a"} << "false" << 54
        << "Requested action not taken. File unavailable (e.g., file not found, no access).";
    QTest::newRow("rename target refused")
        << "rename" << QStringList{"a", "b"} << QStringList{"RNFR=350 Ready", "RNTO=553 No"}
        << QStringList{"RNFR a", "RNTO b"} << "false" << 57
        << "Requested action not taken. File name not allowed.";
    QTest::newRow("PWD quoted") << "pwd" << QStringList{} << QStringList{"PWD=257 \"/a b\" here"}
                                << QStringList{"PWD"} << "/a b" << 0 << same;
    // Unquoted, the first word is the path (servers that answer "257 /home").
    QTest::newRow("PWD without quotes") << "pwd" << QStringList{} << QStringList{"PWD=257 /a"}
                                        << QStringList{"PWD"} << "/a" << 0 << same;
    QTest::newRow("PWD unquoted with a comment")
        << "pwd" << QStringList{} << QStringList{"PWD=257 \\srv\\ftp is current"}
        << QStringList{"PWD"} << "/srv/ftp" << 0 << same;
    QTest::newRow("PWD with an unclosed quote")
        << "pwd" << QStringList{} << QStringList{"PWD=257 \"/a"} << QStringList{"PWD"} << "" << 64
        << "Unexpected reply from the server: 257 \"/a";
    QTest::newRow("PWD refused") << "pwd" << QStringList{} << QStringList{"PWD=550 No"}
                                 << QStringList{"PWD"} << "" << 54
                                 << "Requested action not taken. File unavailable (e.g., file not "
                                    "found, no access).";
    QTest::newRow("TYPE image twice")
        << "type" << QStringList{"1", "1"} << QStringList{"TYPE=200 OK"} << QStringList{"TYPE I"}
        << "1" << -1 << same;
    QTest::newRow("TYPE other value is image")
        << "type" << QStringList{"5"} << QStringList{"TYPE=200 OK"} << QStringList{"TYPE I"} << "5"
        << -1 << same;
    QTest::newRow("TYPE refused") << "type" << QStringList{"1"}
                                  << QStringList{"TYPE=504 Not for that"} << QStringList{"TYPE I"}
                                  << "0" << 51 << "Command not implemented for that parameter.";
    QTest::newRow("QUIT accepted") << "close" << QStringList{} << QStringList{"QUIT=221 Bye"}
                                   << QStringList{"QUIT"} << "true" << 61 << same;
    QTest::newRow("QUIT odd answer")
        << "close" << QStringList{} << QStringList{"QUIT=500 No"} << QStringList{"QUIT"} << "false"
        << 61 << "Syntax error, command unrecognized.";
}

void TestControl::commandSteps() {
    QFETCH(QString, action);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, commands);
    QFETCH(QString, result);
    QFETCH(int, lastError);
    QFETCH(QString, description);

    Session s;
    QVERIFY(s.logIn());
    s.answer(replies);
    // A recognisable earlier failure, to see what the step leaves alone.
    s.ftp.CancelAnyCall();
    s.ftp.GetFtpErrorDescription(CFtpConnection::ErrCancelled);
    const int before = s.server.commands().size();

    QString actual;
    const auto text = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    if (action == "cwd")
        actual = text(s.ftp.SetCurrentDirectory(arguments[0]));
    else if (action == "cdup")
        actual = text(s.ftp.SetParentAsCurrentDirectory());
    else if (action == "mkd")
        actual = text(s.ftp.CreateDirectory(arguments[0]));
    else if (action == "rmd")
        actual = text(s.ftp.RemoveDirectory(arguments[0]));
    else if (action == "dele")
        actual = text(s.ftp.DeleteFile(arguments[0]));
    else if (action == "rename")
        actual = text(s.ftp.RenameFile(arguments[0], arguments[1]));
    else if (action == "pwd")
        actual = s.ftp.GetCurrentDirectory();
    else if (action == "close")
        actual = text(s.ftp.CloseConnection());
    else if (action == "type") {
        for (const QString& value : arguments)
            s.ftp.setTransferMode(value.toInt());
        actual = QString::number(s.ftp.TransferMode());
    }

    QCOMPARE(actual, result);
    QCOMPARE(s.server.commands().mid(before), commands);
    QCOMPARE(s.sentLog().mid(s.sentLog().size() - commands.size()), commands);
    QCOMPARE(s.ftp.FtpGetLastError(),
             lastError < 0 ? int(CFtpConnection::ErrCancelled) : lastError);
    if (description.isEmpty())
        QCOMPARE(s.ftp.GetFtpErrorDescription(0), CanceledText);
    else
        QCOMPARE(s.ftp.GetFtpErrorDescription(0), description);
    QVERIFY(!s.ftp.Busy());
    if (action != "cwd")
        QCOMPARE(s.ftp.CurrentDirectory(), action == "pwd" && !result.isEmpty() ? result : "/");
}

void TestControl::busyRefusalsAndMembersThatIgnoreBusy() {
    Session s;
    QVERIFY(s.logIn());
    s.answer({"CWD", "QUIT=221 Bye"}); // CWD is never answered
    bool nestedDelete = true, nestedConnect = true, nestedClose = false;
    bool busyInside = false;
    s.onNextSend([&] {
        busyInside = s.ftp.Busy();
        nestedDelete = s.ftp.DeleteFile(QStringLiteral("x"));
        QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrBusy));
        nestedConnect = s.ftp.Connect();
        QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrBusy));
        QCOMPARE(s.ftp.GetFtpErrorDescription(CFtpConnection::ErrBusy),
                 QStringLiteral(
                     "Application is busy. Wait until the current operation will be completed."));
        // A QUIT now would take CWD's reply: closing waits its turn, and
        // the user's Stop is the way out of the wait.
        nestedClose = s.ftp.CloseConnection();
        QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrBusy));
        s.ftp.CancelAnyCall();
    });
    QVERIFY(!s.ftp.SetCurrentDirectory(QStringLiteral("/slow")));
    QVERIFY(busyInside);
    QVERIFY(!nestedDelete);
    QVERIFY(!nestedConnect);
    QVERIFY(!nestedClose);
    QCOMPARE(s.ftp.FtpGetLastError(), int(CFtpConnection::ErrCancelled));
    QVERIFY(!s.ftp.Busy());
    // CWD's reply never came within the Stop's second: the session is over.
    QVERIFY(!s.ftp.SessionOpen());
    QCOMPARE(s.server.commands().mid(3), (QStringList{"CWD /slow"}));

    // A cancel made while nothing waits is forgotten by the next operation.
    Session idle;
    QVERIFY(idle.logIn());
    idle.answer({"CDUP=250 OK"});
    idle.ftp.CancelAnyCall();
    QCOMPARE(idle.ftp.FtpGetLastError(), int(CFtpConnection::ErrCancelled));
    QVERIFY(idle.ftp.SetParentAsCurrentDirectory());
}

void TestControl::outOfStepRepliesEndTheSession_data() {
    QTest::addColumn<QString>("script"); // the verb's answer, as for Session::answer
    QTest::addColumn<bool>("stop");      // the user's Stop inside the wait
    QTest::addColumn<int>("lastError");
    QTest::addColumn<bool>("open"); // the session goes on afterwards
    // A reply after the time-out would answer the next command: the session ends.
    QTest::newRow("time-out, late reply")
        << "MKD" << false << int(CFtpConnection::ErrTimeout) << false;
    // A Stop whose owed reply comes within its second keeps the session.
    QTest::newRow("stop, reply comes") << "MKD=|257 \"/a\" created\r\n"
                                       << true << int(CFtpConnection::ErrCancelled) << true;
    QTest::newRow("stop, no reply") << "MKD" << true << int(CFtpConnection::ErrCancelled) << false;
    // A line without a code fails the step; the real reply may follow it.
    QTest::newRow("codeless line")
        << "MKD=hello" << false << int(CFtpConnection::ErrUnexpectedReply) << false;
}

void TestControl::outOfStepRepliesEndTheSession() {
    QFETCH(QString, script);
    QFETCH(bool, stop);
    QFETCH(int, lastError);
    QFETCH(bool, open);
    Session s(1);
    QVERIFY(s.logIn());
    s.answer({script, "DELE=550 Gone"});
    if (stop)
        s.onNextSend([&s] { s.ftp.CancelAnyCall(); });
    QVERIFY(!s.ftp.CreateDirectory(QStringLiteral("a")));
    QCOMPARE(s.ftp.FtpGetLastError(), lastError);
    QCOMPARE(s.ftp.SessionOpen(), open);
    QVERIFY(!s.ftp.Busy());
    s.server.sendReply(QStringLiteral("250 Late")); // never an answer to DELE
    if (open)
        QTRY_VERIFY(
            s.log.contains(QPair<QString, int>{"250 Late", CFtpConnection::ServerResponse}));
    // The next command gets its own reply, or finds the session closed.
    QVERIFY(!s.ftp.DeleteFile(QStringLiteral("b")));
    QCOMPARE(s.ftp.FtpGetLastError(), open ? 54 : 4);
}

void TestControl::abortReplies_data() {
    QTest::addColumn<QString>("abor");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("lastError");
    QTest::newRow("nothing to abort") << "ABOR=226 Nothing to abort" << true << 0;
    QTest::newRow("225") << "ABOR=225 No transfer to ABOR" << true << 0;
    QTest::newRow("426 alone") << "ABOR=426 Connection closed; transfer aborted" << true << 0;
    QTest::newRow("refused") << "ABOR=500 Unknown" << false << 47;
    QTest::newRow("no answer") << "ABOR" << false << int(CFtpConnection::ErrTimeout);
}

void TestControl::abortReplies() {
    QFETCH(QString, abor);
    QFETCH(bool, result);
    QFETCH(int, lastError);
    // With no transfer running, ABOR owes one reply; whatever it is, nothing
    // is left over for the next command and the session goes on.
    Session s;
    QVERIFY(s.logIn());
    s.answer({abor, "CDUP=250 OK"});
    QCOMPARE(s.ftp.CancelTransfer(), result);
    QCOMPARE(s.ftp.FtpGetLastError(), lastError);
    QVERIFY(!s.ftp.Busy());
    // Only an answer keeps the session in step.
    const bool answered = lastError != int(CFtpConnection::ErrTimeout);
    QCOMPARE(s.ftp.SetParentAsCurrentDirectory(), answered);
    QCOMPARE(s.ftp.SessionOpen(), answered);
}

void TestControl::unsolicited426KeepsTheSession() {
    // RFC 959's 426 speaks of the data connection; the session stays. A
    // reply nobody asked for answers no command: it is logged and dropped.
    Session s;
    QVERIFY(s.logIn());
    s.answer({"CWD=250 OK"});
    s.server.sendReply(QStringLiteral("426 Connection closed; transfer aborted."));
    QTRY_VERIFY(s.log.contains(QPair<QString, int>{"426 Connection closed; transfer aborted.",
                                                   CFtpConnection::ServerBadResponse}));
    QVERIFY(s.ftp.SetCurrentDirectory(QStringLiteral("/")));
    QVERIFY(s.server.controlConnected());
    QVERIFY(!s.ftp.Busy());
}

void TestControl::deadConnectionEndsTheWaitAtOnce_data() {
    QTest::addColumn<bool>("reset");
    QTest::newRow("closed") << false;
    QTest::newRow("reset") << true;
}

void TestControl::deadConnectionEndsTheWaitAtOnce() {
    QFETCH(bool, reset);
    // Time-out 30 s: only the close itself can end these waits in time.
    Session s(30);
    QVERIFY(s.logIn());
    s.server.onCommand(QStringLiteral("MKD"), [reset](FakeFtpServer& server, const QString&) {
        server.sendBytes("550-Half a reply\r\n");
        if (reset)
            server.resetControl();
        else
            server.dropControl();
    });
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!s.ftp.CreateDirectory(QStringLiteral("x")));
    QVERIFY(clock.elapsed() < 20000);
    QCOMPARE(s.ftp.FtpGetLastError(), reset ? 10054 : 7);
    QVERIFY(!s.ftp.GetFtpErrorDescription(0).isEmpty());
    QVERIFY(!s.ftp.Busy());
}

void TestControl::sendingAfterThePeerClosedGivesCode4() {
    Session s(1);
    QVERIFY(s.logIn());
    s.server.sendReply(QStringLiteral("421 Timeout"));
    s.server.dropControl();
    QTRY_VERIFY(
        s.log.contains(QPair<QString, int>{"421 Timeout", CFtpConnection::ServerBadResponse}));
    // The close event follows the last arrival; until it is seen a command
    // may still go out and time out.
    QTRY_VERIFY_WITH_TIMEOUT(
        !s.ftp.CreateDirectory(QStringLiteral("x")) && s.ftp.FtpGetLastError() == 4, 10000);
    QVERIFY(!s.ftp.Busy());
}

void TestControl::closeAndBreak() {
    CFtpConnection idle;
    QVERIFY(!idle.CloseConnection());
    QCOMPARE(idle.FtpGetLastError(), int(CFtpConnection::ErrCancelled));
    QVERIFY(!idle.Busy());

    Session s;
    QVERIFY(s.logIn());
    s.ftp.BreakeConnection();
    QTRY_VERIFY(!s.server.controlConnected());
    s.ftp.BreakeConnection(); // nothing left to close
    QVERIFY(!s.ftp.Busy());
    QVERIFY(!s.ftp.CloseConnection()); // not connected: nothing sent
    QCOMPARE(s.server.commands().size(), 3);

    // A new Connect after a break starts afresh.
    QVERIFY(s.logIn());
    QCOMPARE(s.server.controlConnectionCount(), 2);
}

void TestControl::faultsInsideASteps_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("lastError");
    QTest::newRow("refused: known") << 10061 << 6;
    QTest::newRow("wrong state: known") << 40006 << 4;
    QTest::newRow("unknown") << 12345 << -1;
}

void TestControl::faultsInsideASteps() {
    QFETCH(int, number);
    QFETCH(int, lastError);

    Session s;
    QVERIFY(s.logIn());
    s.ftp.faultNumber = number;
    if (lastError >= 0) {
        QVERIFY(!s.ftp.CreateDirectory(QStringLiteral("x")));
        QCOMPARE(s.ftp.FtpGetLastError(), lastError);
        QCOMPARE(s.ftp.GetFtpErrorDescription(0), QStringLiteral("injected fault"));
    } else {
        try {
            s.ftp.CreateDirectory(QStringLiteral("x"));
            QFAIL("no fault");
        } catch (const platform::Fault& fault) {
            QCOMPARE(fault.number(), number);
            QCOMPARE(fault.description(), QStringLiteral("injected fault"));
            QCOMPARE(fault.source(), QStringLiteral("CFtpConnection.ProcessMKDCommand"));
        }
    }
    QVERIFY(!s.ftp.Busy());
    s.ftp.faultNumber = 0;
    s.answer({"CDUP=250 OK"});
    QVERIFY(s.ftp.SetParentAsCurrentDirectory()); // the connection is still usable
}

void TestControl::lineBreaksInArgumentsAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("CR LF") << "a\r\nDELE b";
    QTest::newRow("LF") << "a\nRMD /";
    QTest::newRow("CR") << "a\rb";
    QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
}

void TestControl::lineBreaksInArgumentsAreRefused() {
    QFETCH(QString, name);
    Session s;
    QVERIFY(s.logIn());
    s.answer({"CDUP=250 OK"});
    const QByteArray rawBefore = s.server.rawControlBytes();
    const int logBefore = s.log.size();

    QVERIFY(!s.ftp.DeleteFile(name));
    QCOMPARE(s.ftp.FtpGetLastError(), 48);
    QCOMPARE(s.ftp.GetFtpErrorDescription(0),
             QStringLiteral("Syntax error in parameters or arguments."));
    QVERIFY(!s.ftp.RenameFile(name, QStringLiteral("b")));
    QVERIFY(!s.ftp.SetCurrentDirectory(name));
    QCOMPARE(s.ftp.FtpGetLastError(), 48);
    QCOMPARE(s.log.size(), logBefore);
    QVERIFY(!s.ftp.Busy());
    QVERIFY(s.ftp.SetParentAsCurrentDirectory());
    QCOMPARE(s.server.rawControlBytes(), rawBefore + "CDUP\r\n");
}

void TestControl::utf8BothWays() {
    Session s;
    QVERIFY(s.logIn());
    // "é" is C3 A9 and "à" is C3 A0: each is split between two arrivals.
    s.server.onCommand(QStringLiteral("PWD"), [](FakeFtpServer& server, const QString&) {
        server.sendBytes("257 \"/d\xC3");
        QTimer::singleShot(30, &server, [&server] { server.sendBytes("\xA9j\xC3"); });
        QTimer::singleShot(60, &server, [&server] { server.sendBytes("\xA0\" ok\r\n"); });
    });
    QCOMPARE(s.ftp.GetCurrentDirectory(), QStringLiteral(u"/déjà"));
    s.answer({QStringLiteral("MKD=257 \"x\" created")});
    QVERIFY(s.ftp.CreateDirectory(QStringLiteral(u"Grüße")));
    QVERIFY(s.server.rawControlBytes().endsWith("MKD Gr\xC3\xBC\xC3\x9F"
                                                "e\r\n"));
}

void TestControl::errorDescriptions() {
    Session s;
    s.server.setGreeting(QStringLiteral("421 Busy"));
    QVERIFY(!s.ftp.Connect());
    const QString text421 = QStringLiteral("Service not available, closing control connection.");
    QCOMPARE(s.ftp.GetFtpErrorDescription(0), text421);
    QCOMPARE(s.ftp.GetFtpErrorDescription(41), text421);
    QCOMPARE(s.ftp.GetFtpErrorDescription(59),
             QStringLiteral("Cannot execute the command. Transfer in progress."));
    QCOMPARE(s.ftp.GetFtpErrorDescription(0),
             QStringLiteral("Cannot execute the command. Transfer in progress."));
    QCOMPARE(s.ftp.GetFtpErrorDescription(61), CanceledText);

    // A refused connection ends the wait with the socket's number and text.
    CFtpConnection refused;
    refused.setTimeout(5);
    refused.setFtpServer(QStringLiteral("127.0.0.1"));
    {
        FakeFtpServer probe; // a port that was free a moment ago
        refused.setPort(probe.port());
    }
    QVERIFY(!refused.Connect());
    QCOMPARE(refused.FtpGetLastError(), 10061);
    const QString socketText = refused.GetFtpErrorDescription(0);
    QVERIFY(!socketText.isEmpty());
    QVERIFY(socketText != CanceledText);
    QCOMPARE(refused.GetFtpErrorDescription(61), CanceledText);
}

void TestControl::arrivalsAreLoggedByCode_data() {
    QTest::addColumn<QByteArray>("arrival");
    QTest::addColumn<QStringList>("logged"); // "type:text" per line
    QTest::newRow("no code") << QByteArray("hello\r\n") << QStringList{"1:hello"};
    QTest::newRow("line end only") << QByteArray("\r\n") << QStringList{"1:"};
    QTest::newRow("each line by its code")
        << QByteArray("150 Opening\r\n550 Gone\r\n") << QStringList{"1:150 Opening", "2:550 Gone"};
    QTest::newRow("continuation lines by the reply's code")
        << QByteArray("550-No\r\n plain\r\n550 End\r\n")
        << QStringList{"2:550-No", "2: plain", "2:550 End"};
    // A line is logged once it has ended (here by the next arrival).
    QTest::newRow("unfinished line waits for its end")
        << QByteArray("200 O") << QStringList{"1:200 O211 marker"};
}

void TestControl::arrivalsAreLoggedByCode() {
    QFETCH(QByteArray, arrival);
    QFETCH(QStringList, logged);
    Session s;
    QVERIFY(s.logIn());
    const int before = s.log.size();
    s.server.sendBytes(arrival);
    s.server.sendBytes("211 marker\r\n");
    // Lines that answer no command come with a note of their own.
    QStringList actual;
    QTRY_VERIFY(!(actual = received(s.log.mid(before))).isEmpty() &&
                actual.last().endsWith(QStringLiteral("211 marker")));
    if (actual.last() == QStringLiteral("1:211 marker"))
        actual.removeLast();
    QCOMPARE(actual, logged);
}

void TestControl::multiLineReplySplitAfterTheWaitTookItsStart() {
    Session s;
    QVERIFY(s.logIn());
    // The reply's final line comes after CWD's line-end test could already
    // complete; it must belong to CWD, not be left over for the next command.
    s.server.onCommand(QStringLiteral("CWD"), [](FakeFtpServer& server, const QString&) {
        server.sendBytes("250-This is the pub area\r\n");
        QTimer::singleShot(30, &server, [&server] { server.sendBytes("250 OK\r\n"); });
    });
    s.answer({"MKD=550 Denied"});
    QVERIFY(s.ftp.SetCurrentDirectory(QStringLiteral("/pub")));
    QCOMPARE(s.ftp.WelcomeMessage(), QStringLiteral("This is the pub area"));
    QVERIFY(!s.ftp.CreateDirectory(QStringLiteral("x")));
    QCOMPARE(s.ftp.FtpGetLastError(), 54);
}

QTEST_GUILESS_MAIN(TestControl)
#include "tst_control.moc"
