#pragma once

// Small helpers shared by the benchmark's minimal server and load generator.
// Plain POSIX on purpose: the benchmark must not share the agent's event loop
// or libraries, or it would measure itself along with the agent.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>

namespace bench {

inline int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline bool setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Raises the soft descriptor limit towards the hard one, as far as `wanted`
// needs; returns the soft limit in force afterwards. Many connections per
// process are the point of the load test, and the default soft limit (1024)
// is below what 1,000 clients plus the process's own descriptors need.
inline long raiseDescriptorLimit(long wanted)
{
    rlimit rl{};
    if (getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return -1;
    if (wanted > 0 && rl.rlim_cur != RLIM_INFINITY && static_cast<long>(rl.rlim_cur) < wanted) {
        rlim_t target = static_cast<rlim_t>(wanted);
        if (rl.rlim_max != RLIM_INFINITY && target > rl.rlim_max)
            target = rl.rlim_max;
        rlimit raised = rl;
        raised.rlim_cur = target;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            rl = raised;
    }
    return rl.rlim_cur == RLIM_INFINITY ? wanted : static_cast<long>(rl.rlim_cur);
}

// A whole text read by `convert` (strtoll or strtod style) and within
// [min, max]; anything else (junk, trailing text, overflow, NaN) is rejected
// so a typo never becomes a huge run.
template <typename T, typename Convert>
std::optional<T> parseNumber(const char *text, T min, T max, Convert convert)
{
    if (!text || !*text)
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const T value = convert(text, &end);
    // The negated comparison also rejects NaN.
    if (errno != 0 || !end || *end != '\0' || !(value >= min && value <= max))
        return std::nullopt;
    return value;
}

inline std::optional<long long> parseInteger(const char *text, long long min, long long max)
{
    return parseNumber<long long>(text, min, max, [](const char *t, char **e) { return std::strtoll(t, e, 10); });
}

inline std::optional<double> parseDecimal(const char *text, double min, double max)
{
    return parseNumber<double>(text, min, max, [](const char *t, char **e) { return std::strtod(t, e); });
}

// Stores a whole number within [min, max] in out; false if there is none.
template <typename T>
bool takeInteger(const char *text, long long min, long long max, T &out)
{
    const auto v = parseInteger(text, min, max);
    if (v)
        out = static_cast<T>(*v);
    return v.has_value();
}

// Hex bytes such as "001600" or "00 16 00"; spaces and colons between bytes
// are allowed. At most maxBytes bytes.
inline std::optional<std::vector<uint8_t>> parseHex(std::string_view text, size_t maxBytes)
{
    std::vector<uint8_t> out;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ':') {
            if (high >= 0)
                return std::nullopt; // a separator may not split a byte
            continue;
        }
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        if (nibble < 0)
            return std::nullopt;
        if (high < 0) {
            high = nibble;
            continue;
        }
        if (out.size() >= maxBytes)
            return std::nullopt;
        out.push_back(static_cast<uint8_t>(high << 4 | nibble));
        high = -1;
    }
    if (high >= 0 || out.empty())
        return std::nullopt;
    return out;
}

inline std::string toHex(const uint8_t *data, size_t n)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(digits[data[i] >> 4]);
        out.push_back(digits[data[i] & 15]);
    }
    return out;
}

// Exits with a usage message; the programs are run from a script, so a clear
// one-line reason on stderr is what the script's user sees.
[[noreturn]] inline void fail(const char *program, const std::string &reason, const char *usage)
{
    std::fprintf(stderr, "%s: %s\n%s", program, reason.c_str(), usage);
    std::exit(2);
}

// Walks argv as "--name value" pairs and hands each to `take`, which returns
// false for a name it does not know or a value it rejects.
template <typename Take>
void parseOptions(int argc, char **argv, const char *usage, Take take)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            std::fputs(usage, stdout);
            std::exit(0);
        }
        if (i + 1 >= argc)
            fail(argv[0], "missing value for " + name, usage);
        const char *value = argv[++i];
        if (!take(name, value))
            fail(argv[0], "bad option or value: " + name + " " + value, usage);
    }
}

} // namespace bench
