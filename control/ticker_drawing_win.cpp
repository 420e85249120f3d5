#include "control/ticker_drawing_win.h"

#include <algorithm>
#include <string>

#include "control/open_link.h"
#include "control/ticker_engine_win.h"
#include "win/com.h"

namespace tidewire {
namespace {

// Bounds are logical units of the target, a clip region is in its device units: a container's
// context may have another mapping mode, a moved origin or a transform.
RECT ToDeviceUnits(HDC target, const RECT& bounds) {
  POINT corners[2] = {{bounds.left, bounds.top}, {bounds.right, bounds.bottom}};
  ::LPtoDP(target, corners, 2);
  return {std::min(corners[0].x, corners[1].x), std::min(corners[0].y, corners[1].y),
          std::max(corners[0].x, corners[1].x), std::max(corners[0].y, corners[1].y)};
}

// The clip region of a context, taken when made and selected back when it goes: none stays
// none, an empty one stays empty.
class ClipRestorer {
 public:
  explicit ClipRestorer(HDC dc) : dc_(dc), saved_(::CreateRectRgn(0, 0, 0, 0)) {
    hadClip_ = saved_ && ::GetClipRgn(dc_, saved_.Get()) == 1;
  }
  ~ClipRestorer() { ::SelectClipRgn(dc_, hadClip_ ? saved_.Get() : nullptr); }
  ClipRestorer(const ClipRestorer&) = delete;
  ClipRestorer& operator=(const ClipRestorer&) = delete;

