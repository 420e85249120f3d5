#include "host/host_geometry_win.h"

namespace tidewire {
namespace {

constexpr LONG SizingBorder = 3;
constexpr LONG CaptionRows = 6;

void KeepWidthFromRight(RECT& rect) {
  if (rect.right - rect.left < MinimumHostWidth) rect.left = rect.right - MinimumHostWidth;
}
void KeepWidthFromLeft(RECT& rect) {
  if (rect.right - rect.left < MinimumHostWidth) rect.right = rect.left + MinimumHostWidth;
}
void KeepHeightFromBottom(RECT& rect) {
  if (rect.bottom - rect.top < MinimumHostHeight) rect.top = rect.bottom - MinimumHostHeight;
}
void KeepHeightFromTop(RECT& rect) {
  if (rect.bottom - rect.top < MinimumHostHeight) rect.bottom = rect.top + MinimumHostHeight;
}

}  // namespace

LRESULT HostHitTest(POINT client, LONG windowWidth) {
  if (client.x <= SizingBorder) return HTLEFT;
  if (client.x >= windowWidth - SizingBorder) return HTRIGHT;
  if (client.y < CaptionRows) return HTCAPTION;
  return HTCLIENT;
}

const wchar_t* CursorForHitTest(LRESULT hitTest) {
  switch (hitTest) {
    case HTCAPTION: return IDC_ARROW;
    case HTLEFT:
    case HTRIGHT: return IDC_SIZEWE;
    case HTTOP:
    case HTBOTTOM: return IDC_SIZENS;
    case HTTOPLEFT:
    case HTBOTTOMRIGHT: return IDC_SIZENWSE;
    case HTTOPRIGHT:
    case HTBOTTOMLEFT: return IDC_SIZENESW;
    default: return IDC_HAND;
  }
}

void ApplyMinimumSize(WPARAM edge, RECT& rect) {
  switch (edge) {
    case WMSZ_LEFT: KeepWidthFromRight(rect); break;
    case WMSZ_RIGHT: KeepWidthFromLeft(rect); break;
    case WMSZ_TOP: KeepHeightFromBottom(rect); break;
    case WMSZ_BOTTOM: KeepHeightFromTop(rect); break;
    case WMSZ_TOPLEFT:
      KeepWidthFromRight(rect);
      KeepHeightFromBottom(rect);
      break;
    case WMSZ_TOPRIGHT:
      KeepWidthFromLeft(rect);
      KeepHeightFromBottom(rect);
      break;
    case WMSZ_BOTTOMLEFT:
      KeepHeightFromTop(rect);
      KeepWidthFromRight(rect);
      break;
    case WMSZ_BOTTOMRIGHT:
      KeepWidthFromLeft(rect);
      KeepHeightFromTop(rect);
      break;
    default: break;
  }
}

bool IsRestorablePlacement(const RECT& placement) {
  // In 64 bits: the stored values may be anything.
  const auto extent = [](LONG from, LONG to) { return static_cast<long long>(to) - from; };
  return placement.left >= 0 && placement.top >= 0 &&
         extent(placement.left, placement.right) >= MinimumHostWidth &&
         extent(placement.top, placement.bottom) >= MinimumHostHeight;
}

RECT DraggedRows(const RECT& window) {
  return {window.left, window.top, window.right, window.top + CaptionRows};
}

std::optional<RECT> RestoredPlacement(const RECT& saved, LONG bandHeight, const RECT& workArea) {
  if (!IsRestorablePlacement(saved) || saved.bottom - saved.top != bandHeight) return std::nullopt;
  // The corner first, so that nothing below counts beyond the work area's own numbers.
  if (saved.left < workArea.left || saved.left >= workArea.right || saved.top < workArea.top ||
      saved.top > workArea.bottom - CaptionRows) {
    return std::nullopt;
  }
  RECT restored = saved;
  const LONG workWidth = workArea.right - workArea.left;
  if (restored.right - restored.left > workWidth) restored.right = restored.left + workWidth;
  if (restored.right > workArea.right) return std::nullopt;
  return restored;
}

POINT KeepInside(const RECT& area, POINT corner, SIZE size) {
  if (corner.x + size.cx > area.right) corner.x = area.right - size.cx;
  if (corner.y + size.cy > area.bottom) corner.y = area.bottom - size.cy;
  if (corner.x < area.left) corner.x = area.left;
  if (corner.y < area.top) corner.y = area.top;
  return corner;
}

POINT CentreOver(const RECT& over, SIZE size) {
  return {(over.left + over.right) / 2 - size.cx / 2, (over.top + over.bottom) / 2 - size.cy / 2};
}

POINT CentredPosition(const RECT& workArea, SIZE size) {
  return KeepInside(workArea, CentreOver(workArea, size), size);
}

}  // namespace tidewire
