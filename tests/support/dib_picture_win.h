#pragma once
// 32-bit top-down DIB pictures: drawn into through a memory context, read back pixel by pixel
// (0x00RRGGBB, top row first) and written as BMP files.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>

#include "win/handles.h"

namespace tidewire::testing_support {

// A 32-bit top-down DIB section of `width` x `height`; its pixels at `*bits`.
inline HBITMAP CreateDib32(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

// Writes `width` x `height` pixels, top row first, as a 32-bit top-down BMP file at `path` (a
// std::string or std::wstring).
template <typename Path>
bool WriteBmp32(const Path& path, int width, int height, const std::uint32_t* pixels) {
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  header.biSizeImage = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&header), sizeof(header));
  out.write(reinterpret_cast<const char*>(pixels), header.biSizeImage);
  return static_cast<bool>(out);
}

// A 32-bit top-down DIB section selected into a memory context.
class DibPicture {
 public:
  DibPicture(int width, int height)
      : width_(width), height_(height), bitmap_(CreateDib32(width, height, &bits_)) {}
  DibPicture(const DibPicture&) = delete;
  DibPicture& operator=(const DibPicture&) = delete;

  HDC Dc() const { return dc_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The pixels; read them after GdiFlush when GDI has drawn.
  std::uint32_t* Pixels() const { return static_cast<std::uint32_t*>(bits_); }
  std::size_t Count() const { return static_cast<std::size_t>(width_) * height_; }
  COLORREF Pixel(int x, int y) const {
    const std::uint32_t value = Pixels()[static_cast<std::size_t>(y) * width_ + x];
    return RGB(value >> 16 & 0xFF, value >> 8 & 0xFF, value & 0xFF);
  }
  void Fill(COLORREF colour) {
    const std::uint32_t value =
        GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
    std::fill_n(Pixels(), Count(), value);
  }
  bool operator==(const DibPicture& other) const {
    return width_ == other.width_ && height_ == other.height_ &&
           std::equal(Pixels(), Pixels() + Count(), other.Pixels());
  }
  template <typename Path>
  bool WriteBmp(const Path& path) const {
    return WriteBmp32(path, width_, height_, Pixels());
  }

 private:
  int width_;
  int height_;
  void* bits_ = nullptr;
  UniqueCreatedDc dc_{::CreateCompatibleDC(nullptr)};
  UniqueGdiObject<HBITMAP> bitmap_;
  ScopedSelectObject selection_{dc_.Get(), bitmap_.Get()};
};

}  // namespace tidewire::testing_support
