#pragma once

#include <QIcon>

// The button images, drawn from the SVG files built into the program.
namespace window::images {

QIcon addFolder(); // an open yellow folder with a black plus sign
QIcon refresh(); // a page with two green circular arrows
QIcon deleteCross(); // a red cross, grey and embossed while its button is disabled

} // namespace window::images
