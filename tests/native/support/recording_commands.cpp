#include "tests/native/support/recording_commands.h"

#include <cstdio>

#include "runtime/file_commands.h"
#include "runtime/internet.h"
#include "runtime/shell.h"
#include "runtime/value.h"
#include "ui/drag_drop_library.h"
#include "ui/frame.h"
#include "ui/window_commands.h"

namespace bvtest::recording {

namespace {

Answers g_answers;
std::vector<std::string> g_journal;

std::string Hex(std::uint32_t v) {
  char b[12];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

std::string Shown(const bv::ValueRecord& v) {
  switch (v.type) {
    case bv::kTypeNone: return "-";
    case bv::kTypeInt: return std::to_string(v.AsInt());
    case bv::kTypeBool: return v.AsBool() ? "true" : "false";
    case bv::kTypeText: return v.AsText() ? Quoted(v.AsText()) : "null";
    case bv::kTypeByteSet: {
      const void* b = v.AsByteSet();
      if (!b) return "null";
      return "bytes" + Quoted(std::string(reinterpret_cast<const char*>(bv::ByteSetData(b)), bv::ByteSetLength(b)));
    }
  }
  // Unit references: window identifier in the value word, unit in the high word.
  if ((v.type & 0xC0000000u) == 0 || (v.type & 0xC0000000u) == 0xC0000000u) return "unit " + Hex(v.value) + ":" + Hex(v.high);
  return "type " + Hex(v.type) + " " + Hex(v.value);
}

void NoteCall(const char* name, std::int32_t argc, const bv::ValueRecord* args) {
  std::string line = std::string(name) + "(";
  for (std::int32_t i = 0; i < argc; ++i) line += (i ? ", " : "") + Shown(args[i]);
  Note(line + ")");
}

void AnswerText(bv::ValueRecord* result, const std::optional<std::string>& text) {
  if (text) result->SetPointer(bv::MakeText(text->data(), static_cast<std::int32_t>(text->size())));
}
void AnswerBytes(bv::ValueRecord* result, const std::string* bytes) {
  if (bytes) result->SetPointer(bv::MakeByteSet(bytes->data(), static_cast<std::int32_t>(bytes->size())));
}
void AnswerBool(bv::ValueRecord* result, bool b) { result->value = b ? 1 : 0; }

const std::string* Find(const std::map<std::string, std::string>& m, const char* key) {
  auto it = m.find(key ? key : "");
  return it == m.end() ? nullptr : &it->second;
}

}  // namespace

Answers& Answer() { return g_answers; }
std::vector<std::string>& Journal() { return g_journal; }
void Note(const std::string& line) { g_journal.push_back(line); }
void Reset() {
  g_answers = Answers{};
  g_journal.clear();
}

std::string Quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char b[8];
          std::snprintf(b, sizeof b, "\\x%02X", c);
          out += b;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace bvtest::recording

namespace bv {

using namespace bvtest::recording;

void HttpGetPage(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("HttpGetPage", argc, args);
  AnswerBytes(result, Find(Answer().pages, ArgText(args, argc, 0)));
}

void GetCurrentDir(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("GetCurrentDir", argc, args);
  AnswerText(result, Answer().current_dir);
}

void FileExists(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("FileExists", argc, args);
  AnswerBool(result, Answer().client_present);
}

void LoadFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("LoadFile", argc, args);
  AnswerBytes(result, Find(Answer().files, ArgText(args, argc, 0)));
}

void SaveFile(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("SaveFile", argc, args);
  AnswerBool(result, Answer().save_succeeds);
}

void Run(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("Run", argc, args);
  AnswerBool(result, true);
}

void InfoBox(ValueRecord*, std::int32_t argc, const ValueRecord* args) { NoteCall("InfoBox", argc, args); }

void GetWindowHandle(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("GetWindowHandle", argc, args);
  result->value = static_cast<std::uint32_t>(Answer().window_handle);
}

void DestroyUnit(ValueRecord*, std::int32_t argc, const ValueRecord* args) { NoteCall("DestroyUnit", argc, args); }

void RegisterDrop(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("RegisterDrop", argc, args);
  AnswerBool(result, true);
}

void GetSpecialFolder(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("GetSpecialFolder", argc, args);
  AnswerText(result, Answer().desktop);
}

void CreateShortcut(ValueRecord* result, std::int32_t argc, const ValueRecord* args) {
  NoteCall("CreateShortcut", argc, args);
  AnswerBool(result, true);
}

void OpenUrl(ValueRecord*, std::int32_t argc, const ValueRecord* args) { NoteCall("OpenUrl", argc, args); }

void InitializeProgram() { Note("InitializeProgram()"); }

void LoadWindow(WindowId window) {
  Note("LoadWindow(" + Hex(window) + ")");
  if (Answer().on_load_window) Answer().on_load_window();
}

void RunMessageLoop() { Note("RunMessageLoop()"); }

}  // namespace bv
