// Support for tests that run the program frame in a child process: a fact log
// the child writes and the test reads back, and a stand-in for unit types whose
// own part of the program is not in this tree.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>

#include "tests/win/support/win_test.h"
#include "ui/unit_model.h"
#include "ui/win/native_unit.h"

namespace bvtest {

inline constexpr char kFactLogEnv[] = "BVTEST_FACT_LOG";

// Child side: appends "key=value" to the log named by the environment.
inline void Fact(const char* key, const std::string& value) {
  char path[MAX_PATH];
  if (!GetEnvironmentVariableA(kFactLogEnv, path, MAX_PATH)) return;
  FILE* f = std::fopen(path, "ab");
  if (!f) return;
  std::fprintf(f, "%s=%s\n", key, value.c_str());
  std::fclose(f);
}
inline void Fact(const char* key, long long value) { Fact(key, std::to_string(value)); }

// Test side: a fresh log for one child; Facts() reads what the child wrote
// (a key written twice keeps its last value; Count() tells how often).
class FactLog {
 public:
  FactLog() : path_(dir_.File("facts.txt")) { SetEnvironmentVariableA(kFactLogEnv, path_.c_str()); }
  ~FactLog() { SetEnvironmentVariableA(kFactLogEnv, nullptr); }
  std::map<std::string, std::string> Facts() const {
    std::map<std::string, std::string> facts;
    for (const auto& [k, v] : Lines()) facts[k] = v;
    return facts;
  }
  int Count(const std::string& key) const {
    int n = 0;
    for (const auto& [k, v] : Lines()) n += k == key;
    return n;
  }
  std::string Raw() const { return ReadWholeFile(path_); }

 private:
  std::multimap<std::string, std::string> Lines() const {
    std::multimap<std::string, std::string> lines;
    std::string all = ReadWholeFile(path_);
    std::size_t pos = 0;
    while (pos < all.size()) {
      std::size_t end = all.find('\n', pos);
      if (end == std::string::npos) end = all.size();
      std::string line = all.substr(pos, end - pos);
      std::size_t eq = line.find('=');
      if (eq != std::string::npos) lines.emplace(line.substr(0, eq), line.substr(eq + 1));
      pos = end + 1;
    }
    return lines;
  }
  TempDir dir_;
  std::string path_;
};

// A unit type that makes a hidden, inert child window: stands in for the drop
// target in test programs that do not register the real type, so that
// templates naming it load.
inline bv::UnitObject* CreateInertUnit(const bv::UnitCreateInfo& info) {
  auto* parent = static_cast<bv::win::NativeUnit*>(info.parent);
  if (!parent || !info.common) return nullptr;
  auto* unit = new bv::win::NativeUnit;
  unit->window_id = info.window;
  unit->unit_id = info.unit;
  unit->type = info.type;
  const bv::CommonState& c = *info.common;
  HWND h = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_CLIPSIBLINGS, c.left, c.top, c.width, c.height,
                           parent->hwnd(), nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!h) {
    delete unit;
    return nullptr;
  }
  unit->Bind(h, true);
  return unit;
}
inline constexpr bv::UnitTypeOps kInertOps{CreateInertUnit, nullptr, nullptr};
// Registers the stand-in for the drop target's type unless the real one is there.
inline void EnsureDropTargetType() {
  static const bv::UnitTypeRecord kStandIn = {"DropTarget", bv::kUnitDropTarget, 0x80008040, nullptr, 0, kInertOps};
  if (!bv::FindUnitType(bv::kUnitDropTarget)) bv::RegisterUnitType(&kStandIn);
}

inline HWND NativeOf(bv::WindowId window, bv::UnitId unit) {
  bv::UnitObject* object = bv::FindUnitObject(window, unit);
  return object ? static_cast<HWND>(object->native) : nullptr;
}

}  // namespace bvtest
