// The runtime's own texts. Sources are UTF-8; the compiler stores every string
// literal as GBK (code page 936), which is what the program shows and compares.
#pragma once

namespace bv::texts {

// Fatal runtime error report.
inline constexpr char kFatalHeading[] = "运行时出错!\r\n\r\n";
inline constexpr char kFatalCodeLabel[] = "错误代码：";
inline constexpr char kFatalMessageLabel[] = "错误信息：";
inline constexpr char kFatalCaption[] = "错误";

// Fatal messages, all reported with error code 0.
inline constexpr char kAllocationFailed[] = "分配 %d 字节内存失败!";
inline constexpr char kTemplateUnreadable[] = "载入窗口模板数据段出错!";
inline constexpr char kStartWindowFailed[] = "载入启动窗口失败";
inline constexpr char kNoWindowForAccess[] = "未载入欲访问窗口组件所在的窗口";
inline constexpr char kWindowNotLoaded[] = "指定窗口尚未载入";
inline constexpr char kNoEventWindow[] = "未找到引发事件的窗口";
inline constexpr char kNoEventUnit[] = "未找到引发事件的窗口组件";
inline constexpr char kInvalidEventUnit[] = "引发事件的窗口组件无效";
inline constexpr char kNoSuchUnit[] = "指定窗口或窗口组件不存在或尚未载入";

// Default title of InfoBox.
inline constexpr char kInfoBoxTitle[] = "信息：";

// Logical values as text.
inline constexpr char kTrue[] = "真";
inline constexpr char kFalse[] = "假";

// Date-time parts.
inline constexpr char kDateFormat[] = "%d年%d月%d日";
inline constexpr char kTimeHms[] = "%d时%d分%d秒";
inline constexpr char kTimeHm[] = "%d时%d分";
inline constexpr char kTimeH[] = "%d时";

}  // namespace bv::texts
