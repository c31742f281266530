// Cutting and encoding of large copies, natively, against a plain copy of the same bytes.
//
//   qf_core_bench
//
// Prints "name value" lines on stdout; bench/run turns them into the table.
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "framework/cstring.h"
#include "framework/mbcs.h"
#include "search/line_cutter.h"
#include "search/percent_encode.h"

namespace {

// Keeps the compiler from dropping work whose result is otherwise unused.
volatile size_t g_sink;

// Copied text as it comes: lines of about 60 bytes, ASCII and Shift_JIS
// mixed, CR LF between them, some with white space to trim; or one line with
// no break anywhere.
const char kLines[] =
    "quill to find \x8C\x9F\x8D\xF5 0123456789 abcdefghijklmnopqrstuvwxyz\r\n"
    "  \x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67 with padding\t \r\n"
    "\r\n"
    "https://example.com/path?query=value&other=%41%42 \x82\xA0\x82\xA2\x82\xA4\r\n";
const char kOneLine[] = "quill \x8C\x9F\x8D\xF5 find ";

void Run(const char* shape, const char* pszPiece, size_t bytes, int repeats)
{
    const std::string raw = bench::Repeat(pszPiece, bytes);
    const CString text(raw.data(), static_cast<int>(raw.size()));
    std::vector<double> work, copy;
    // The first round warms the caches and is not counted. The baseline is a
    // plain copy of the same bytes into newly allocated memory.
    for (int r = -1; r < repeats; ++r) {
        // What the program does with a copy's text once it has it: every line
        // cut, trimmed and, if not empty, encoded.
        const double t0 = bench::NowUs();
        CLineCutter cutter(text);
        for (CString line; cutter.Next(line);)
            g_sink = line.IsEmpty() ? 0 : static_cast<size_t>(PercentEncodeAll(line).GetLength());
        const double t1 = bench::NowUs();
        g_sink = static_cast<size_t>(std::string(raw)[raw.size() / 2]);
        if (r >= 0) {
            work.push_back(t1 - t0);
            copy.push_back(bench::NowUs() - t1);
        }
    }
    const std::string prefix = std::string("core.") + shape + "." + std::to_string(bytes >> 20) + "mib.";
    bench::Print(prefix + "work_ns_per_byte", bench::Median(work) * 1e3 / static_cast<double>(bytes));
    bench::Print(prefix + "copy_ns_per_byte", bench::Median(copy) * 1e3 / static_cast<double>(bytes));
}

}  // namespace

int main()
{
    mbcs::SelectCodePage(932);
    for (const auto& shape : {std::make_pair("lines", kLines), std::make_pair("oneline", kOneLine)}) {
        Run(shape.first, shape.second, size_t{1} << 20, 41);
        Run(shape.first, shape.second, size_t{64} << 20, 5);
    }
    return 0;
}
