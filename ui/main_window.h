// The tool's one window: its identifiers and the numbers of the logic's
// handlers that its event bindings name. The template itself is constant data
// (main_window.cpp).
#pragma once

#include "ui/unit_model.h"

namespace bv {

inline constexpr WindowId kMainWindow = 0x52010001;
inline constexpr UnitId kMainWindowUnit = 0x06010000;

inline constexpr UnitId kLabel6 = 0x1601004c;
inline constexpr UnitId kButton1 = 0x16010039;
inline constexpr UnitId kButton2 = 0x1601003b;
inline constexpr UnitId kLabel5 = 0x16010038;
inline constexpr UnitId kEditBox7 = 0x16010037;
inline constexpr UnitId kLabel4 = 0x1601002b;
inline constexpr UnitId kLabel3 = 0x1601002a;
inline constexpr UnitId kEditBox6 = 0x16010029;
inline constexpr UnitId kEditBox5 = 0x16010028;
inline constexpr UnitId kLabel2 = 0x16010027;
inline constexpr UnitId kLabel1 = 0x16010026;
inline constexpr UnitId kEditBox4 = 0x16010025;
inline constexpr UnitId kEditBox3 = 0x1601001b;
inline constexpr UnitId kEditBox2 = 0x16010012;
inline constexpr UnitId kEditBox1 = 0x16010009;
inline constexpr UnitId kDropTarget1 = 0x16010006;

// Handler numbers: index into the handler table the logic hands to the frame.
enum MainWindowHandler : std::int32_t {
  kHandlerStartup = 0,   // the window's created event
  kHandlerShortcut = 1,  // Button1's click
  kHandlerSite = 2,      // Button2's click
  kHandlerDrop = 3,      // DropTarget1's FilesDropped (one text by reference)
  kHandlerCount = 4,
};

const WindowTemplate& MainWindowTemplate();

}  // namespace bv
