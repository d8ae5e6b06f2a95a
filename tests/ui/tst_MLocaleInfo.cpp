#include "Desktop.h"
#include "MLocaleInfo.h"

#include <QTest>

class tst_MLocaleInfo : public QObject {
    Q_OBJECT

private slots:
    void charsetTable_data() {
        QTest::addColumn<QString>("codePage");
        QTest::addColumn<int>("charset");
        QTest::newRow("Japanese") << "932" << 128;
        QTest::newRow("Simplified Chinese") << "936" << 134;
        QTest::newRow("Korean") << "949" << 129;
        QTest::newRow("Big5") << "950" << 136;
        QTest::newRow("East Europe") << "1250" << 238;
        QTest::newRow("Russian") << "1251" << 204;
        QTest::newRow("ANSI") << "1252" << 0;
        QTest::newRow("Greek") << "1253" << 161;
        QTest::newRow("Turkish") << "1254" << 162;
        QTest::newRow("Hebrew") << "1255" << 177;
        QTest::newRow("Arabic") << "1256" << 178;
        QTest::newRow("Baltic") << "1257" << 186;
        QTest::newRow("Thai") << "874" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("padded") << " 1251" << 0;
    }
    void charsetTable() {
        QFETCH(QString, codePage);
        QFETCH(int, charset);
        QCOMPARE(int(MLocaleInfo::CharsetForCodePage(codePage)), charset);
    }

    void codesets_data() {
        QTest::addColumn<QByteArray>("codeset");
        QTest::addColumn<int>("codePage");
        QTest::newRow("CP1251") << QByteArray("CP1251") << 1251;
        QTest::newRow("windows-1251") << QByteArray("windows-1251") << 1251;
        QTest::newRow("ISO-8859-1 reads as 1252") << QByteArray("ISO-8859-1") << 1252;
        QTest::newRow("KOI8-R is Cyrillic") << QByteArray("KOI8-R") << 1251;
        QTest::newRow("EUC-JP") << QByteArray("EUC-JP") << 932;
        QTest::newRow("UTF-8 matches no row") << QByteArray("UTF-8") << 0;
        QTest::newRow("ASCII") << QByteArray("ANSI_X3.4-1968") << 0;
        QTest::newRow("unknown") << QByteArray("x-made-up") << 0;
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("CP without number") << QByteArray("CPxyz") << 0;
    }
    void codesets() {
        QFETCH(QByteArray, codeset);
        QFETCH(int, codePage);
        QCOMPARE(platform::Desktop::codePageOfCodeset(codeset), codePage);
    }

    // The whole chain on this machine: a locale of the C library in, a
    // character set out, with nothing left changed behind.
    void localeOfProcess() {
        const QByteArray saved = qgetenv("LC_ALL");
        qputenv("LC_ALL", "C.UTF-8");
        QCOMPARE(int(MLocaleInfo::GetLocaleCharset()), 0);
        if (saved.isNull())
            qunsetenv("LC_ALL");
        else
            qputenv("LC_ALL", saved);
    }
};

QTEST_APPLESS_MAIN(tst_MLocaleInfo)
#include "tst_MLocaleInfo.moc"
