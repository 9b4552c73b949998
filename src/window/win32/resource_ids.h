#pragma once

// The program's resources, shared by the resource script and the code that loads them. The
// program's icon has the lowest number, so that Explorer shows it for the file.
#define ABLAGE_ICON_PROGRAM 1
#define ABLAGE_ICON_ADD_FOLDER 101
#define ABLAGE_ICON_REFRESH 102
#define ABLAGE_ICON_DELETE 103
