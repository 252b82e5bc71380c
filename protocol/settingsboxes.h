#pragma once

#include <array>
#include <string_view>

namespace quillon {

// The 27 settings boxes of the window, in wire order (the order of the setup record).
enum class Box : int {
    serialno,
    macadr1,
    macadr2,
    macadr3,
    macadr4,
    macadr5,
    macadr6,
    ipadr1,
    ipadr2,
    ipadr3,
    ipadr4,
    subnetmask1,
    subnetmask2,
    subnetmask3,
    subnetmask4,
    defgateway1,
    defgateway2,
    defgateway3,
    defgateway4,
    primdns1,
    primdns2,
    primdns3,
    primdns4,
    secdns1,
    secdns2,
    secdns3,
    secdns4,
};

inline constexpr int kBoxCount = 27;

// Wire-ordered texts of all 27 boxes.
template <typename Text> using BoxTexts = std::array<Text, kBoxCount>;

constexpr int BoxIndex(Box box)
{
    return static_cast<int>(box);
}
constexpr Box BoxAt(int index)
{
    return static_cast<Box>(index);
}

// What the operator calls the box ("IP Address octet 1"): a refused Write Setup names it, and a
// screen reader reads it.
std::string_view BoxOperatorName(Box box);

inline bool IsMacBox(Box box)
{
    return box >= Box::macadr1 && box <= Box::macadr6;
}
inline bool IsOctetBox(Box box)
{
    return box >= Box::ipadr1;
}

} // namespace quillon
