// The tool's four handlers and its entry, run through the real unit model and
// event dispatch against the main window's template, with recording stand-ins
// for every command (tests/native/support). The journal holds the commands in
// call order together with the handlers' reads and writes of unit texts, so
// each test pins an order the tool relies on. Run under ASan with leak checks:
// a temporary the handlers forget to release fails the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/tool.h"
#include "app/tool_constants.h"
#include "runtime/posix/heap_seam.h"
#include "runtime/program.h"
#include "runtime/value.h"
#include "tests/native/support/recording_commands.h"
#include "tests/support/window_loader.h"
#include "ui/drag_drop_library.h"
#include "ui/main_window.h"
#include "ui/posix/fake_native.h"
#include "ui/unit_model.h"
#include "ui/unit_types.h"

namespace bv {
namespace {

using bvtest::recording::Answer;
using bvtest::recording::Journal;
using bvtest::recording::Note;
using bvtest::recording::Quoted;
using tool::kConstants;
using Lines = std::vector<std::string>;

// ---- Units whose text (the first own property) is all the handlers use --------

const char* NameOf(UnitId unit) {
  static const struct {
    UnitId id;
    const char* name;
  } kNames[] = {
      {kMainWindowUnit, "MainWindow"}, {kEditBox1, "EditBox1"}, {kEditBox2, "EditBox2"}, {kEditBox3, "EditBox3"},
      {kEditBox4, "EditBox4"},         {kEditBox5, "EditBox5"}, {kEditBox6, "EditBox6"}, {kEditBox7, "EditBox7"},
      {kLabel1, "Label1"},             {kLabel2, "Label2"},     {kLabel3, "Label3"},     {kLabel4, "Label4"},
      {kLabel5, "Label5"},             {kLabel6, "Label6"},     {kButton1, "Button1"},   {kButton2, "Button2"},
      {kDropTarget1, "DropTarget1"},
  };
  for (const auto& n : kNames)
    if (n.id == unit) return n.name;
  return "?";
}

struct TextUnit : UnitObject {
  std::string text;
};

void Gone(void* context) {
  auto* u = static_cast<TextUnit*>(context);
  ReportUnitGone(u->window_id, u->unit_id);
  delete u;
}

const char* TemplateText(const UnitCreateInfo& info) {
  if (!info.data) return nullptr;
  switch (info.type->code) {
    case kUnitEditBox: return static_cast<const EditBoxTypeData*>(info.data)->content;
    case kUnitLabel: return static_cast<const LabelTypeData*>(info.data)->caption;
    case kUnitButton: return static_cast<const ButtonTypeData*>(info.data)->caption;
    case kUnitWindow: return static_cast<const WindowTypeData*>(info.data)->title;
  }
  return nullptr;
}

UnitObject* CreateTextUnit(const UnitCreateInfo& info) {
  auto* u = new TextUnit;
  u->window_id = info.window;
  u->unit_id = info.unit;
  u->type = info.type;
  if (const char* t = TemplateText(info)) u->text = t;
  const CommonState& c = *info.common;
  u->native = fakenative::Create(info.parent ? info.parent->native : nullptr, {c.left, c.top, c.width, c.height},
                                 false, true, Gone, u);
  return u;
}

bool WriteText(UnitObject* unit, std::int32_t index, const RawProperty& v) {
  auto* u = static_cast<TextUnit*>(unit);
  if (index != 0) return false;
  u->text.assign(static_cast<const char*>(v.data), v.size);
  Note(std::string("write ") + NameOf(u->unit_id) + " " + Quoted(u->text));
  return false;
}

RawProperty ReadText(UnitObject* unit, std::int32_t index) {
  auto* u = static_cast<TextUnit*>(unit);
  if (index != 0) return {};
  Note(std::string("read ") + NameOf(u->unit_id));
  return {0, u->text.c_str(), static_cast<std::int32_t>(u->text.size())};
}

constexpr UnitTypeOps kTextUnitOps{CreateTextUnit, ReadText, WriteText};
const UnitTypeRecord kTypes[] = {
    {"window", kUnitWindow, kWindowTypeFlags, kWindowPropertyTypes, window_prop::kCount, kTextUnitOps},
    {"EditBox", kUnitEditBox, kEditBoxTypeFlags, kEditBoxPropertyTypes, edit_prop::kCount, kTextUnitOps},
    {"Label", kUnitLabel, kLabelTypeFlags, kLabelPropertyTypes, label_prop::kCount, kTextUnitOps},
    {"Button", kUnitButton, kButtonTypeFlags, kButtonPropertyTypes, button_prop::kCount, kTextUnitOps},
    {"DropTarget", kUnitDropTarget, kDropTargetTypeFlags, kDropTargetPropertyTypes, kDropKindCount, kTextUnitOps},
};

// ---- Fixture ----------------------------------------------------------------------

const char kDir[] = "C:\\Game dir";
const char kHomePage[] = "<p><div id=\"setNum\" data-num=\"14.3.1\" data-link=\"/v\">";
const char kStatisticsPage[] = "<div>Korea - Version : 14.4.1\n\t\t\t\t</div>\n";
const char kBatchPath[] = "C:\\dl\\live game.bat";
const char kBatch[] =
    "@echo off\r\nif exist \"League of Legends.exe\" (\r\n\tstart \"\" \"League of Legends.exe\" \"spectator x\"\r\n"
    "\tgoto :eof\r\n)\r\n";
const char kCommands[] = "\r\n\tstart \"\" \"League of Legends.exe\" \"spectator x\"\r\n\t";

class ToolHandlers : public ::testing::Test {
 protected:
  void SetUp() override {
    static const bool constants_registered = [] {
      RegisterConstantRange(tool::Definition().constant_block, tool::Definition().constant_block_size);
      return true;
    }();
    (void)constants_registered;
    fakenative::Reset();
    bvtest::recording::Reset();
    for (const UnitTypeRecord& t : kTypes) RegisterUnitType(&t);
    const ProgramDefinition& d = tool::Definition();
    InstallProgramWindows(d.windows, d.window_count, d.handlers, d.handler_count);
    while (EventsBlocked()) UnblockEvents();
    Load();

    Answer().current_dir = kDir;
    Answer().desktop = "C:\\Users\\p\\Desktop\\";
    Answer().pages = {{kConstants.home_page_url, kHomePage}, {kConstants.statistics_url, kStatisticsPage}};
    Answer().files = {{kBatchPath, kBatch}};
  }

