#pragma once

// The fault-injection matrix shared by the tst_fault_injection_* binaries
// (one per operation, so they run side by side): the scripted server breaks
// one step of Connect, EnumFiles, DownloadFile or UploadFile with one fault,
// and every case checks the same promises.
//
//   - the call returns (a stall costs one time-out of 1 s) with the expected
//     result and last error;
//   - Busy is false afterwards;
//   - the next Connect on the same object logs in;
//   - the local file is as promised: a refused download leaves the old file
//     untouched, a cut download keeps a prefix of the remote data for a
//     resume, an upload never changes the local file.
//
// Faults: the server closes the control connection (close-ctl), closes the
// data connection early (close-data: at set-up, a data connection closed at
// once and the transfer refused with 425; during a listing or download, the
// data cut and 451; during an upload, the data connection reset and the
// server silent), stops
// answering (stall), sends a line without a code (garbage), or answers 421
// (and closes) or 426 instead of the step's reply.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "TestUtil.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace FaultMatrix {

enum class Op { Connect, EnumFiles, DownloadFile, UploadFile };
enum class Step {
    Greeting,
    User,
    Pass,
    Pwd,
    Type,
    Pasv,
    DataConnect,
    Rest,
    Preliminary,
    Data,
    Final
};
enum class Fault { CloseControl, CloseData, Stall, Garbage, Reply421, Reply426 };

inline const char* name(Step step) {
    static const char* const names[] = {"greeting",     "USER", "PASS", "PWD",  "TYPE", "PASV",
                                        "data-connect", "REST", "150",  "data", "final"};
    return names[int(step)];
}
inline const char* name(Fault fault) {
    static const char* const names[] = {"close-ctl", "close-data", "stall",
                                        "garbage",   "421",        "426"};
    return names[int(fault)];
}
inline const QList<Fault> AllFaults = {Fault::CloseControl, Fault::CloseData, Fault::Stall,
                                       Fault::Garbage,      Fault::Reply421,  Fault::Reply426};

// What a case must end with. error -1: no check (never used for a failure).
struct Expect {
    Step step;
    Fault fault;
    bool result;
    int error;
};

// The local file after a download case.
enum class FileState { Untouched, RemotePrefix, Whole };

class Scenario {
public:
    static constexpr int TimeoutSeconds = 1;

    Scenario(Op op, Step step, Fault fault) : m_Op(op), m_Step(step), m_Fault(fault) {
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setTimeout(TimeoutSeconds);
        ftp.setPassiveMode(true);
        ftp.setZeroCopy(TestUtil::zeroCopyPath());
        remote = TestUtil::patternBytes(64 * 1024);
        listing = listingText();
        install();
    }

    FakeFtpServer server;
    CFtpConnection ftp;
    QByteArray remote;
    QByteArray listing;

    // Runs the faulted operation; returns its result.
    bool run(const QString& local, qint64 start) {
        if (m_Step == Step::Greeting)
            applyGreetingFault();
        if (m_Op == Op::Connect)
            return ftp.Connect();
        if (!ftp.Connect())
            return false;
        switch (m_Op) {
        case Op::EnumFiles:
            return ftp.EnumFiles(files);
        case Op::DownloadFile:
            return ftp.DownloadFile(QStringLiteral("remote.bin"), local, 1, start);
        case Op::UploadFile:
            return ftp.UploadFile(local, QStringLiteral("remote.bin"), 1, start);
        case Op::Connect:
            break;
        }
        return false;
    }

    // The server behaves from now on; the same engine object logs in again.
    bool reconnect() {
        m_Healthy = true;
        server.setCloseOnConnect(false);
        server.setGreeting(QStringLiteral("220 Fake FTP server ready"));
        return ftp.Connect();
    }

    std::shared_ptr<CFtpFiles> files;

private:
    static QByteArray listingText() {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += "-rw-r--r-- 1 ftp ftp " + QByteArray::number(i * 17) + " Jan  2  2020 file" +
                    QByteArray::number(i) + ".txt\r\n";
        return text;
    }

    bool faultAt(Step step) const { return !m_Healthy && m_Step == step; }

