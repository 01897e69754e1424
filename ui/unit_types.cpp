#include "ui/unit_types.h"

#include "ui/unit_model.h"

namespace bv {

namespace {
constexpr std::int32_t kInt = kPropTypeInt;
constexpr std::int32_t kChoice = kPropTypeChoice;
constexpr std::int32_t kColour = kPropTypeColour;
constexpr std::int32_t kLogical = kPropTypeLogical;
constexpr std::int32_t kText = kPropTypeText;
constexpr std::int32_t kPicture = kPropTypeData;
constexpr std::int32_t kFont = kPropTypeFont;
// Numbers the label type reserves without giving them a meaning here.
constexpr std::int32_t kReserved = kPropTypeInt;
}  // namespace

const std::int32_t kWindowPropertyTypes[window_prop::kCount] = {kText};

const std::int32_t kEditBoxPropertyTypes[edit_prop::kCount] = {
    kText,     // content
    kChoice,   // border
    kColour,   // text colour
    kColour,   // background colour
    kFont,     // font
    kLogical,  // hide selection
    kInt,      // maximum length
    kLogical,  // multi-line
    kChoice,   // scroll bars
    kChoice,   // alignment
    kChoice,   // input mode
    kText,     // password character
    kChoice,   // case conversion
    kChoice,   // spin control kind
    kInt,      // spin minimum
    kInt,      // spin maximum
    kInt,      // selection start
    kInt,      // selection length
};

const std::int32_t kLabelPropertyTypes[label_prop::kCount] = {
    kText,      // caption
    kChoice,    // text effect
    kChoice,    // border
    kReserved, kReserved, kReserved, kReserved,
    kFont,      // font
    kColour,    // text colour
    kColour,    // background colour
    kPicture,   // background picture
    kReserved, kReserved, kReserved, kReserved, kReserved,
    kChoice,    // horizontal alignment
    kLogical,   // word wrap
    kChoice,    // vertical alignment
};

const std::int32_t kButtonPropertyTypes[button_prop::kCount] = {
    kPicture,  // picture
    kChoice,   // kind
    kText,     // caption
    kChoice,   // horizontal alignment
    kChoice,   // vertical alignment
    kFont,     // font
};

}  // namespace bv