  void TearDown() override {
    tool::End();
    if (UnitObject* w = FindUnitObject(kMainWindow, 0)) unitplatform::NativeDestroy(w->native);
    ReleaseProgramWindows();
    fakenative::Reset();
    bvtest::recording::Reset();
  }

  void Load() {
    const auto show = [](void* native) { unitplatform::NativeShow(native, true); };
    ASSERT_FALSE(bvtest::LoadWindowUnits(kMainWindow, CreateTextUnit, show).empty());
  }

  static void Raise(UnitId unit, std::int32_t event) {
    PlainEventRecord record{kMainWindow, unit, static_cast<std::uint32_t>(event), 0};
    ASSERT_EQ(RaiseEvent(&record), 1) << NameOf(unit) << " event " << event << " reached no handler";
  }

  // As the drop target raises it: the path text passed by reference.
  static void Drop(const char* path) {
    char* variable = CopyText(path);
    const auto address = reinterpret_cast<std::uintptr_t>(variable);
    TypedEventRecord record{kMainWindow, kDropTarget1, drop_event::kFilesDropped, 1};
    record.args[0].value = static_cast<std::uint32_t>(address);
    record.args[0].high = static_cast<std::uint32_t>(static_cast<std::uint64_t>(address) >> 32);
    record.args[0].type = kTypeText;
    record.args[0].flags = kArgByReference;
    EXPECT_EQ(RaiseTypedEvent(&record), 1) << "the drop reached no handler";
    Release(variable);
  }

  static void SetVersions(const char* ours, const char* theirs) {
    WriteUnitProperty(kMainWindow, kLabel3, kFirstTypeProperty, -1, ValueRecord::TextOf(ours));
    WriteUnitProperty(kMainWindow, kLabel4, kFirstTypeProperty, -1, ValueRecord::TextOf(theirs));
    Journal().clear();
  }

