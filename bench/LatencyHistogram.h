#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace bench {

// Log-linear histogram of nanosecond latencies: exact below 256 ns, then 128
// buckets per power of two, so a percentile is off by less than 1% while the
// memory stays fixed however long the run (keeping every sample would grow
// with the request count). The maximum is kept exactly.
class LatencyHistogram {
public:
    static constexpr int SubBits = 7;
    static constexpr int64_t Linear = int64_t{1} << (SubBits + 1); // 256
    static constexpr int MaxExponent = 46;                          // about 19 hours

    LatencyHistogram() : m_counts(indexOf(maxTracked()) + 1, 0) {}

    void record(int64_t ns)
    {
        ns = std::clamp<int64_t>(ns, 0, maxTracked());
        ++m_counts[indexOf(ns)];
        ++m_total;
        m_max = std::max(m_max, ns);
    }

    uint64_t count() const { return m_total; }
    int64_t max() const { return m_max; }

    // The smallest bucket bound below which at least `fraction` of the
    // samples lie; 0 when there are none. Never above the true maximum.
    int64_t percentile(double fraction) const
    {
        if (m_total == 0)
            return 0;
        const auto wanted = static_cast<uint64_t>(std::max(1.0, fraction * static_cast<double>(m_total) + 0.5));
        uint64_t seen = 0;
        for (size_t i = 0; i < m_counts.size(); ++i) {
            seen += m_counts[i];
            if (seen >= wanted)
                return std::min(upperBound(i), m_max);
        }
        return m_max;
    }

private:
    static constexpr int64_t maxTracked() { return (int64_t{1} << MaxExponent) - 1; }

    static size_t indexOf(int64_t ns)
    {
        if (ns < Linear)
            return static_cast<size_t>(ns);
        const int exponent = 63 - std::countl_zero(static_cast<uint64_t>(ns)); // >= SubBits + 1
        const int shift = exponent - SubBits;
        const int64_t sub = (ns >> shift) - (int64_t{1} << SubBits);
        return static_cast<size_t>(Linear + (exponent - SubBits - 1) * (int64_t{1} << SubBits) + sub);
    }

    static int64_t upperBound(size_t index)
    {
        const auto i = static_cast<int64_t>(index);
        if (i < Linear)
            return i;
        const int64_t perOctave = int64_t{1} << SubBits;
        const int exponent = static_cast<int>((i - Linear) / perOctave) + SubBits + 1;
        const int64_t sub = (i - Linear) % perOctave + perOctave;
        const int shift = exponent - SubBits;
        return ((sub + 1) << shift) - 1;
    }

    std::vector<uint64_t> m_counts;
    uint64_t m_total = 0;
    int64_t m_max = 0;
};

} // namespace bench
