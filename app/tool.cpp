#include "app/tool.h"

#include <cstring>

#include "app/text_between.h"
#include "app/tool_constants.h"
#include "runtime/file_commands.h"
#include "runtime/internet.h"
#include "runtime/program.h"
#include "runtime/shell.h"
#include "runtime/text_commands.h"
#include "runtime/value.h"
#include "ui/drag_drop_library.h"
#include "ui/main_window.h"
#include "ui/window_commands.h"

namespace bv::tool {

namespace {

// The page cache: the two downloaded pages, from the start-up check to the end.
char* g_home_page = nullptr;
char* g_statistics_page = nullptr;

// Edit boxes' content and labels' caption: their first own property.
constexpr std::int32_t kTextProperty = kFirstTypeProperty;

ValueRecord MainWindowRef() { return ValueRecord::Unit(kMainWindow, kMainWindowUnit, kUnitWindow); }

char* ReadText(UnitId unit) { return ReadUnitProperty(kMainWindow, unit, kTextProperty, -1).AsText(); }

void WriteText(UnitId unit, const char* text) {
  WriteUnitProperty(kMainWindow, unit, kTextProperty, -1, ValueRecord::TextOf(text ? text : kEmptyText));
}

const char* OrEmpty(const char* t) { return t ? t : kEmptyText; }
const void* OrEmpty(const std::uint8_t* b) { return b ? static_cast<const void*>(b) : kEmptyByteSet; }

// Fetches a page and keeps it as text (bytes up to the first NUL) in `slot`.
void FetchInto(char*& slot, const char* url) {
  std::uint8_t* page = Call(HttpGetPage, {ValueRecord::TextOf(url)}).AsByteSet();
  char* text = Call(ToText, {ValueRecord::ByteSetOf(OrEmpty(page))}).AsText();
  Release(page);
  Store(slot, text);
}

// The current directory joined with `name`, as a new text.
char* InCurrentDir(const char* name) {
  char* dir = Call(GetCurrentDir, {}).AsText();
  char* path = JoinTexts({dir, name});
  Release(dir);
  return path;
}

void ShowInfo(const char* message) {
  Call(InfoBox, {ValueRecord::TextOf(message), ValueRecord::Int(kInfoBoxOk), ValueRecord::Omit()});
}

// Cuts the version between `left` and `right` out of `page` into `label`.
void ShowVersion(const char* page, const char* left, const char* right, UnitId label) {
  char* version = TextBetween(OrEmpty(page), OrEmpty(left), OrEmpty(right));
  WriteText(label, version);
  Release(version);
}

}  // namespace

int Entry() {
  InitializeProgram();
  g_home_page = nullptr;
  g_statistics_page = nullptr;
  SetEndCallback(End);
  LoadWindow(kMainWindow);
  RunMessageLoop();
  return 0;
}

void End() {
  Store(g_home_page, static_cast<char*>(nullptr));
  Store(g_statistics_page, static_cast<char*>(nullptr));
}

void OnStartup(const EventCall&) {
  FetchInto(g_home_page, kConstants.home_page_url);
  FetchInto(g_statistics_page, kConstants.statistics_url);

  char* client = InCurrentDir(kConstants.client_file);
  const bool client_here = Call(FileExists, {ValueRecord::TextOf(client)}).AsBool();
  Release(client);

  if (!client_here) {
    ShowInfo(kConstants.client_missing);
    Call(DestroyUnit, {MainWindowRef(), ValueRecord::Omit()});
    return;
  }

  ValueRecord handle = Call(GetWindowHandle, {MainWindowRef()});
  handle.type = kTypeInt;
  Call(RegisterDrop, {ValueRecord::Unit(kMainWindow, kDropTarget1, kUnitDropTarget), handle});

  char* left = ReadText(kEditBox5);
  char* right = ReadText(kEditBox6);
  ShowVersion(g_home_page, left, right, kLabel3);
  Release(left);
  Release(right);

  right = ReadText(kEditBox7);
  ShowVersion(g_statistics_page, kConstants.korea_marker, right, kLabel4);
  Release(right);
}

void OnFilesDropped(const EventCall& call) {
  // The one argument is passed by reference: the address of the text's slot.
  const char* dropped = nullptr;
  if (call.argc >= 1 && call.args[0]) std::memcpy(&dropped, reinterpret_cast<const void*>(call.args[0]), sizeof dropped);

  char* ours = ReadText(kLabel3);
  char* theirs = ReadText(kLabel4);
  const bool same_version = CompareTexts(ours, theirs) == 0;
  Release(ours);
  Release(theirs);
  if (!same_version) {
    ShowInfo(kConstants.versions_differ);
    return;
  }

  std::uint8_t* file = Call(LoadFile, {ValueRecord::TextOf(OrEmpty(dropped))}).AsByteSet();
  char* batch = Call(ToText, {ValueRecord::ByteSetOf(OrEmpty(file))}).AsText();
  Release(file);
  WriteText(kEditBox1, batch);
  Release(batch);

  char* left = ReadText(kEditBox3);
  batch = ReadText(kEditBox1);
  char* commands = TextBetween(OrEmpty(batch), OrEmpty(left), kConstants.batch_right_marker);
  WriteText(kEditBox2, commands);
  Release(commands);
  Release(batch);
  Release(left);

  char* target = InCurrentDir(kConstants.batch_file);
  commands = ReadText(kEditBox2);
  std::uint8_t* bytes = Call(ToByteSet, {ValueRecord::TextOf(OrEmpty(commands))}).AsByteSet();
  const bool saved = Call(SaveFile, {ValueRecord::TextOf(target), ValueRecord::ByteSetOf(OrEmpty(bytes))}).AsBool();
  Release(bytes);
  Release(commands);
  Release(target);

  // A batch that could not be saved is not started: the folder may hold an
  // older or foreign ob.bat under that name.
  if (!saved) return;

  // Quoted, so that a folder with spaces cannot make the platform start a
  // program named by the path's first words.
  char* dir = Call(GetCurrentDir, {}).AsText();
  char* command_line = JoinTexts({kConstants.quote, dir, kConstants.batch_file, kConstants.quote});
  Release(dir);
  const ValueRecord no_wait = ValueRecord::Bool(false);
  Call(Run, {ValueRecord::TextOf(command_line), no_wait, ValueRecord::Int(kShowHidden)});
  Release(command_line);
}

void OnShortcutButton(const EventCall&) {
  char* desktop = Call(GetSpecialFolder, {ValueRecord::Int(kFolderDesktop)}).AsText();
  char* link = JoinTexts({desktop, kConstants.link_name});
  Release(desktop);
  char* target = InCurrentDir(kConstants.target_name);
  Call(CreateShortcut, {ValueRecord::TextOf(link), ValueRecord::TextOf(target), ValueRecord::Omit(), ValueRecord::Omit(),
                        ValueRecord::Omit()});
  Release(link);
  Release(target);
}

void OnSiteButton(const EventCall&) { Call(OpenUrl, {ValueRecord::TextOf(kConstants.site)}); }

const ProgramDefinition& Definition() {
  static const WindowTemplate* const windows[] = {&MainWindowTemplate()};
  static const EventHandler handlers[kHandlerCount] = {
      OnStartup,         // kHandlerStartup
      OnShortcutButton,  // kHandlerShortcut
      OnSiteButton,      // kHandlerSite
      OnFilesDropped,    // kHandlerDrop
  };
  static const ProgramDefinition definition = {
      windows, 1, handlers, kHandlerCount, &kConstants, static_cast<std::int32_t>(sizeof kConstants),
  };
  return definition;
}

}  // namespace bv::tool
