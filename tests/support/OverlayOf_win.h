#ifndef OVERLAYOF_WIN_H
#define OVERLAYOF_WIN_H

#include <QtGlobal>

#include <windows.h>

// The overlay of the given process: its top-level, topmost, square tool window (176 device pixels a
// side at 100 %), or null.
HWND overlayOf(qint64 processId);

#endif // OVERLAYOF_WIN_H
