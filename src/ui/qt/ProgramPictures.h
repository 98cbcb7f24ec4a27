#pragma once
#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace kestrun::ui::qt {

// The program's pictures: the icon of its windows, the one the program is installed with or, without
// one, drawn here (a package arriving: a white arrow dropping into a tray on a teal tile); and the About
// box's logo (that icon beside the name, on a banner of its own colours, so that it reads the same on
// light and dark desktops).
QIcon ProgramIcon();
// The logo at `size` logical pixels for a screen of `devicePixelRatio`.
QPixmap LogoPicture(QSize size, qreal devicePixelRatio);

}  // namespace kestrun::ui::qt
