#pragma once
// The host window's geometry rules: where the pointer grabs the strip, how small it may be
// dragged, which saved rectangles are restored and where the window goes otherwise. Sizes are
// those of a 96-DPI screen, scaled to the window's DPI (`dpi`).

#include <windows.h>

#include <optional>

namespace tidewire {

// The smallest window at 96 DPI: wide enough to grab, as high as the band.
inline constexpr LONG MinimumHostWidth = 50;
inline constexpr LONG MinimumHostHeight = 16;

// The hit-test code for a point in the window's client coordinates (which start at its top-left
// corner, the window having no border): columns 0..3 the left sizing border, the last 3 columns
// the right sizing border, rows 0..5 the caption (the window is dragged there), anything else
// client.
LRESULT HostHitTest(POINT client, LONG windowWidth, UINT dpi = 96);

// The standard cursor shown over a hit-test code: sizing arrows over borders and corners, the
// arrow over the caption, the hand over the client area.
const wchar_t* CursorForHitTest(LRESULT hitTest);

// Adjusts a window rectangle proposed while the user drags `edge` (a WMSZ_ code) so that it
// keeps the minimum width and height, moving only the dragged edges.
void ApplyMinimumSize(WPARAM edge, RECT& rect, UINT dpi = 96);

// Whether a saved rectangle may be considered at all: not left of or above the origin and at
// least the minimum size at the DPI it was saved at.
bool IsRestorablePlacement(const RECT& placement, UINT dpi = 96);

// A rectangle saved at `savedDpi` as it is to be at `dpi`: accepted only when its height is the
// band's height at `savedDpi`; then its width is rescaled, its height made the band's height at
// `dpi` and its top-left corner kept. At equal DPIs an accepted rectangle stays as it is.
std::optional<RECT> RescaledPlacement(const RECT& saved, UINT savedDpi, UINT dpi);

// The rows of a window rectangle by which the user drags it (the caption rows of HostHitTest).
RECT DraggedRows(const RECT& window, UINT dpi = 96);

// Where a saved rectangle is restored in `workArea`, the work area of the monitor its dragged
// rows are nearest to: with its width cut to the work area's width, provided that its height is
// `bandHeight` (the user can change only the width) and its dragged rows then lie inside the
// work area. Nothing when it must be centred instead.
std::optional<RECT> RestoredPlacement(const RECT& saved, LONG bandHeight, const RECT& workArea,
                                      UINT dpi = 96);

// `corner` of a window of `size` pulled back inside `area`: first so that the window does not
// pass its right and bottom edges, then so that it does not pass its left and top edges.
POINT KeepInside(const RECT& area, POINT corner, SIZE size);

// The top-left corner that centres a window of `size` over `over`, without any pulling back.
POINT CentreOver(const RECT& over, SIZE size);

// The top-left corner that centres a window of `size` in `workArea`, kept inside it.
POINT CentredPosition(const RECT& workArea, SIZE size);

}  // namespace tidewire
