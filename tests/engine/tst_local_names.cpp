// Names a server hands over: the local file name a remote name may become,
// and where a link's target points from the link's own folder.

#include "LinkTargets.h"
#include "LocalName.h"

#include <QtTest>

class TestLocalNames : public QObject {
    Q_OBJECT
private slots:
    void localName_data();
    void localName();
    void resolve_data();
    void resolve();
};

void TestLocalNames::localName_data() {
    QTest::addColumn<QString>("remote");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "report 2026.txt" << true;
    QTest::newRow("hidden file") << ".profile" << true;
    QTest::newRow("unicode") << QString::fromUtf8("Grüße.txt") << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot-dot") << ".." << false;
    QTest::newRow("climbing") << "../../.bashrc" << false;
    QTest::newRow("absolute") << "/etc/passwd" << false;
    QTest::newRow("backslash climbing") << "..\\..\\x" << false;
    QTest::newRow("drive") << "C:boot.ini" << false;
    QTest::newRow("NUL") << QString::fromLatin1("a\0b", 3) << false;
    QTest::newRow("escape") << "\x1b[2Jx" << false;
    QTest::newRow("DEL") << "a\x7f" << false;
    QTest::newRow("C1 CSI") << QString::fromUtf8("a\xc2\x9b") << false;
}

void TestLocalNames::localName() {
    QFETCH(QString, remote);
    QFETCH(bool, safe);
    QString why;
    const auto name = LocalName::fromRemote(remote, &why);
    QCOMPARE(name.value_or(QString()), safe ? remote : QString());
    // A refusal names the entry, never with a raw control character.
    QCOMPARE(why.startsWith(QLatin1Char('"')), !safe);
    QVERIFY(std::none_of(why.cbegin(), why.cend(), [](QChar c) {
        return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
    }));
}

void TestLocalNames::resolve_data() {
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

void TestLocalNames::resolve() {
    QFETCH(QString, folder);
    QFETCH(QString, target);
    QFETCH(QString, path);
    QCOMPARE(LinkTargets::resolve(folder, target), path);
}

QTEST_MAIN(TestLocalNames)
#include "tst_local_names.moc"
