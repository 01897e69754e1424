// The main window's template as data: the units the logic relies on, byte for
// byte, and the bindings that reach its handlers.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "ui/main_window.h"
#include "ui/unit_types.h"

namespace {

const bv::UnitTemplate* Find(bv::UnitId id) {
  const bv::WindowTemplate& t = bv::MainWindowTemplate();
  for (int i = 0; i < t.unit_count; ++i)
    if (t.units[i].id == id) return &t.units[i];
  return nullptr;
}

std::string Content(bv::UnitId id) {
  const bv::UnitTemplate* u = Find(id);
  EXPECT_TRUE(u && u->type == bv::kUnitEditBox);
  if (!u) return "?";
  const char* c = static_cast<const bv::EditBoxTypeData*>(u->data)->content;
  return c ? c : "";
}

TEST(MainWindowTemplate, UnitsAreInStackingOrderWithUniqueIdentifiers) {
  const bv::WindowTemplate& t = bv::MainWindowTemplate();
  ASSERT_EQ(t.id, bv::kMainWindow);
  ASSERT_EQ(t.unit_count, 17);
  EXPECT_EQ(t.units[0].id, bv::kMainWindowUnit);
  EXPECT_EQ(t.units[0].type, bv::kUnitWindow);
  const bv::UnitId order[] = {bv::kLabel6,   bv::kButton1,  bv::kButton2,  bv::kLabel5,   bv::kEditBox7, bv::kLabel4,
                              bv::kLabel3,   bv::kEditBox6, bv::kEditBox5, bv::kLabel2,   bv::kLabel1,   bv::kEditBox4,
                              bv::kEditBox3, bv::kEditBox2, bv::kEditBox1, bv::kDropTarget1};
  std::set<bv::UnitId> seen;
  for (int i = 1; i < t.unit_count; ++i) {
    EXPECT_EQ(t.units[i].id, order[i - 1]) << "position " << i;
    EXPECT_TRUE(seen.insert(t.units[i].id).second);
    EXPECT_NE(t.units[i].data, nullptr);
    EXPECT_EQ(t.units[i].tab_order, 0);
    EXPECT_EQ(t.units[i].tag, nullptr);
    EXPECT_EQ(t.units[i].flags & bv::kUnitDisabled, 0u);
  }
}

TEST(MainWindowTemplate, EditBoxesHoldTheMarkersByteForByte) {
  EXPECT_EQ(Content(bv::kEditBox7), std::string("\n\t\t\t\t</div>\n"));
  EXPECT_EQ(Content(bv::kEditBox7).size(), 12u);
  EXPECT_EQ(Content(bv::kEditBox6), std::string("\" data-link="));
  EXPECT_EQ(Content(bv::kEditBox5), std::string("<div id=\"setNum\" data-num=\""));
  EXPECT_EQ(Content(bv::kEditBox5).size(), 27u);
  EXPECT_EQ(Content(bv::kEditBox3), std::string("if exist \"League of Legends.exe\" ("));
  EXPECT_EQ(Content(bv::kEditBox3).size(), 34u);
  for (bv::UnitId empty : {bv::kEditBox4, bv::kEditBox2, bv::kEditBox1}) EXPECT_EQ(Content(empty), "");
}

TEST(MainWindowTemplate, EditBoxKindsAndVisibility) {
  struct Row {
    bv::UnitId id;
    bool multi_line, hide_selection, visible;
  };
  const Row rows[] = {
      {bv::kEditBox1, true, false, false}, {bv::kEditBox2, true, false, false}, {bv::kEditBox3, true, true, false},
      {bv::kEditBox4, false, true, true},  {bv::kEditBox5, false, true, true},  {bv::kEditBox6, false, true, true},
      {bv::kEditBox7, true, true, true},
  };
  for (const Row& r : rows) {
    const bv::UnitTemplate* u = Find(r.id);
    ASSERT_NE(u, nullptr);
    auto* d = static_cast<const bv::EditBoxTypeData*>(u->data);
    EXPECT_EQ(d->multi_line, r.multi_line) << u->stored_name;
    EXPECT_EQ(d->hide_selection, r.hide_selection) << u->stored_name;
    EXPECT_EQ((u->flags & bv::kUnitVisible) != 0, r.visible) << u->stored_name;
    EXPECT_NE(u->flags & bv::kUnitFocusable, 0u);
    EXPECT_EQ(d->border, bv::kBorderSunken);
    EXPECT_EQ(d->scroll_bars, bv::kScrollNone);
    EXPECT_EQ(d->max_length, 0);
    EXPECT_GE(u->top, 248) << "edit boxes lie outside the client area";
  }
}

TEST(MainWindowTemplate, WindowAndDropHintLook) {
  const bv::UnitTemplate& w = bv::MainWindowTemplate().units[0];
  EXPECT_EQ(w.width, 323);
  EXPECT_EQ(w.height, 136);
  auto* wd = static_cast<const bv::WindowTypeData*>(w.data);
  EXPECT_STREQ(wd->title, "Brisvale");
  EXPECT_FALSE(wd->min_box || wd->max_box);
  EXPECT_EQ(wd->background, bv::kColour3dFace);

  auto* l5 = static_cast<const bv::LabelTypeData*>(Find(bv::kLabel5)->data);
  ASSERT_NE(l5->font, nullptr);
  EXPECT_EQ(l5->font->height, -24);
  EXPECT_EQ(l5->font->weight, 400);
  EXPECT_EQ(l5->font->charset, 1);
  EXPECT_EQ(l5->font->quality, 2);
  EXPECT_EQ(l5->font->face[0], '\0');
  EXPECT_EQ(l5->alignment, bv::kAlignCentre);
  for (bv::UnitId id : {bv::kLabel1, bv::kLabel2, bv::kLabel3, bv::kLabel4, bv::kLabel5, bv::kLabel6}) {
    auto* l = static_cast<const bv::LabelTypeData*>(Find(id)->data);
    EXPECT_EQ(l->back_colour, bv::kColour3dFace);
    EXPECT_EQ(l->text_colour, bv::kColourBlack);
    EXPECT_EQ(l->vertical_alignment, bv::kAlignCentre);
    EXPECT_FALSE(l->word_wrap);
    EXPECT_EQ(l->border, bv::kBorderNone);
  }
  auto* b2 = static_cast<const bv::ButtonTypeData*>(Find(bv::kButton2)->data);
  EXPECT_EQ(std::string(b2->caption).substr(std::strlen(b2->caption) - 2), "\r\n");
}

TEST(MainWindowTemplate, DropTargetAcceptsFilesOnly) {
  const bv::UnitTemplate* d = Find(bv::kDropTarget1);
  ASSERT_EQ(d->data_size, 20);
  const unsigned char expected[20] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(d->data, expected, 20), 0);
  EXPECT_EQ(d->flags, 0u);
}

TEST(MainWindowTemplate, FourBindingsReachTheirHandlers) {
  const bv::WindowTemplate& t = bv::MainWindowTemplate();
  ASSERT_EQ(t.binding_count, 4);
  std::set<std::tuple<bv::UnitId, int, int>> got;
  for (int i = 0; i < t.binding_count; ++i) got.insert({t.bindings[i].unit, t.bindings[i].event, t.bindings[i].handler});
  std::set<std::tuple<bv::UnitId, int, int>> want = {
      {bv::kMainWindowUnit, bv::window_event::kCreated, bv::kHandlerStartup},
      {bv::kButton1, bv::button_event::kClick, bv::kHandlerShortcut},
      {bv::kButton2, bv::button_event::kClick, bv::kHandlerSite},
      {bv::kDropTarget1, bv::drop_event::kFilesDropped, bv::kHandlerDrop},
  };
  EXPECT_EQ(got, want);
}

}  // namespace