    // True when the step is swallowed by the fault (or by an earlier one).
    bool inject(Step step) {
        if (m_Healthy)
            return false;
        if (m_Stalled)
            return true;
        if (m_Step != step)
            return false;
        perform();
        return true;
    }

    void perform() {
        m_Stalled = true;
        switch (m_Fault) {
        case Fault::CloseControl:
            server.closeControl();
            break;
        case Fault::Stall:
            break;
        case Fault::Garbage:
            server.sendRaw(QByteArray("\x01\xfe\xff garbage without a code\r\n"));
            break;
        case Fault::Reply421:
            server.reply(QStringLiteral("421 Service not available, closing control connection."))
                .closeControl();
            break;
        case Fault::Reply426:
            server.reply(QStringLiteral("426 Connection closed; transfer aborted."));
            break;
        case Fault::CloseData:
            if (m_Op == Op::UploadFile)
                server.dataAbort();
            else
                server.dataClose().reply(
                    QStringLiteral("451 Requested action aborted: local error in processing."));
            break;
        }
    }

    void applyGreetingFault() {
        switch (m_Fault) {
        case Fault::CloseControl:
            server.setCloseOnConnect(true);
            break;
        case Fault::Stall:
            server.setGreeting(QString());
            break;
        case Fault::Garbage:
            server.setGreeting(QStringLiteral("\x01 garbage without a code"));
            break;
        case Fault::Reply421:
            server.setGreeting(QStringLiteral("421 Too many users, closing control connection."));
            break;
        case Fault::Reply426:
            server.setGreeting(QStringLiteral("426 Connection closed; transfer aborted."));
            break;
        case Fault::CloseData:
            break;
        }
    }

    void answer(const char* verb, Step step, const QString& text) {
        server.onCommand(QLatin1String(verb), [this, step, text](FakeFtpServer& s, const QString&) {
            if (!inject(step))
                s.reply(text);
        });
    }

    void install() {
        answer("USER", Step::User, QStringLiteral("331 Password required"));
        answer("PASS", Step::Pass, QStringLiteral("230 Logged in"));
        answer("PWD", Step::Pwd, QStringLiteral("257 \"/\" is current"));
        answer("TYPE", Step::Type, QStringLiteral("200 Type set"));
        answer("REST", Step::Rest, QStringLiteral("350 Restarting"));
        server.onCommand(QStringLiteral("PASV"), [this](FakeFtpServer& s, const QString&) {
            if (inject(Step::Pasv))
                return;
            s.passive();
            if (faultAt(Step::DataConnect) && m_Fault == Fault::CloseData)
                s.dataClose();
        });
        server.onCommand(QStringLiteral("LIST"), [this](FakeFtpServer& s, const QString&) {
            transfer(s, [this, &s](bool firstHalf) {
                const qsizetype half = listing.size() / 2;
                s.dataSend(firstHalf ? listing.left(half) : listing.mid(half));
            });
        });
        server.onCommand(QStringLiteral("RETR"), [this](FakeFtpServer& s, const QString&) {
            transfer(s, [this, &s](bool firstHalf) {
                const qsizetype half = remote.size() / 2;
                s.dataSend(firstHalf ? remote.left(half) : remote.mid(half), 4);
            });
        });
        server.onCommand(QStringLiteral("STOR"), [this](FakeFtpServer& s, const QString&) {
            if (refusedTransfer(s) || inject(Step::Preliminary))
                return;
            s.reply(QStringLiteral("150 Receiving"));
            if (faultAt(Step::Data)) {
                // Mid-upload: the fault strikes once the first bytes are out.
                auto fired = std::make_shared<bool>(false);
                QObject::connect(&ftp, &CFtpConnection::UploadProgress, &ftp, [this, fired] {
                    if (!*fired) {
                        *fired = true;
                        inject(Step::Data);
                    }
                });
                if (m_Fault != Fault::CloseData)
                    s.dataReceive();
                return;
            }
            s.dataReceive();
            s.run([this](FakeFtpServer& srv) {
                if (!inject(Step::Final))
                    srv.sendReply(QStringLiteral("226 Stored"));
            });
        });
    }

    bool refusedTransfer(FakeFtpServer& s) {
        if (faultAt(Step::DataConnect) && m_Fault == Fault::CloseData) {
            s.reply(QStringLiteral("425 Can't open data connection."));
            return true;
        }
        return false;
    }

