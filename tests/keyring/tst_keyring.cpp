#include "SecretKeyring.h"

#include <QDir>
#include <QTest>

// The real keyring, reached the way the window reaches it. Run by
// tests/keyring/with-keyring: KRELLIN_KEYRING says which bus it is on.
class tst_keyring : public QObject {
    Q_OBJECT
    bool expectSecrets() const {
        return qEnvironmentVariable("KRELLIN_KEYRING") == QLatin1String("secrets");
    }

private slots:
    void initTestCase() {
        // Never the user's own keyring: the wrapper gives a home of its own.
        if (!qEnvironmentVariableIsSet("KRELLIN_KEYRING"))
            QSKIP("run through tests/keyring/with-keyring");
        QVERIFY(QDir::homePath().startsWith(QDir::tempPath()));
    }

    void roundTrip() {
        if (!expectSecrets())
            QSKIP("no Secret Service on this bus");
        SecretKeyring keyring(20000);
        const QString key = QStringLiteral("site 1");
        const QString password = QStringLiteral("p\u00e4ss w\u00f6rd:@/%");
        QCOMPARE(keyring.read(key).status, Keyring::Status::NotFound);
        QCOMPARE(keyring.write(key, QStringLiteral("first")).status, Keyring::Status::Ok);
        QCOMPARE(keyring.write(key, password).status, Keyring::Status::Ok);
        const Keyring::Result read = keyring.read(key);
        QCOMPARE(read.status, Keyring::Status::Ok);
        QCOMPARE(read.password, password);
        QCOMPARE(keyring.read(QStringLiteral("site 2")).status, Keyring::Status::NotFound);
        QCOMPARE(keyring.remove(key).status, Keyring::Status::Ok);
        QCOMPARE(keyring.read(key).status, Keyring::Status::NotFound);
        QCOMPARE(keyring.remove(key).status, Keyring::Status::Ok);
    }

    void noKeyring() {
        if (expectSecrets())
            QSKIP("a Secret Service answers on this bus");
        SecretKeyring keyring(20000);
        const Keyring::Result write = keyring.write(QStringLiteral("site 1"), QStringLiteral("pw"));
        QVERIFY(write.status != Keyring::Status::Ok);
        QVERIFY(!write.error.isEmpty());
        QVERIFY(keyring.read(QStringLiteral("site 1")).status != Keyring::Status::Ok);
    }
};

QTEST_GUILESS_MAIN(tst_keyring)
#include "tst_keyring.moc"
