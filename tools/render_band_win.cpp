// render_band_win: draws a few frames of a demo line through the control's own drawing code
// and writes each as a 32-bit BMP file, for looking at the band without a container.
//
//   render_band_win OUTDIR     writes OUTDIR/band-*.bmp (OUTDIR must exist)

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "control/ticker_drawing_win.h"
#include "control/ticker_engine_win.h"
#include "tests/control/fake_headline_source.h"
#include "win/handles.h"

namespace {

using tidewire::ScopedSelectObject;
using tidewire::TickerEngine;
using tidewire::UniqueCreatedDc;
using tidewire::UniqueGdiObject;

constexpr std::u16string_view DemoLine =
    u"Storm warning lifted for the coast \u00B7 Ferries to the islands run again from Monday. "
    u"Harbour reopens after a week of dredging";

std::unique_ptr<TickerEngine> MakeEngine() {
  return std::make_unique<TickerEngine>([](HWND) {
    return std::make_unique<tidewire::FakeHeadlineSource>(
        std::vector<tidewire::Headline>{tidewire::LineWithText(DemoLine)});
  });
}

void Advance(TickerEngine& engine, int offset) {
  while (engine.State().ScrollOffset() < offset) engine.IncrementFeed();
}

// A 32-bit top-down DIB section in a memory context: what the frame is drawn into.
class Picture {
 public:
  Picture(int width, int height)
      : width_(width), height_(height), bitmap_(MakeBitmap(Header(), &bits_)) {}

  HDC Dc() const { return dc_.Get(); }

  bool Write(const std::string& path) const {
    const BITMAPINFOHEADER header = Header();
    const std::uint32_t pixelBytes = header.biSizeImage;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + pixelBytes;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(static_cast<const char*>(bits_), pixelBytes);
    return static_cast<bool>(out);
  }

 private:
  static HBITMAP MakeBitmap(const BITMAPINFOHEADER& header, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader = header;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  }
  BITMAPINFOHEADER Header() const {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = -height_;  // top row first
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(width_) * height_ * 4;
    return header;
  }

  int width_;
  int height_;
  void* bits_ = nullptr;
  UniqueCreatedDc dc_{::CreateCompatibleDC(nullptr)};
  UniqueGdiObject<HBITMAP> bitmap_;
  ScopedSelectObject selection_{dc_.Get(), bitmap_.Get()};
};

bool DrawFrame(TickerEngine& engine, int width, int height, const std::string& path) {
  const Picture picture(width, height);
  tidewire::DrawTicker(engine, picture.Dc(), {0, 0, width, height});
  if (!picture.Write(path)) {
    std::fprintf(stderr, "render_band_win: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("%s\n", path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_band_win OUTDIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool written = true;

  // One line on a band 480 pixels wide, from its entry to its leaving.
  const auto engine = MakeEngine();
  for (const int offset : {60, 240, 480, 720}) {
    Advance(*engine, offset);
    char name[40];
    std::snprintf(name, sizeof(name), "/band-480-offset-%03d.bmp", offset);
    written &= DrawFrame(*engine, 480, 16, dir + name);
  }
  // A control narrower than the 80 pixels a frame is composed at, and one taller than the band.
  const auto narrow = MakeEngine();
  Advance(*narrow, 50);
  written &= DrawFrame(*narrow, 60, 16, dir + "/band-60-narrow.bmp");
  const auto tall = MakeEngine();
  Advance(*tall, 240);
  written &= DrawFrame(*tall, 480, 24, dir + "/band-480x24-tall.bmp");
  return written ? 0 : 1;
}
