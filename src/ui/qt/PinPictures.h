#pragma once
// The two pictures of the main window's pin, drawn for this program: a pin lying on its side
// (16 x 11, the window closes by itself) and a pin pushed in, seen from above (12 x 12, the window
// stays open).

namespace kestrun::ui::qt {

// clang-format off
inline const char* const kUnpinnedPicture[] = {
    "16 11 4 1",
    "  c None",
    ". c #000000",
    "r c #C00000",
    "+ c #808080",
    "           ..   ",
    "          .rr.  ",
    "    .     .rrr. ",
    "    ..    .rrr. ",
    "    .r.....rrr. ",
    "++++.rrrrrrrrr. ",
    "    .r.....rrr. ",
    "    ..    .rrr. ",
    "    .     .rrr. ",
    "          .rr.  ",
    "           ..   "
};

inline const char* const kPinnedPicture[] = {
    "12 12 6 1",
    "  c None",
    ". c #000000",
    "r c #C00000",
    "w c #FFFFFF",
    "d c #800000",
    "+ c #808080",
    "            ",
    "    ....    ",
    "   .rrrr.   ",
    "  .rwwrrr.  ",
    "  .rwrrrr.  ",
    "  .rrrrrr.  ",
    "  .rrrrrd.  ",
    "   .rrdd.   ",
    "    ....    ",
    "     .+     ",
    "      +     ",
    "            "
};
// clang-format on

}  // namespace kestrun::ui::qt
