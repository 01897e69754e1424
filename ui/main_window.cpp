#include "ui/main_window.h"

#include "res/resource.h"
#include "ui/unit_types.h"

namespace bv {

namespace {

// Visible, focusable and both, as the template's flags words.
constexpr std::uint32_t kShown = kUnitVisible;
constexpr std::uint32_t kShownFocus = kUnitVisible | kUnitFocusable;
constexpr std::uint32_t kHiddenFocus = kUnitFocusable;

const WindowTypeData kWindowData = {
    .title = "Brisvale",
    .border = kWindowFixedSingle,
    .control_box = true,
    .min_box = false,
    .max_box = false,
    .always_on_top = false,
    .background = kColour3dFace,
    .icon_resource = IDI_BRISVALE,
};

// The drop hint: 24-pixel characters in the system's default face.
const FontRecord kLabel5Font = {
    .height = -24,
    .weight = kFontWeightNormal,
    .charset = kFontDefaultCharset,
    .quality = kFontProofQuality,
};

constexpr LabelTypeData Label(const char* caption) { return LabelTypeData{.caption = caption}; }

const LabelTypeData kLabel6Data = Label("By：Corvane");
const LabelTypeData kLabel5Data = {.caption = "请将下载的BAT文件拖到这里", .font = &kLabel5Font, .alignment = kAlignCentre};
const LabelTypeData kLabel4Data = Label(nullptr);
const LabelTypeData kLabel3Data = Label(nullptr);
const LabelTypeData kLabel2Data = Label("韩服版本：");
const LabelTypeData kLabel1Data = Label("国服版本：");

const ButtonTypeData kButton1Data = {.caption = "创建桌面快捷方式"};
const ButtonTypeData kButton2Data = {.caption = "OP.GG\r\n"};

// Edit boxes are the logic's named storage: the markers that cut the versions
// and the batch live here, byte for byte.
constexpr EditBoxTypeData MultiLine(const char* content, bool hide_selection = true) {
  return EditBoxTypeData{.content = content, .hide_selection = hide_selection, .multi_line = true};
}
constexpr EditBoxTypeData SingleLine(const char* content) { return EditBoxTypeData{.content = content}; }

const EditBoxTypeData kEditBox7Data = MultiLine("\n\t\t\t\t</div>\n");
const EditBoxTypeData kEditBox6Data = SingleLine("\" data-link=");
const EditBoxTypeData kEditBox5Data = SingleLine("<div id=\"setNum\" data-num=\"");
const EditBoxTypeData kEditBox4Data = SingleLine(nullptr);
const EditBoxTypeData kEditBox3Data = MultiLine("if exist \"League of Legends.exe\" (");
const EditBoxTypeData kEditBox2Data = MultiLine(nullptr, false);
const EditBoxTypeData kEditBox1Data = MultiLine(nullptr, false);

// The drop target's data block as little-endian 32-bit words: version 1, then
// the four accept flags (text, HTML, URL, files): files only.
const std::uint8_t kDropTarget1Data[20] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};

template <class T>
constexpr std::int32_t SizeOf(const T&) {
  return static_cast<std::int32_t>(sizeof(T));
}

#define BV_UNIT(id, name, type, l, t, w, h, flags, data) \
  UnitTemplate { id, name, type, l, t, w, h, flags, 0, nullptr, &data, SizeOf(data) }

const UnitTemplate kUnits[] = {
    BV_UNIT(kMainWindowUnit, "启动窗口", kUnitWindow, 50, 50, 323, 136, kShown, kWindowData),
    BV_UNIT(kLabel6, "标签6", kUnitLabel, 232, 80, 88, 24, kShown, kLabel6Data),
    BV_UNIT(kButton1, "按钮1", kUnitButton, 112, 56, 120, 24, kShownFocus, kButton1Data),
    BV_UNIT(kButton2, "按钮2", kUnitButton, 248, 56, 56, 24, kShownFocus, kButton2Data),
    BV_UNIT(kLabel5, "标签5", kUnitLabel, 8, 0, 304, 56, kShown, kLabel5Data),
    BV_UNIT(kEditBox7, "编辑框7", kUnitEditBox, 104, 280, 80, 40, kShownFocus, kEditBox7Data),
    BV_UNIT(kLabel4, "标签4", kUnitLabel, 80, 80, 80, 24, kShown, kLabel4Data),
    BV_UNIT(kLabel3, "标签3", kUnitLabel, 80, 56, 80, 24, kShown, kLabel3Data),
    BV_UNIT(kEditBox6, "编辑框6", kUnitEditBox, 208, 264, 120, 32, kShownFocus, kEditBox6Data),
    BV_UNIT(kEditBox5, "编辑框5", kUnitEditBox, 112, 296, 64, 24, kShownFocus, kEditBox5Data),
    BV_UNIT(kLabel2, "标签2", kUnitLabel, 16, 80, 80, 24, kShown, kLabel2Data),
    BV_UNIT(kLabel1, "标签1", kUnitLabel, 16, 56, 80, 24, kShown, kLabel1Data),
    BV_UNIT(kEditBox4, "编辑框4", kUnitEditBox, 232, 304, 120, 64, kShownFocus, kEditBox4Data),
    BV_UNIT(kEditBox3, "编辑框3", kUnitEditBox, 328, 248, 64, 56, kHiddenFocus, kEditBox3Data),
    BV_UNIT(kEditBox2, "编辑框2", kUnitEditBox, 32, 256, 312, 64, kHiddenFocus, kEditBox2Data),
    BV_UNIT(kEditBox1, "编辑框1", kUnitEditBox, 88, 272, 176, 64, kHiddenFocus, kEditBox1Data),
    BV_UNIT(kDropTarget1, "拖放对象1", kUnitDropTarget, 8, 296, 72, 48, 0, kDropTarget1Data),
};
#undef BV_UNIT

const EventBindingTemplate kBindings[] = {
    {kMainWindowUnit, window_event::kCreated, kHandlerStartup},
    {kButton1, button_event::kClick, kHandlerShortcut},
    {kButton2, button_event::kClick, kHandlerSite},
    {kDropTarget1, drop_event::kFilesDropped, kHandlerDrop},
};

const WindowTemplate kMainWindowTemplate = {
    kMainWindow, kUnits, static_cast<std::int32_t>(sizeof kUnits / sizeof kUnits[0]),
    kBindings, static_cast<std::int32_t>(sizeof kBindings / sizeof kBindings[0]),
};

}  // namespace

const WindowTemplate& MainWindowTemplate() { return kMainWindowTemplate; }

}  // namespace bv
