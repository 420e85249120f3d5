#pragma once
// Drawing of the ticker band: a dark pattern 16 pixels high, the current line in orange at
// x = width - scrollOffset, and a grey line at each end. Those are the sizes at 96 DPI; a frame
// drawn at another DPI has them scaled (see control/dpi_scaling.h). Every frame is composed off-screen and
// copied to the target in one block; the surfaces it is composed on are kept between frames (see
// FrameSurfaces).

#include <windows.h>

#include <string>
#include <string_view>

#include "control/band_sizing.h"
#include "win/handles.h"

namespace tidewire {

class TickerEngine;

inline constexpr COLORREF StripTextColour = RGB(255, 128, 0);
inline constexpr COLORREF EdgeLineColour = RGB(82, 81, 82);

// The colours of a frame. The band's own (orange on the dark pattern, grey end lines) are
// replaced under high contrast by the system's: the window colour behind, the window text colour
// for the text and the end lines (the link colour for a line that opens), no pattern.
struct BandPalette {
  bool pattern = true;
  COLORREF background = RGB(0, 0, 0);
  COLORREF text = StripTextColour;
  COLORREF edge = EdgeLineColour;
  bool operator==(const BandPalette&) const = default;
};
BandPalette ChooseBandPalette(bool highContrast, bool lineOpens);
// Whether the user has switched high contrast on (SPI_GETHIGHCONTRAST).
bool SystemHighContrast();
// The pattern (BandHeight rows) is stretched across the width, and to the band's height at the
// drawing DPI; rows below it stay black.
inline constexpr int PatternSourceWidth = 3;
// Narrower controls still compose a frame this wide, of which only their own width shows.
inline constexpr int MinimumCompositionWidth = 80;

// What composing a frame keeps from one frame to the next while the frame's size, the band's
// height, the palette and the target's format stay the same: a memory context holding the frame
// bitmap, the background (the stretched pattern, or the high-contrast fill) drawn once into a
// bitmap of its own, and the width of the line's text. A target that is not a raster display (a
// metafile, a printer) gets every frame composed afresh.
class FrameSurfaces {
 public:
  // Makes the surfaces ready for a frame; false when they cannot be kept for this target, or
  // cannot be made.
  bool Prepare(HDC target, int width, int height, int bandHeight, const BandPalette& palette,
               HBITMAP pattern);
  // The frame's context, with the background copied in; valid after a successful Prepare of the
  // same size.
  HDC StartFrame(int width, int height);
  // The width of `text` in the font selected into `dc`, measured again only for another text,
  // font or DPI.
  int TextWidth(HDC dc, HFONT font, unsigned dpi, std::wstring_view text);

 private:
  struct Key {
    int width = 0;
    int height = 0;
    int bandHeight = 0;
    BandPalette palette;
    int bitsPerPixel = 0;
    int planes = 0;
    bool operator==(const Key&) const = default;
  };

  Key key_;
  UniqueGdiObject<HBITMAP> frameBitmap_;
  UniqueGdiObject<HBITMAP> backgroundBitmap_;
  // Declared after their bitmaps: a context goes first and lets go of its bitmap.
  UniqueCreatedDc frame_;
  UniqueCreatedDc background_;
  std::wstring measuredText_;
  HFONT measuredFont_ = nullptr;
  unsigned measuredDpi_ = 0;
  int measuredWidth_ = 0;
};

// Draws the control into `bounds` (logical units of `target`) at `dpi` and nothing outside them
// or the target's own clip region. Leaves the target's text alignment left/top and its
// background mode transparent, and its clip region as it was. Always S_OK: drawing has no
// failure path.
HRESULT DrawTicker(TickerEngine& engine, HDC target, const RECT& bounds, UINT dpi = 96);

// Composes one frame of `rect`'s size with `text` at x = width - scrollOffset and copies it to
// `rect` of the target, the pattern `bandHeight` rows high. Reports the frame to the engine,
// which decides from it whether the line has left the band.
void ComposeStrip(TickerEngine& engine, HDC target, HFONT font, const RECT& rect,
                  std::wstring_view text, int bandHeight = BandHeight,
                  const BandPalette& palette = {});

// The two edge lines, straight on the target, `width` columns each: the left one over rows
// top .. bottom - 1 from column left, the right one over rows top + 1 .. bottom up to column
// right - 1.
void DrawEdgeLines(HDC target, const RECT& rect, int width = 1,
                   COLORREF colour = EdgeLineColour);

// A memory context compatible with `reference`, set up for the band's text: left/top alignment
// without position update, transparent background (black), the text colour.
UniqueCreatedDc CreateStripDC(HDC reference);

}  // namespace tidewire
