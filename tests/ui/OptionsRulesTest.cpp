// The value rules of the options dialog.
#include <QtTest>

#include "data/Settings.h"
#include "ui/OptionsRules.h"

using namespace tessaly;
using namespace tessaly::ui;
using TList = std::vector<int>;

class OptionsRulesTest : public QObject {
    Q_OBJECT

  private slots:
    void slidersHoldStoredValuesWithinTheirRules() {
        QCOMPARE(options::MaxThreads.FromText("2"), 4);    // raised to the lowest
        QCOMPARE(options::MaxJobs.FromText(""), 75);       // missing
        QCOMPARE(options::TimeOut.FromText("soon"), 45);   // not a number
        QCOMPARE(options::MaxJobs.FromText("1000"), 250);  // held at the maximum
        QCOMPARE(options::TimeOut.FromText("-30"), 15);
        QCOMPARE(options::MaxThreads.FromText("8"), 8);
        QCOMPARE(options::MaxThreads.FromText("99999999999"), 16);  // past 32 bits
    }

    void columnOrdersFillFromTheirOwnPositions() {
        // Only "1,0": the two swap, the rest take their own numbers.
        QCOMPARE(ParseColumnOrder("1,0", 8), std::optional<TList>({1, 0, 2, 3, 4, 5, 6, 7}));
        QCOMPARE(ParseColumnOrder("0,1,2,3,4,5,", 6), std::optional<TList>({0, 1, 2, 3, 4, 5}));
        QCOMPARE(ParseColumnOrder("3,,x,0", 5), std::optional<TList>({3, 1, 2, 0, 4}));
        QCOMPARE(ParseColumnOrder("", 5), std::optional<TList>({0, 1, 2, 3, 4}));
    }

    void columnOrdersOutsideTheTableAreUnreadable() {
        QCOMPARE(ParseColumnOrder("0,8", 8), std::nullopt);
        QCOMPARE(ParseColumnOrder("-1", 6), std::nullopt);
        // Entries past the table's size are never looked at.
        QCOMPARE(ParseColumnOrder("0,1,2,3,4,99", 5), std::optional<TList>({0, 1, 2, 3, 4}));
    }

    void widthListsAndTheirWrittenForm() {
        QCOMPARE(ParseColumnWidths("26,100,20,70,", 4), TList({26, 100, 20, 70}));
        QCOMPARE(ParseColumnWidths("26,,wide", 5), TList({26, 70, 70, 70, 70}));
        QCOMPARE(ParseColumnWidths("-5,40", 2), TList({70, 40}));
        QCOMPARE(JoinColumnList({1, 0, 2}), std::string("1,0,2,"));
        QCOMPARE(JoinColumnList({}), std::string());
    }

    void proxyPortIsPlainDecimalOrRejected() {
        QCOMPARE(NormalisedPort("8080"), std::optional<std::string>("8080"));
        QCOMPARE(NormalisedPort("+0080"), std::optional<std::string>("80"));
        QCOMPARE(NormalisedPort(""), std::nullopt);
        QCOMPARE(NormalisedPort("80a"), std::nullopt);
        QCOMPARE(NormalisedPort(" 80"), std::nullopt);
    }
};

QTEST_MAIN(OptionsRulesTest)
#include "OptionsRulesTest.moc"
