// render_band_win: draws a few frames of the band through the control itself, as a container
// does (IViewObject::Draw), and writes each as a 32-bit BMP file. The control is created from
// the library file without registration and reads its line from the given feed.
//
//   render_band_win OUTDIR LIBRARY FEED_URL     writes OUTDIR/band-*.bmp (OUTDIR must exist); the
//                                               last one is drawn in a container's context with
//                                               a moved origin and a clip of its own

#include <ocidl.h>
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tidewire_idl.h"
#include "control/band_sizing.h"
#include "win/com.h"
#include "win/dpi.h"
#include "win/handles.h"

#include "dib_picture_win.h"
#include "message_pump_win.h"

namespace {

using tidewire::ComPtr;
using tidewire::UniqueGdiObject;
// What the frame is drawn into.
using Picture = tidewire::testing_support::DibPicture;

using tidewire::testing_support::PumpFor;

// The control, made by the library's class object; null if the library cannot make one.
ComPtr<ITidewireGadget> CreateControl(const std::wstring& library) {
  const HMODULE module = ::LoadLibraryW(library.c_str());
  if (module == nullptr) return nullptr;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto getClassObject = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DllGetClassObject")));
  ComPtr<IClassFactory> factory;
  ComPtr<ITidewireGadget> control;
  if (getClassObject == nullptr ||
      FAILED(getClassObject(CLSID_TidewireGadget, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&control)))) {
    return nullptr;
  }
  return control;
}

void Advance(ITidewireGadget& control, int& offset, int target) {
  for (; offset < target; ++offset) control.IncrementFeed();
}

// Draws the control `width` x `height` at `origin` of a picture of `size`, as a container whose
// context has its origin moved there (a scrolled form) and clips to `clip` (device pixels); the
// rest of the picture shows the container's own grey.
bool DrawFrame(ITidewireGadget& control, int width, int height, const std::string& path,
               SIZE size, POINT origin, const RECT& clip) {
  const Picture picture(size.cx, size.cy);
  const RECT all{0, 0, size.cx, size.cy};
  const UniqueGdiObject<HBRUSH> grey(::CreateSolidBrush(RGB(192, 192, 192)));
  ::FillRect(picture.Dc(), &all, grey.Get());
  ::SetViewportOrgEx(picture.Dc(), origin.x, origin.y, nullptr);
  const UniqueGdiObject<HRGN> region(::CreateRectRgnIndirect(&clip));
  ::SelectClipRgn(picture.Dc(), region.Get());
  ComPtr<IViewObject> view;
  const RECTL bounds{0, 0, width, height};
  if (FAILED(control.QueryInterface(IID_PPV_ARGS(&view))) ||
      FAILED(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, picture.Dc(), &bounds,
                        nullptr, nullptr, 0)) ||
      !picture.WriteBmp(path)) {
    std::fprintf(stderr, "render_band_win: cannot draw %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

bool DrawFrame(ITidewireGadget& control, int width, int height, const std::string& path) {
  const RECT everything{0, 0, width, height};
  return DrawFrame(control, width, height, path, SIZE{width, height}, POINT{0, 0}, everything);
}

std::wstring Wide(const char* text) {
  const std::string narrow(text);
  return std::wstring(narrow.begin(), narrow.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: render_band_win OUTDIR LIBRARY FEED_URL\n");
    return 2;
  }
  const std::string dir = argv[1];
  const tidewire::ComInitialization com;
  const ComPtr<ITidewireGadget> control = CreateControl(Wide(argv[2]));
  if (!control) {
    std::fprintf(stderr, "render_band_win: no control from %s\n", argv[2]);
    return 1;
  }
  // The first pass of the downloads publishes the feed's lines; the first one replaces the
  // connecting text at once. Speed 0 moves the line one pixel per tick.
  const std::wstring feed = Wide(argv[3]);
  const tidewire::UniqueBstr feedList(std::u16string(feed.begin(), feed.end()));
  control->put_FeedURLs(feedList.Get());
  PumpFor(std::chrono::seconds(3));

  // The band as wide and high as 480 x 16 pixels are at 96 DPI, at the screen's DPI (Wine's
  // LogPixels), which a control drawn without a window of its container takes.
  const UINT dpi = tidewire::WindowDpi(nullptr);
  const int bandWidth = tidewire::ScaleForDpi(480, dpi);
  const int bandHeight = tidewire::BandHeightAt(dpi);
  bool written = true;
  int offset = 0;
  for (const int target : {60, 240, 480, 720}) {
    Advance(*control.Get(), offset, target);
    char name[40];
    std::snprintf(name, sizeof(name), "/band-480-offset-%03d.bmp", target);
    written &= DrawFrame(*control.Get(), bandWidth, bandHeight, dir + name);
  }
  // A control narrower than the 80 pixels a frame is composed at, and one taller than the band.
  written &= DrawFrame(*control.Get(), 60, 16, dir + "/band-60-narrow.bmp");
  written &= DrawFrame(*control.Get(), 480, 24, dir + "/band-480x24-tall.bmp");
  // In a container whose context has its origin moved and a clip of its own that cuts the band's
  // right end: the band stands at the origin, and only the clipped part shows.
  written &= DrawFrame(*control.Get(), 480, 16, dir + "/band-in-container.bmp", SIZE{520, 40},
                       POINT{20, 12}, RECT{0, 0, 380, 40});
  return written ? 0 : 1;
}
