// Every text of the system is stored as GBK bytes. Each Chinese text the
// program holds is checked against iconv's GBK encoding of its UTF-8 spelling.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "app/tool_constants.h"
#include "runtime/texts.h"
#include "ui/main_window.h"
#include "ui/unit_types.h"

namespace {

std::string ToGbk(const char8_t* utf8) {
  std::string in(reinterpret_cast<const char*>(utf8));
  iconv_t cd = iconv_open("GBK", "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(in.size() * 2 + 4, '\0');
  char* src = in.data();
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  EXPECT_NE(r, static_cast<size_t>(-1)) << "not encodable in GBK";
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
}

struct Case {
  const char* stored;
  const char8_t* utf8;
};

// One row per text of the runtime and the tool that a user can see.
const Case kTexts[] = {
    {bv::texts::kFatalHeading, u8"运行时出错!\r\n\r\n"},
    {bv::texts::kFatalCodeLabel, u8"错误代码："},
    {bv::texts::kFatalMessageLabel, u8"错误信息："},
    {bv::texts::kFatalCaption, u8"错误"},
    {bv::texts::kAllocationFailed, u8"分配 %d 字节内存失败!"},
    {bv::texts::kTemplateUnreadable, u8"载入窗口模板数据段出错!"},
    {bv::texts::kStartWindowFailed, u8"载入启动窗口失败"},
    {bv::texts::kNoWindowForAccess, u8"未载入欲访问窗口组件所在的窗口"},
    {bv::texts::kWindowNotLoaded, u8"指定窗口尚未载入"},
    {bv::texts::kNoEventWindow, u8"未找到引发事件的窗口"},
    {bv::texts::kNoEventUnit, u8"未找到引发事件的窗口组件"},
    {bv::texts::kInvalidEventUnit, u8"引发事件的窗口组件无效"},
    {bv::texts::kNoSuchUnit, u8"指定窗口或窗口组件不存在或尚未载入"},
    {bv::texts::kInfoBoxTitle, u8"信息："},
    {bv::texts::kTrue, u8"真"},
    {bv::texts::kFalse, u8"假"},
    {bv::texts::kDateFormat, u8"%d年%d月%d日"},
    {bv::texts::kTimeHms, u8"%d时%d分%d秒"},
    {bv::texts::kTimeHm, u8"%d时%d分"},
    {bv::texts::kTimeH, u8"%d时"},
    {bv::tool::kConstants.client_missing, u8"请把程序放入X:\\腾讯游戏\\英雄联盟\\Game 里"},
    {bv::tool::kConstants.versions_differ, u8"必须国服韩服版本一致才能够OB，请等待国服版本的更新"},
};

TEST(GbkTexts, EveryTextIsStoredAsItsGbkEncoding) {
  for (const Case& c : kTexts) {
    std::string expected = ToGbk(c.utf8);
    EXPECT_EQ(std::string(c.stored), expected) << "text: " << reinterpret_cast<const char*>(c.utf8);
  }
}

// The main window's texts, reached through its template.
const bv::UnitTemplate& MainUnit(bv::UnitId id) {
  const bv::WindowTemplate& t = bv::MainWindowTemplate();
  for (int i = 0; i < t.unit_count; ++i)
    if (t.units[i].id == id) return t.units[i];
  return t.units[0];
}
const char* Caption(bv::UnitId id) {
  const bv::UnitTemplate& u = MainUnit(id);
  if (u.type == bv::kUnitLabel) return static_cast<const bv::LabelTypeData*>(u.data)->caption;
  return static_cast<const bv::ButtonTypeData*>(u.data)->caption;
}

TEST(GbkTexts, MainWindowTextsAreStoredAsTheirGbkEncoding) {
  const Case rows[] = {
      {Caption(bv::kLabel5), u8"请将下载的BAT文件拖到这里"},
      {Caption(bv::kLabel6), u8"By：Corvane"},
      {Caption(bv::kButton1), u8"创建桌面快捷方式"},
      {Caption(bv::kLabel1), u8"国服版本："},
      {Caption(bv::kLabel2), u8"韩服版本："},
  };
  for (const Case& c : rows) {
    ASSERT_NE(c.stored, nullptr) << reinterpret_cast<const char*>(c.utf8);
    EXPECT_EQ(std::string(c.stored), ToGbk(c.utf8)) << "text: " << reinterpret_cast<const char*>(c.utf8);
  }
}

TEST(GbkTexts, FullWidthColonIsTwoBytes) {
  // "信息：" is three double-byte characters; a half-width colon would be 5 bytes.
  EXPECT_EQ(std::string(bv::texts::kInfoBoxTitle).size(), 6u);
}

}  // namespace
