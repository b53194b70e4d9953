#ifndef SUMMARY_H
#define SUMMARY_H

struct BenchOptions;
struct Figures;
class ResultTable;

// What a run found, as the rows of the table: each figure of the overlay beside the floor's, with
// its budget, and the paint benchmarks' figures read from their results.
class Summary
{
public:
    Summary(const BenchOptions &options, const Figures &overlay, const Figures &floor);

    void fill(ResultTable &table) const;

private:
    void readPaintResults(ResultTable &table) const;

    const BenchOptions &options;
    const Figures &overlayFigures;
    const Figures &floorFigures;
};

#endif // SUMMARY_H
