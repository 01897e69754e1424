// FindText on page-like texts (mostly ASCII markup with some GBK text, the
// marker near the end), beside glibc's memmem and a byte-by-byte loop of the
// stepping search, in one run so the figures compare.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "runtime/text_commands.h"
#include "runtime/value.h"

namespace {

// Results go here so that the searches are not optimized away.
// (benchmark::DoNotOptimize on a local miscompiles with this GCC and
// benchmark version: the local read back afterwards held garbage.)
volatile std::int64_t g_sink;

const char kMarker[] = "<div id=\"setNum\" data-num=\"";
const char kMarkerUpper[] = "<DIV ID=\"SETNUM\" DATA-NUM=\"";

// Deterministic page of about `size` bytes; the marker sits 200 bytes before
// the end.
const std::string& Page(std::size_t size) {
  static std::string pages[2];
  std::string& page = pages[size > (8u << 20) ? 1 : 0];
  if (!page.empty()) return page;
  static const char* const kLines[] = {
      "<div class=\"champion-item\"><a href=\"/champion/ahri/statistics\">\xB0\xA2\xC0\xE8</a>",
      "<span class=\"rate\">51.3%</span></div>\n",
      "\t<li data-id=\"103\" class=\"tier-1\"><img src=\"//img.example.invalid/c/103.png\" alt=\"\"></li>\n",
      "<p>\xD3\xA2\xD0\xDB\xC1\xAA\xC3\xCB \xB8\xFC\xD0\xC2\xB9\xAB\xB8\xE6 Patch Notes</p>\n",
      "<script>var cfg = {\"region\":\"kr\",\"version\":\"14.3\"};</script>\n",
      "\t\t<div id=\"set\" data-name=\"item\" data-link=\"/news/\">\xD0\xC2\xCE\xC5</div>\n",
  };
  std::uint32_t x = 12345;
  while (page.size() + 300 < size) {
    x = x * 1103515245u + 12345u;
    page += kLines[(x >> 16) % 6];
  }
  page += kMarker;
  page += "14.3.5\" data-link=\"//example.invalid/\"></div>\n";
  page.append(size > page.size() ? size - page.size() : 0, ' ');
  return page;
}

std::int32_t Naive(const char* text, const char* sought, bool ignore_case) {
  const std::size_t length = std::strlen(text), m = std::strlen(sought);
  auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 0x20 : c; };
  for (std::size_t p = 0; p + m <= length;) {
    std::size_t k = 0;
    while (k < m && (ignore_case ? fold(text[p + k]) == fold(sought[k]) : text[p + k] == sought[k])) ++k;
    if (k == m) return static_cast<std::int32_t>(p + 1);
    p += static_cast<unsigned char>(text[p]) >= 0x80 ? 2 : 1;
  }
  return -1;
}

void Check(benchmark::State& state, std::int64_t found, const std::string& page) {
  if (found != static_cast<std::int64_t>(page.rfind(kMarker)) + 1) state.SkipWithError("wrong position");
}

void BM_FindText(benchmark::State& state, bool ignore_case) {
  const std::string& page = Page(static_cast<std::size_t>(state.range(0)));
  const bv::ValueRecord args[4] = {bv::ValueRecord::TextOf(page.c_str()),
                                   bv::ValueRecord::TextOf(ignore_case ? kMarkerUpper : kMarker),
                                   bv::ValueRecord::Omit(), bv::ValueRecord::Bool(ignore_case)};
  std::int32_t found = 0;
  for (auto _ : state) {
    bv::ValueRecord r{};
    bv::FindText(&r, 4, args);
    found = r.AsInt();
    g_sink = found;
  }
  Check(state, found, page);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
}

void BM_Memmem(benchmark::State& state) {
  const std::string& page = Page(static_cast<std::size_t>(state.range(0)));
  const void* at = nullptr;
  for (auto _ : state) {
    at = memmem(page.data(), page.size(), kMarker, sizeof kMarker - 1);
    g_sink = at != nullptr;
  }
  Check(state, static_cast<const char*>(at) - page.data() + 1, page);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
}

void BM_NaiveStepping(benchmark::State& state, bool ignore_case) {
  const std::string& page = Page(static_cast<std::size_t>(state.range(0)));
  std::int32_t found = 0;
  for (auto _ : state) {
    found = Naive(page.c_str(), ignore_case ? kMarkerUpper : kMarker, ignore_case);
    g_sink = found;
  }
  Check(state, found, page);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
}

constexpr std::int64_t k2MB = 2 << 20, k64MB = 64 << 20;

BENCHMARK_CAPTURE(BM_FindText, case_sensitive, false)->Arg(k2MB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FindText, ignore_case, true)->Arg(k2MB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memmem)->Arg(k2MB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_NaiveStepping, case_sensitive, false)->Arg(k2MB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_NaiveStepping, ignore_case, true)->Arg(k2MB)->Arg(k64MB)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
