// What every benchmark program shares: a clock, medians and the "name value"
// lines that bench/run turns into the table. Portable, for the native one too.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double NowUs()
{
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double Least(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Copied text: the piece over and over, cut to size.
inline std::string Repeat(const std::string& piece, size_t bytes)
{
    std::string text;
    while (text.size() < bytes)
        text += piece;
    text.resize(bytes);
    return text;
}

inline void Print(const std::string& name, double value)
{
    std::printf("%s %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

}  // namespace bench
