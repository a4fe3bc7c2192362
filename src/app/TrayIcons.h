#pragma once

#include "app/TrayAnimation.h"

#include <QIcon>

// The images of the three tray lists, drawn rather than shipped.
QIcon trayIcon(TrayAnimation::List list, int frame);
// The program's own icon (the bound image).
QIcon programIcon();
