#include "window/form_scripts.h"
#include "window/win32/win32_driver.h"

#include <gtest/gtest.h>

// The window's behaviour, each script played through the Win32 controls.
TEST(Win32Window, PlaysTheFormScripts)
{
    win32_testing::Driver driver;
    form_scripts::playAll(driver);
}
