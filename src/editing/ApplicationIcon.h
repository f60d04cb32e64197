#pragma once
// The pictures of programs and applications, for the chooser of installed applications and the
// rows of the main list.

#include <QIcon>

#include <string>

namespace lw {

// The icon an application names (InstalledApplication::icon): a name of the icon theme, an
// image file, or a file whose own icon is meant, such as a shortcut or a program. A null icon
// when there is none to be found.
QIcon applicationIcon(const std::string &icon);

// The picture of a program that shows none of its own: the theme's executable, else the style's
// file icon, which every style has.
QIcon neutralIcon();

} // namespace lw