  static std::string Caption(UnitId label) {
    char* t = ReadUnitProperty(kMainWindow, label, kFirstTypeProperty, -1).AsText();
    std::string s = t ? t : "";
    Release(t);
    return s;
  }

  static Lines After(const std::string& line) {
    const Lines& j = Journal();
    for (std::size_t i = 0; i < j.size(); ++i)
      if (j[i] == line) return Lines(j.begin() + static_cast<std::ptrdiff_t>(i) + 1, j.end());
    ADD_FAILURE() << line << " is not in the journal";
    return {};
  }
};

const std::string kMainWindowRef = "unit 52010001:06010000";
const std::string kClientCheck = std::string("FileExists(") + Quoted(std::string(kDir) + kConstants.client_file) + ")";

// ---- Start-up ---------------------------------------------------------------------

TEST_F(ToolHandlers, StartUpFetchesBothPagesBeforeLookingForTheClient) {
  for (bool client : {true, false}) {
    SCOPED_TRACE(client ? "client present" : "client missing");
    bvtest::recording::Journal().clear();
    Answer().client_present = client;
    Raise(kMainWindowUnit, window_event::kCreated);
    const Lines& j = Journal();
    ASSERT_GE(j.size(), 4u);
    EXPECT_EQ(Lines(j.begin(), j.begin() + 4),
              (Lines{"HttpGetPage(" + Quoted(kConstants.home_page_url) + ")",
                     "HttpGetPage(" + Quoted(kConstants.statistics_url) + ")", "GetCurrentDir()", kClientCheck}));
  }
}

TEST_F(ToolHandlers, StartUpWithoutTheClientShowsTheBoxThenDestroysTheWindowAndRegistersNothing) {
  Answer().client_present = false;
  Raise(kMainWindowUnit, window_event::kCreated);
  EXPECT_EQ(After(kClientCheck),
            (Lines{"InfoBox(" + Quoted(kConstants.client_missing) + ", 0, -)", "DestroyUnit(" + kMainWindowRef + ", -)"}));
  EXPECT_EQ(Caption(kLabel3), "");
  EXPECT_EQ(Caption(kLabel4), "");
}

TEST_F(ToolHandlers, StartUpRegistersTheDropTargetOnTheWindowBeforeReadingTheMarkers) {
  Raise(kMainWindowUnit, window_event::kCreated);
  EXPECT_EQ(After(kClientCheck), (Lines{
                                     "GetWindowHandle(" + kMainWindowRef + ")",
                                     "RegisterDrop(unit 52010001:16010006, 4660)",
                                     "read EditBox5",
                                     "read EditBox6",
                                     R"(write Label3 "14.3.1")",
                                     "read EditBox7",
                                     R"(write Label4 "14.4.1")",
                                 }));
}

TEST_F(ToolHandlers, StartUpWithoutPagesShowsEmptyVersionsAndStillTakesDrops) {
  Answer().pages.clear();
  Raise(kMainWindowUnit, window_event::kCreated);
  EXPECT_EQ(Caption(kLabel3), "");
  EXPECT_EQ(Caption(kLabel4), "");
  const Lines& j = Journal();
  EXPECT_NE(std::find(j.begin(), j.end(), "RegisterDrop(unit 52010001:16010006, 4660)"), j.end());
}

// ---- Drop -------------------------------------------------------------------------

TEST_F(ToolHandlers, DropWithDifferingVersionsShowsTheBoxAndReadsNothing) {
  const char* const kPairs[][2] = {{"14.3.1", "14.4.1"}, {"v14.3", "V14.3"}, {"", "14.4.1"}};
  for (const auto& pair : kPairs) {
    SCOPED_TRACE(std::string(pair[0]) + " / " + pair[1]);
    SetVersions(pair[0], pair[1]);
    Drop(kBatchPath);
    EXPECT_EQ(Journal(), (Lines{"read Label3", "read Label4", "InfoBox(" + Quoted(kConstants.versions_differ) + ", 0, -)"}));
  }
}

TEST_F(ToolHandlers, DropWithEqualVersionsLoadsCutsThroughTheEditBoxesSavesAndRunsQuoted) {
  SetVersions("14.3.1", "14.3.1");
  Drop(kBatchPath);
  EXPECT_EQ(Journal(), (Lines{
                           "read Label3",
                           "read Label4",
                           R"(LoadFile("C:\\dl\\live game.bat"))",
                           "write EditBox1 " + Quoted(kBatch),
                           "read EditBox3",
                           "read EditBox1",
                           "write EditBox2 " + Quoted(kCommands),
                           "GetCurrentDir()",
                           "read EditBox2",
                           R"(SaveFile("C:\\Game dir/ob.bat", bytes)" + Quoted(kCommands) + ")",
                           "GetCurrentDir()",
                           R"(Run("\"C:\\Game dir/ob.bat\"", false, 1))",
                       }));
}

