#include "bench/driver/ResultTable.h"
#include "bench/driver/Statistics.h"

#include <QTest>

#include <cmath>
#include <limits>

// The arithmetic behind the benchmark table: percentiles, and which figures hold their budget.
class tst_BenchFigures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void percentile_data();
    void percentile();
    void medianRatio_data();
    void medianRatio();
    void verdict_data();
    void verdict();
};

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

void tst_BenchFigures::percentile_data()
{
    QTest::addColumn<QVector<double>>("values");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("expected");
    QTest::newRow("one value") << QVector<double> {7} << 90.0 << 7.0;
    QTest::newRow("median of an even count") << QVector<double> {4, 1, 3, 2} << 50.0 << 2.5;
    QTest::newRow("90th between ranks") << QVector<double> {10, 1, 5} << 90.0 << 9.0;
    QTest::newRow("highest") << QVector<double> {3, 9, 1} << 100.0 << 9.0;
    QTest::newRow("lowest") << QVector<double> {3, 9, 1} << 0.0 << 1.0;
}

void tst_BenchFigures::percentile()
{
    QFETCH(QVector<double>, values);
    QFETCH(double, p);
    QFETCH(double, expected);
    QCOMPARE(Statistics::percentile(std::vector<double>(values.begin(), values.end()), p), expected);
    QVERIFY(std::isnan(Statistics::median({})));
}

void tst_BenchFigures::medianRatio_data()
{
    QTest::addColumn<QVector<double>>("overlay");
    QTest::addColumn<QVector<double>>("floor");
    QTest::addColumn<double>("expected");
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    // The ratio of the medians would be 22 / 20.
    QTest::newRow("pairs, not medians")
        << QVector<double> {10, 40, 22} << QVector<double> {10, 40, 20} << 1.0;
    QTest::newRow("a start not measured")
        << QVector<double> {NaN, 30, 20} << QVector<double> {10, 20, 10} << 1.75;
    QTest::newRow("pairs only") << QVector<double> {12, 99} << QVector<double> {10} << 1.2;
    QTest::newRow("none") << QVector<double> {NaN} << QVector<double> {10} << NaN;
}

void tst_BenchFigures::medianRatio()
{
    QFETCH(QVector<double>, overlay);
    QFETCH(QVector<double>, floor);
    QFETCH(double, expected);
    const double ratio =
        Statistics::medianRatio({overlay.begin(), overlay.end()}, {floor.begin(), floor.end()});
    QVERIFY(std::isnan(expected) ? std::isnan(ratio) : ratio == expected);
}

void tst_BenchFigures::verdict_data()
{
    QTest::addColumn<bool>("ratio");
    QTest::addColumn<double>("overlay");
    QTest::addColumn<double>("floor");
    QTest::addColumn<double>("bound");
    QTest::addColumn<bool>("holds");
    QTest::newRow("ratio within") << true << 12.0 << 10.0 << 1.3 << true;
    QTest::newRow("ratio at the bound") << true << 13.0 << 10.0 << 1.3 << true;
    QTest::newRow("ratio over") << true << 14.0 << 10.0 << 1.3 << false;
    QTest::newRow("ratio, overlay not measured") << true << NaN << 10.0 << 1.3 << false;
    QTest::newRow("ratio, floor not measured") << true << 1.0 << NaN << 1.3 << false;
    QTest::newRow("nothing allowed, nothing seen") << false << 0.0 << 3.0 << 0.0 << true;
    QTest::newRow("nothing allowed, one seen") << false << 1.0 << 0.0 << 0.0 << false;
    QTest::newRow("limit, not measured") << false << NaN << 0.0 << 64.0 << false;
}

void tst_BenchFigures::verdict()
{
    QFETCH(bool, ratio);
    QFETCH(double, overlay);
    QFETCH(double, floor);
    QFETCH(double, bound);
    QFETCH(bool, holds);
    ResultTable table;
    if (ratio)
        table.addRatio("figure", ResultTable::Unit::Milliseconds, overlay, floor, bound);
    else
        table.addLimit("figure", ResultTable::Unit::Count, overlay, floor, bound);
    table.addInfo("no budget", ResultTable::Unit::KiB, 1e9, 1.0);
    QCOMPARE(table.misses(), holds ? 0 : 1);
}

QTEST_GUILESS_MAIN(tst_BenchFigures)
#include "tst_benchfigures.moc"
