#pragma once
// The settings stream over a COM stream: a container's own stream or a registry stream.

#include <objidl.h>

#include "settings/settings_stream.h"

namespace tidewire {

class IStreamByteStream final : public ByteStream {
 public:
  explicit IStreamByteStream(IStream& stream) : stream_(stream) {}

  std::size_t Read(void* buffer, std::size_t size) override {
    ULONG read = 0;
    // A failing read counts by what it delivered.
    stream_.Read(buffer, static_cast<ULONG>(size), &read);
    return read;
  }

  std::int32_t Write(const void* data, std::size_t size) override {
    ULONG written = 0;
    const HRESULT result = stream_.Write(data, static_cast<ULONG>(size), &written);
    if (FAILED(result)) return result;
    return written == size ? S_OK : STG_E_MEDIUMFULL;
  }

  std::uint64_t Position() override {
    ULARGE_INTEGER position{};
    stream_.Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position);
    return position.QuadPart;
  }

  void SetPosition(std::uint64_t position) override {
    LARGE_INTEGER target{};
    target.QuadPart = static_cast<LONGLONG>(position);
    stream_.Seek(target, STREAM_SEEK_SET, nullptr);
  }

 private:
  IStream& stream_;
};

}  // namespace tidewire
