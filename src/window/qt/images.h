#pragma once

#include <QIcon>

// The button images and the program's icon, drawn from the SVG files built into the program.
namespace window::images {

QIcon addFolder(); // an open yellow folder with a black plus sign
QIcon refresh(); // a page with two green circular arrows
QIcon deleteCross(); // a red cross, grey and embossed while its button is disabled
QIcon application(); // a filing tray with old papers and a broom, in the sizes desktops show

} // namespace window::images
