// The tool's literals: addresses, file names, markers and messages, laid out
// as one block. The program registers the block as constant at start, so that
// Release() of any literal handed around by the logic does nothing.
#pragma once

namespace bv::tool {

struct ConstantBlock {
  char home_page_url[18];
  char statistics_url[37];
  char client_file[23];
  char korea_marker[19];
  char client_missing[41];
  char batch_right_marker[10];
  char batch_file[8];
  char versions_differ[51];
  char link_name[14];
  char target_name[14];
  char site[10];
  char quote[2];
};

// Array sizes are exact (terminating zero included): a literal that outgrows
// its field fails to compile rather than losing its zero.
inline constexpr ConstantBlock kConstants = {
    "http://lol.qq.com",
    "http://www.op.gg/champion/statistics",
    "/League of Legends.exe",
    "Korea - Version : ",
    "请把程序放入X:\\腾讯游戏\\英雄联盟\\Game 里",
    "goto :eof",
    "/ob.bat",
    "必须国服韩服版本一致才能够OB，请等待国服版本的更新",
    "\\Brisvale.lnk",
    "\\Brisvale.exe",
    "www.op.gg",
    "\"",
};

}  // namespace bv::tool
