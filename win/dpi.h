#pragma once
// The DPI of windows and drawing targets. The functions that tell a window's own DPI came with
// later versions of Windows (GetDpiForWindow with Windows 10 1607) and some are missing from
// Wine 8, so they are looked up at run time: the library and the host still load without them.

#include <windows.h>

namespace tidewire {

// The DPI of `window`: what GetDpiForWindow answers (96 for a window that is not DPI aware,
// which the system then scales as a whole), else the screen's LOGPIXELSY.
UINT WindowDpi(HWND window);

// The DPI to draw at on `target` for a control shown in `window`: a target that is not the
// screen (a printer, a metafile) has its own LOGPIXELSY; a screen or a memory context made for
// it takes the window's DPI, or the screen's without a window.
UINT DrawingDpi(HDC target, HWND window);

// GetSystemMetricsForDpi where the system has it, else GetSystemMetrics.
int SystemMetricForDpi(int metric, UINT dpi);

// Leaves the layout of a dialog to the program when its DPI changes (SetDialogDpiChangeBehavior
// with every automatic change disabled), where the system has that function.
void KeepDialogLayoutOnDpiChange(HWND dialog);

}  // namespace tidewire
