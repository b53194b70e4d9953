#ifndef OVERLAYOF_WIN_H
#define OVERLAYOF_WIN_H

#include <QtGlobal>

#include <windows.h>

// The overlay of the given process: its top-level, topmost 176x176 tool window, or null.
HWND overlayOf(qint64 processId);

#endif // OVERLAYOF_WIN_H