TEST_F(ToolHandlers, DropWithBothVersionsEmptyConverts) {
  SetVersions("", "");
  Drop(kBatchPath);
  ASSERT_FALSE(Journal().empty());
  EXPECT_EQ(Journal().back(), R"(Run("\"C:\\Game dir/ob.bat\"", false, 1))");
}

TEST_F(ToolHandlers, DropWhoseSaveFailsStartsNothing) {
  SetVersions("14.3.1", "14.3.1");
  Answer().save_succeeds = false;
  Drop(kBatchPath);
  ASSERT_FALSE(Journal().empty());
  EXPECT_EQ(Journal().back(), R"(SaveFile("C:\\Game dir/ob.bat", bytes)" + Quoted(kCommands) + ")");
}

// An event call that lacks its argument or whose slot is null reads no path.
TEST_F(ToolHandlers, DropWithoutAPathSlotLoadsTheEmptyPath) {
  SetVersions("14.3.1", "14.3.1");
  char* path = CopyText(kBatchPath);
  EventCall no_argument;
  no_argument.args[0] = reinterpret_cast<std::uintptr_t>(&path);  // stale, beyond argc
  EventCall null_slot;
  null_slot.argc = 1;
  for (const EventCall& call : {no_argument, null_slot}) {
    Journal().clear();
    tool::OnFilesDropped(call);
    EXPECT_EQ(After("read Label4").at(0), R"(LoadFile(""))");
  }
  Release(path);
}

// ---- Buttons -----------------------------------------------------------------------

TEST_F(ToolHandlers, ShortcutButtonLinksTheDesktopToTheToolInItsFolder) {
  Raise(kButton1, button_event::kClick);
  EXPECT_EQ(Journal(), (Lines{
                           "GetSpecialFolder(3)",
                           "GetCurrentDir()",
                           R"(CreateShortcut("C:\\Users\\p\\Desktop\\\\Brisvale.lnk", "C:\\Game dir\\Brisvale.exe", -, -, -))",
                       }));
}

TEST_F(ToolHandlers, SiteButtonOpensTheStatisticsSiteByItsBareName) {
  Raise(kButton2, button_event::kClick);
  EXPECT_EQ(Journal(), (Lines{R"(OpenUrl("www.op.gg"))"}));
}

// ---- Entry and end -------------------------------------------------------------------

TEST_F(ToolHandlers, EndReleasesBothCachedPages) {
  Raise(kMainWindowUnit, window_event::kCreated);
  const long held = platform::seam::LiveHeapBlocks();
  tool::End();
  EXPECT_EQ(platform::seam::LiveHeapBlocks(), held - 2);
}

// A stand-in end callback is in place before the entry runs: when the window
// loads, running the end callback must no longer reach it.
bool g_stand_in_end_ran = false;
void StandInEnd() { g_stand_in_end_ran = true; }

TEST(ToolEntry, InitialisesRegistersTheEndThenLoadsTheWindowAndRuns) {
  bvtest::recording::Reset();
  SetEndCallback(StandInEnd);
  g_stand_in_end_ran = false;
  Answer().on_load_window = [] { RunEndCallbackAndNotify(); };
  EXPECT_EQ(tool::Entry(), 0);
  EXPECT_EQ(Journal(), (Lines{"InitializeProgram()", "LoadWindow(52010001)", "RunMessageLoop()"}));
  EXPECT_FALSE(g_stand_in_end_ran) << "the entry registers its own end callback before loading the window";
  ForgetEndCallback();
  bvtest::recording::Reset();
}

}  // namespace
}  // namespace bv