    // 150, the first half of the data, the second half, close, 226; the fault
    // replaces the part of its step.
    void transfer(FakeFtpServer& s, const std::function<void(bool)>& sendHalf) {
        if (refusedTransfer(s) || inject(Step::Preliminary))
            return;
        s.reply(QStringLiteral("150 Opening data connection"));
        sendHalf(true);
        s.run([this, sendHalf](FakeFtpServer& srv) {
            if (inject(Step::Data))
                return;
            sendHalf(false);
            srv.dataClose();
            srv.run([this](FakeFtpServer& inner) {
                if (!inject(Step::Final))
                    inner.reply(QStringLiteral("226 Transfer complete"));
            });
        });
    }

    Op m_Op;
    Step m_Step;
    Fault m_Fault;
    bool m_Healthy = false;
    bool m_Stalled = false;
};

// Data rows for one operation: every (step, fault) of the table.
inline void addRows(const QList<Expect>& table) {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("error");
    for (const Expect& e : table)
        QTest::addRow("%s x %s", name(e.step), name(e.fault))
            << int(e.step) << int(e.fault) << e.result << e.error;
}

// The table as a grid: steps down, faults across; "ok" for a true result,
// the last error otherwise, "-" where the fault does not apply.
inline QString grid(const char* title, const QList<Expect>& table) {
    QString text = QStringLiteral("%1\n%2").arg(QLatin1String(title)).arg(QString(), -14);
    for (Fault f : AllFaults)
        text += QStringLiteral("%1").arg(QLatin1String(name(f)), -11);
    QList<Step> steps;
    for (const Expect& e : table)
        if (!steps.contains(e.step))
            steps << e.step;
    for (Step s : steps) {
        text += QStringLiteral("\n%1").arg(QLatin1String(name(s)), -14);
        for (Fault f : AllFaults) {
            QString cell = QStringLiteral("-");
            for (const Expect& e : table)
                if (e.step == s && e.fault == f)
                    cell = e.result ? QStringLiteral("ok") : QString::number(e.error);
            text += QStringLiteral("%1").arg(cell, -11);
        }
    }
    return text;
}

// One row of the table for the operation: run it, then check the promises.
inline void runCase(Op op) {
    QFETCH(int, step);
    QFETCH(int, fault);
    QFETCH(bool, result);
    QFETCH(int, error);
    const Step theStep = Step(step);

    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("local.bin"));
    Scenario sc(op, theStep, Fault(fault));
    // A transfer resumes only for the REST row (REST is sent only to resume);
    // otherwise a download replaces an unrelated older file. An upload sends
    // a file large enough to be cut.
    const bool resume = op != Op::EnumFiles && theStep == Step::Rest;
    const qint64 start = resume ? 1000 : 0;
    QByteArray before;
    if (op == Op::DownloadFile)
        before = resume ? sc.remote.left(start) : QByteArray(3000, 'o');
    else if (op == Op::UploadFile)
        before = TestUtil::patternBytes(1024 * 1024);
    if (!before.isNull())
        QVERIFY(TestUtil::writeFile(local, before));

    const bool ok = sc.run(local, start);
    QCOMPARE(ok, result);
    if (!result)
        QCOMPARE(sc.ftp.FtpGetLastError(), error);
    QVERIFY(!sc.ftp.Busy());
    if (op == Op::EnumFiles && !result)
        QVERIFY(!sc.files);

    const QByteArray after = TestUtil::readFile(local);
    if (op == Op::UploadFile) {
        QCOMPARE(after, before);
    } else if (op == Op::DownloadFile) {
        if (theStep == Step::Final)
            QCOMPARE(after, sc.remote);
        else if (theStep == Step::Data)
            QVERIFY2(sc.remote.startsWith(after) && after.size() >= start,
                     qPrintable(QStringLiteral("kept %1 bytes, not a prefix of the remote file")
                                    .arg(after.size())));
        else
            QCOMPARE(after, before);
    }

    QVERIFY2(sc.reconnect(), qPrintable(sc.ftp.GetFtpErrorDescription(0)));
    QVERIFY(!sc.ftp.Busy());
}

} // namespace FaultMatrix
