#include "formats/NaturalOrder.h"

#include <QTest>

// The natural name order on its own: Linux builds it on ICU's collator, Windows on
// CompareStringEx; both must give the same order for these names.
class TestNaturalOrder : public QObject
{
    Q_OBJECT

private slots:
    void naturalOrder_data();
    void naturalOrder();
};

void TestNaturalOrder::naturalOrder_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("digits by value") << QStringList{"img10.jpg", "img2.jpg", "img1.png"}
                                     << QStringList{"img1.png", "img2.jpg", "img10.jpg"};
    QTest::newRow("long runs") << QStringList{"p100.png", "p99.png", "p1000.png", "p9.png"}
                               << QStringList{"p9.png", "p99.png", "p100.png", "p1000.png"};
    QTest::newRow("every digit run by value")
        << QStringList{"a10b1.png", "a2b10.png", "a2b9.png"} << QStringList{"a2b9.png", "a2b10.png", "a10b1.png"};
    QTest::newRow("letters before case, not code points")
        << QStringList{"b.png", "B.png", "a.png", "A.png"} << QStringList{"a.png", "A.png", "b.png", "B.png"};
    // The collator finds these equal; code point order decides, whatever the input.
    QTest::newRow("leading zeros, one order")
        << QStringList{"a1.png", "a01.png", "a001.png"} << QStringList{"a001.png", "a01.png", "a1.png"};
    QTest::newRow("leading zeros, other order")
        << QStringList{"a01.png", "a001.png", "a1.png"} << QStringList{"a001.png", "a01.png", "a1.png"};
}

// Runs with LANG and LC_ALL empty under CTest: the C locale's collator would put
// img10 before img2.
void TestNaturalOrder::naturalOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, expected);
    QVERIFY(NaturalOrder::collationLocale().language() != QLocale::C);
    NaturalOrder::sort(names);
    QCOMPARE(names, expected);
    // One pair at a time, the same order.
    for (int i = 1; i < expected.size(); ++i) {
        QVERIFY2(NaturalOrder::compare(expected.at(i - 1), expected.at(i)) < 0, qPrintable(expected.at(i)));
        QVERIFY2(NaturalOrder::compare(expected.at(i), expected.at(i - 1)) > 0, qPrintable(expected.at(i)));
    }
}

QTEST_APPLESS_MAIN(TestNaturalOrder)
#include "tst_naturalorder.moc"
