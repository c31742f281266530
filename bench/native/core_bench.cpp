// Cutting and encoding of large copies, natively, against a plain copy of the same bytes.
//
//   qf_core_bench
//
// Prints "name value" lines on stdout; bench/run turns them into the table.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "framework/mbcs.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"

namespace {

using Clock = std::chrono::steady_clock;

// Keeps the compiler from dropping work whose result is otherwise unused.
volatile size_t g_sink;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double SecondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Copied text as it comes: lines of about 60 bytes, ASCII and Shift_JIS
// mixed, CR LF between them, some with white space to trim.
std::string Lines(size_t bytes)
{
    static const char* const kLines[] = {
        "quill to find \x8C\x9F\x8D\xF5 0123456789 abcdefghijklmnopqrstuvwxyz\r\n",
        "  \x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67 with padding\t \r\n",
        "\r\n",
        "https://example.com/path?query=value&other=%41%42 \x82\xA0\x82\xA2\x82\xA4\r\n",
    };
    std::string text;
    text.reserve(bytes + 128);
    for (size_t i = 0; text.size() < bytes; ++i)
        text += kLines[i % (sizeof kLines / sizeof kLines[0])];
    text.resize(bytes);
    return text;
}

// One line the size of the whole copy: no break anywhere.
std::string OneLine(size_t bytes)
{
    static const char kPattern[] = "quill \x8C\x9F\x8D\xF5 find ";
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes)
        text += kPattern;
    text.resize(bytes);
    text.back() = 'x';
    return text;
}

// What the program does with a copy's text once it has it: every line cut,
// trimmed and, if not empty, encoded.
size_t CutAndEncode(const CString& text)
{
    size_t encoded = 0;
    CLineCutter cutter(text);
    CString line;
    while (cutter.Next(line)) {
        if (!line.IsEmpty())
            encoded += static_cast<size_t>(PercentEncodeAll(line).GetLength());
    }
    return encoded;
}

size_t PlainCopy(const std::string& text)
{
    std::unique_ptr<char[]> copy(new char[text.size()]);
    std::memcpy(copy.get(), text.data(), text.size());
    return static_cast<size_t>(copy[text.size() / 2]);
}

void Run(const char* shape, std::string (*make)(size_t), size_t bytes, int repeats)
{
    const std::string raw = make(bytes);
    const CString text(raw.data(), static_cast<int>(raw.size()));
    g_sink = CutAndEncode(text);
    g_sink = PlainCopy(raw);
    std::vector<double> work, copy;
    for (int r = 0; r < repeats; ++r) {
        Clock::time_point t0 = Clock::now();
        g_sink = CutAndEncode(text);
        work.push_back(SecondsSince(t0));
        t0 = Clock::now();
        g_sink = PlainCopy(raw);
        copy.push_back(SecondsSince(t0));
    }
    const std::string prefix = std::string("core.") + shape + "." + std::to_string(bytes >> 20) + "mib.";
    std::printf("%swork_ns_per_byte %.6g\n", prefix.c_str(), Median(work) * 1e9 / static_cast<double>(bytes));
    std::printf("%scopy_ns_per_byte %.6g\n", prefix.c_str(), Median(copy) * 1e9 / static_cast<double>(bytes));
    std::fflush(stdout);
}

}  // namespace

int main()
{
    mbcs::SelectCodePage(932);
    for (const auto& shape : {std::make_pair("lines", &Lines), std::make_pair("oneline", &OneLine)}) {
        Run(shape.first, shape.second, size_t{1} << 20, 41);
        Run(shape.first, shape.second, size_t{16} << 20, 9);
        Run(shape.first, shape.second, size_t{64} << 20, 5);
    }
    return 0;
}