 private:
  HDC dc_;
  UniqueGdiObject<HRGN> saved_;
  bool hadClip_ = false;
};

}  // namespace

BandPalette ChooseBandPalette(bool highContrast, bool lineOpens) {
  if (!highContrast) return {};
  const COLORREF windowText = ::GetSysColor(COLOR_WINDOWTEXT);
  return {false, ::GetSysColor(COLOR_WINDOW),
          lineOpens ? ::GetSysColor(COLOR_HOTLIGHT) : windowText, windowText};
}

bool SystemHighContrast() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != FALSE &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

HRESULT DrawTicker(TickerEngine& engine, HDC target, const RECT& bounds, UINT dpi) {
  engine.SetDrawingDpi(dpi);
  dpi = engine.DrawingDpi();
  // The text is chosen and copied before the target's state is touched: an allocation that fails
  // here leaves the container's context as it was.
  std::wstring text;
  const BandPalette palette =
      ChooseBandPalette(engine.HighContrast(), IsOpenableLink(engine.State().CurrentHeadline().link));
  if (!engine.State().BetweenLines()) {
    engine.BringConnectingTextUpToDate();
    const std::u16string& current = engine.State().CurrentHeadline().text;
    text.assign(WideChars(current), current.size());
  }

  ::SetTextAlign(target, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  ::SetBkMode(target, TRANSPARENT);

  RECT rect = bounds;
  const int minimumWidth = ScaleForDpi(MinimumCompositionWidth, dpi);
  if (rect.right - rect.left < minimumWidth) rect.right = rect.left + minimumWidth;
  // The clip keeps a widened frame, and its right edge line, inside the control's own bounds,
  // and within whatever the container clips to; it is given back its own clip afterwards.
  const ClipRestorer containerClip(target);
  const RECT deviceBounds = ToDeviceUnits(target, bounds);
  const UniqueGdiObject<HRGN> clip(::CreateRectRgnIndirect(&deviceBounds));
  ::ExtSelectClipRgn(target, clip.Get(), RGN_AND);

  ComposeStrip(engine, target, engine.StripFont(), rect, text, BandHeightAt(dpi), palette);
  DrawEdgeLines(target, rect, ScaleLineWidth(1, dpi), palette.edge);
  return S_OK;
}

namespace {

// The format of the target's pixels, where surfaces made for it may be kept: a raster display's
// context, or a memory context (whose compatible bitmaps take the format of the bitmap selected
// into it). A metafile or a printer has none.
bool KeepableFormat(HDC target, int* bitsPerPixel, int* planes) {
  switch (::GetObjectType(target)) {
    case OBJ_MEMDC: {
      BITMAP selected{};
      if (::GetObjectW(::GetCurrentObject(target, OBJ_BITMAP), sizeof(selected), &selected) == 0) {
        return false;
      }
      *bitsPerPixel = selected.bmBitsPixel;
      *planes = selected.bmPlanes;
      return true;
    }
    case OBJ_DC:
      if (::GetDeviceCaps(target, TECHNOLOGY) != DT_RASDISPLAY) return false;
      *bitsPerPixel = ::GetDeviceCaps(target, BITSPIXEL);
      *planes = ::GetDeviceCaps(target, PLANES);
      return true;
    default: return false;
  }
}

}  // namespace

bool FrameSurfaces::Prepare(HDC target, int width, int height, int bandHeight,
                            const BandPalette& palette, HBITMAP pattern) {
  Key key{width, height, bandHeight, palette, 0, 0};
  const bool keepable = KeepableFormat(target, &key.bitsPerPixel, &key.planes);
  if (keepable && frame_ && key == key_) return true;
  key_ = Key{};
  frame_.Reset();
  background_.Reset();
  frameBitmap_.Reset(::CreateCompatibleBitmap(target, width, height));
  backgroundBitmap_.Reset(::CreateCompatibleBitmap(target, width, height));
  frame_ = CreateStripDC(target);
  background_ = CreateStripDC(target);
  if (!frameBitmap_ || !backgroundBitmap_ || !frame_ || !background_) {
    frame_.Reset();
    return false;
  }
  ::SelectObject(frame_.Get(), frameBitmap_.Get());
  ::SelectObject(background_.Get(), backgroundBitmap_.Get());
  if (palette.pattern) {
    const UniqueCreatedDc source = CreateStripDC(target);
    const ScopedSelectObject patternSelection(source.Get(), pattern);
    ::StretchBlt(background_.Get(), 0, 0, width, bandHeight, source.Get(), 0, 0,
                 PatternSourceWidth, BandHeight, SRCCOPY);
    // Rows below the band stay black.
    if (height > bandHeight) {
      ::PatBlt(background_.Get(), 0, bandHeight, width, height - bandHeight, BLACKNESS);
    }
  } else {
    // The system's colours fill the whole frame, rows below the band included.
    const UniqueGdiObject<HBRUSH> fill(::CreateSolidBrush(palette.background));
    const RECT whole{0, 0, width, height};
    ::FillRect(background_.Get(), &whole, fill.Get());
  }
  if (keepable) key_ = key;
  return true;
}

HDC FrameSurfaces::StartFrame(int width, int height) {
  ::BitBlt(frame_.Get(), 0, 0, width, height, background_.Get(), 0, 0, SRCCOPY);
  return frame_.Get();
}

int FrameSurfaces::TextWidth(HDC dc, HFONT font, unsigned dpi, std::wstring_view text) {
  if (font != measuredFont_ || dpi != measuredDpi_ || text != measuredText_) {
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
    measuredText_.assign(text);
    measuredFont_ = font;
    measuredDpi_ = dpi;
    measuredWidth_ = extent.cx;
  }
  return measuredWidth_;
}

void ComposeStrip(TickerEngine& engine, HDC target, HFONT font, const RECT& rect,
                  std::wstring_view text, int bandHeight, const BandPalette& palette) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  // Surfaces for a target whose format cannot be kept serve this frame only.
  FrameSurfaces once;
  int bits = 0;
  int planes = 0;
  FrameSurfaces& surfaces = KeepableFormat(target, &bits, &planes) ? engine.Surfaces() : once;
  if (!surfaces.Prepare(target, width, height, bandHeight, palette, engine.StripBackground())) {
    return;
  }
  const HDC frame = surfaces.StartFrame(width, height);
  {
    const ScopedSelectObject fontSelection(frame, font);
    ::SetTextColor(frame, palette.text);
    // The offset is the one this frame is drawn with: a line is done only once a frame has been
    // drawn after its text left the band.
    engine.FrameComposed(width, surfaces.TextWidth(frame, font, engine.DrawingDpi(), text));
    ::TextOutW(frame, width - engine.State().ScrollOffset(), 0, text.data(),
               static_cast<int>(text.size()));
  }
  ::BitBlt(target, rect.left, rect.top, width, height, frame, 0, 0, SRCCOPY);
}

void DrawEdgeLines(HDC target, const RECT& rect, int width, COLORREF colour) {
  if (width > 1) {
    // Wider than a cosmetic pen draws: the same columns and rows as the lines below, filled.
    const UniqueGdiObject<HBRUSH> fill(::CreateSolidBrush(colour));
    const RECT left{rect.left, rect.top, rect.left + width, rect.bottom};
    const RECT right{rect.right - width, rect.top + 1, rect.right, rect.bottom + 1};
    ::FillRect(target, &left, fill.Get());
    ::FillRect(target, &right, fill.Get());
    return;
  }
  const LOGBRUSH brush{BS_SOLID, colour, 0};
  const UniqueGdiObject<HPEN> pen(::ExtCreatePen(PS_COSMETIC | PS_SOLID, 1, &brush, 0, nullptr));
  const ScopedSelectObject penSelection(target, pen.Get());
  // LineTo leaves out its end point.
  ::MoveToEx(target, rect.left, rect.top, nullptr);
  ::LineTo(target, rect.left, rect.bottom);
  ::MoveToEx(target, rect.right - 1, rect.bottom, nullptr);
  ::LineTo(target, rect.right - 1, rect.top);
}

UniqueCreatedDc CreateStripDC(HDC reference) {
  UniqueCreatedDc dc(::CreateCompatibleDC(reference));
  ::SetTextAlign(dc.Get(), TA_LEFT | TA_TOP | TA_NOUPDATECP);
  ::SetBkMode(dc.Get(), TRANSPARENT);
  ::SetTextColor(dc.Get(), StripTextColour);
  ::SetBkColor(dc.Get(), RGB(0, 0, 0));
  return dc;
}

}  // namespace tidewire
