// Bytes of the core shown in Qt and written back.
#include <QtTest>

#include "ui/QtText.h"

using namespace tessaly::ui;

class QtTextTest : public QObject {
    Q_OBJECT

  private slots:
    void utf8IsRecognisedStrictly() {
        QVERIFY(IsValidUtf8("plain ascii"));
        QVERIFY(IsValidUtf8("Soci\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
        QVERIFY(!IsValidUtf8("caf\xe9"));           // Latin-1
        QVERIFY(!IsValidUtf8("\xc3"));              // cut short
        QVERIFY(!IsValidUtf8("\xc0\xaf"));          // overlong
        QVERIFY(!IsValidUtf8("\xe0\x80\xaf"));      // overlong, three bytes
        QVERIFY(!IsValidUtf8("\xed\xa0\x80"));      // surrogate
        QVERIFY(!IsValidUtf8("\xf4\x90\x80\x80"));  // past U+10FFFF
        QVERIFY(!IsValidUtf8("\x80"));              // lone continuation
    }

    void showsUtf8AsUtf8AndTheRestAsWindows1252() {
        QCOMPARE(FromBytes("Soci\xc3\xa9t\xc3\xa9"), QString::fromUtf8("Soci\xc3\xa9t\xc3\xa9"));
        QCOMPARE(FromBytes("caf\xe9"), QString::fromUtf8("caf\xc3\xa9"));
        // 0x80 is the euro sign, 0x93/0x94 curly quotes, 0x81 undefined (kept as U+0081).
        QCOMPARE(FromBytes("\x80 \x93x\x94 \x81"),
                 QString::fromUtf8("\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d \xc2\x81"));
    }

    void everyByteSurvivesTheRoundTrip() {
        std::string all;
        for (int b = 1; b < 256; ++b)
            all.push_back(static_cast<char>(b));
        std::string back;
        QVERIFY(ToWindows1252(FromBytes(all), back));
        QCOMPARE(back, all);
    }

    void editedTextIsStoredAsUtf8() {
        const QString text = QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac");
        // Whatever its neighbours: every stored text is UTF-8 now; old Windows-1252
        // neighbours are read as that code page where they are loaded.
        QCOMPARE(ToBytesLike(text, "Le Petit Caf\xe9"), std::string("caf\xc3\xa9 \xe2\x82\xac"));
        QCOMPARE(ToBytesLike(text, "Acme"), std::string("caf\xc3\xa9 \xe2\x82\xac"));
        const QString greek = QString::fromUtf8("\xce\xb1\xce\xb2");
        QCOMPARE(ToBytesLike(greek, "Acme"), std::string("\xce\xb1\xce\xb2"));
        QCOMPARE(FromBytes(ToBytesLike(greek, "")), greek);
    }
};

QTEST_MAIN(QtTextTest)
#include "QtTextTest.moc"
