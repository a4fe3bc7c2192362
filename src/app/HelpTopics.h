#pragma once

#include <QString>

// The help pages installed with the program, by context number.
namespace help {

constexpr int Introduction = 1015;
constexpr int FileMenu = 1004, TreeMenu = 1047, RecorderMenu = 1037, PostProcessingMenu = 1036;
constexpr int OptionsMenu = 1033, HelpMenu = 1007;

// The page's file name; the index for a number without a page.
QString pageOf(int context);
// The folder of the pages: share/velmora/help beside the program when
// installed, else the source tree's.
QString folder();
// The page's path; the index when the page is missing.
QString pathOf(int context);
// Opens it in the desktop's browser; false when that failed.
bool show(int context);

} // namespace help
