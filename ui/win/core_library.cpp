#include "ui/win/core_library.h"

#include "runtime/file_commands.h"
#include "runtime/text_commands.h"
#include "ui/window_commands.h"

namespace bv {

namespace {

const CommandInfo kCommands[] = {
    {"ToText", ToText},
    {"ToByteSet", ToByteSet},
    {"TextLength", TextLength},
    {"FindText", FindText},
    {"MidText", MidText},
    {"GetCurrentDir", GetCurrentDir},
    {"FileExists", FileExists},
    {"LoadFile", LoadFile},
    {"SaveFile", SaveFile},
    {"Run", Run},
    {"InfoBox", InfoBox},
    {"GetWindowHandle", GetWindowHandle},
    {"DestroyUnit", DestroyUnit},
};

const LibraryInfo kCore{kCoreLibrary, "core", kCommands,
                        static_cast<std::int32_t>(sizeof kCommands / sizeof kCommands[0]), nullptr};

}  // namespace

const LibraryInfo& CoreLibrary() { return kCore; }

}  // namespace bv
