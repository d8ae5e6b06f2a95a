#pragma once

#include <QIcon>
#include <QPixmap>

// The program's pictures, drawn here so they stay sharp at any scale.
namespace Artwork {

// Program icon (16 and 32 pixel images and larger).
QIcon programIcon();
QPixmap programPixmap(int size);

// File list icons: 1 a text page, 2 a page of ones and zeros, 3 a closed folder.
QPixmap listPixmap(int number, int size);
QIcon listIcon(int number);

// Folder tree images: 1 a folder on a network with a globe (the root), 2 a
// closed folder, 3 an open folder.
QIcon treeIcon(int number);

// Toolbar images 1 to 13 (22 x 20); the hot image is a brighter variant
// shown while the pointer is over the button.
constexpr int ToolbarImageCount = 13;
QPixmap toolbarPixmap(int number, bool hot);
QIcon toolbarIcon(int number);

// The padlock of an encrypted session (size x size).
QPixmap padlockPixmap(int size);

} // namespace Artwork
