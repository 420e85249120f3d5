#include "host/host_geometry_win.h"

#include "control/band_sizing.h"

namespace tidewire {
namespace {

constexpr LONG SizingBorder = 3;
constexpr LONG CaptionRows = 6;

LONG MinimumWidth(UINT dpi) { return ScaleForDpi(MinimumHostWidth, dpi); }
LONG MinimumHeight(UINT dpi) { return ScaleForDpi(MinimumHostHeight, dpi); }
LONG CaptionRowsAt(UINT dpi) { return ScaleForDpi(CaptionRows, dpi); }

void KeepWidthFromRight(RECT& rect, UINT dpi) {
  if (rect.right - rect.left < MinimumWidth(dpi)) rect.left = rect.right - MinimumWidth(dpi);
}
void KeepWidthFromLeft(RECT& rect, UINT dpi) {
  if (rect.right - rect.left < MinimumWidth(dpi)) rect.right = rect.left + MinimumWidth(dpi);
}
void KeepHeightFromBottom(RECT& rect, UINT dpi) {
  if (rect.bottom - rect.top < MinimumHeight(dpi)) rect.top = rect.bottom - MinimumHeight(dpi);
}
void KeepHeightFromTop(RECT& rect, UINT dpi) {
  if (rect.bottom - rect.top < MinimumHeight(dpi)) rect.bottom = rect.top + MinimumHeight(dpi);
}

}  // namespace

LRESULT HostHitTest(POINT client, LONG windowWidth, UINT dpi) {
  const LONG border = ScaleForDpi(SizingBorder, dpi);
  if (client.x <= border) return HTLEFT;
  if (client.x >= windowWidth - border) return HTRIGHT;
  if (client.y < CaptionRowsAt(dpi)) return HTCAPTION;
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

void ApplyMinimumSize(WPARAM edge, RECT& rect, UINT dpi) {
  switch (edge) {
    case WMSZ_LEFT: KeepWidthFromRight(rect, dpi); break;
    case WMSZ_RIGHT: KeepWidthFromLeft(rect, dpi); break;
    case WMSZ_TOP: KeepHeightFromBottom(rect, dpi); break;
    case WMSZ_BOTTOM: KeepHeightFromTop(rect, dpi); break;
    case WMSZ_TOPLEFT:
      KeepWidthFromRight(rect, dpi);
      KeepHeightFromBottom(rect, dpi);
      break;
    case WMSZ_TOPRIGHT:
      KeepWidthFromLeft(rect, dpi);
      KeepHeightFromBottom(rect, dpi);
      break;
    case WMSZ_BOTTOMLEFT:
      KeepHeightFromTop(rect, dpi);
      KeepWidthFromRight(rect, dpi);
      break;
    case WMSZ_BOTTOMRIGHT:
      KeepWidthFromLeft(rect, dpi);
      KeepHeightFromTop(rect, dpi);
      break;
    default: break;
  }
}

bool IsRestorablePlacement(const RECT& placement, UINT dpi) {
  // In 64 bits: the stored values may be anything.
  const auto extent = [](LONG from, LONG to) { return static_cast<long long>(to) - from; };
  return placement.left >= 0 && placement.top >= 0 &&
         extent(placement.left, placement.right) >= MinimumWidth(dpi) &&
         extent(placement.top, placement.bottom) >= MinimumHeight(dpi);
}

std::optional<RECT> RescaledPlacement(const RECT& saved, UINT savedDpi, UINT dpi) {
  if (!IsRestorablePlacement(saved, savedDpi) ||
      saved.bottom - saved.top != BandHeightAt(savedDpi)) {
    return std::nullopt;
  }
  const LONG width = RescaleForDpi(saved.right - saved.left, savedDpi, dpi);
  // In 64 bits: a corner near the end of the range must not wrap round.
  const auto right = static_cast<long long>(saved.left) + width;
  const auto bottom = static_cast<long long>(saved.top) + BandHeightAt(dpi);
  if (right > LONG_MAX || bottom > LONG_MAX) return std::nullopt;
  return RECT{saved.left, saved.top, static_cast<LONG>(right), static_cast<LONG>(bottom)};
}

RECT DraggedRows(const RECT& window, UINT dpi) {
  return {window.left, window.top, window.right, window.top + CaptionRowsAt(dpi)};
}

std::optional<RECT> RestoredPlacement(const RECT& saved, LONG bandHeight, const RECT& workArea,
                                      UINT dpi) {
  if (!IsRestorablePlacement(saved, dpi) || saved.bottom - saved.top != bandHeight) {
    return std::nullopt;
  }
  // The corner first, so that nothing below counts beyond the work area's own numbers.
  if (saved.left < workArea.left || saved.left >= workArea.right || saved.top < workArea.top ||
      saved.top > workArea.bottom - CaptionRowsAt(dpi)) {
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
