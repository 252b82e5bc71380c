#pragma once

#include <cstddef>
#include <vector>

namespace quillon {

// Timings in milliseconds and the order statistics the benchmarks print.
class Samples
{
public:
    void add(double ms) { values_.push_back(ms); }
    std::size_t size() const { return values_.size(); }

    // Nearest-rank percentile, p from 0 to 100; 0 when there are no samples.
    double percentile(double p) const;
    double median() const { return percentile(50); }
    double min() const { return percentile(0); }
    double max() const { return percentile(100); }

private:
    std::vector<double> values_;
};

} // namespace quillon
