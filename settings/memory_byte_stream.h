#pragma once
// A ByteStream over bytes held in memory, with the position rules of a seekable stream: reading
// stops at the end, writing overwrites from the position and grows the bytes as needed.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "settings/settings_stream.h"

namespace tidewire {

class MemoryByteStream final : public ByteStream {
 public:
  // What Write reports for a position the host's memory cannot address (the code a storage
  // stream gives when its medium is full).
  static constexpr std::int32_t MediumFull = static_cast<std::int32_t>(0x80030070u);

  MemoryByteStream() = default;
  explicit MemoryByteStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t size) override {
    if (position_ >= bytes_.size()) return 0;
    const auto at = static_cast<std::size_t>(position_);
    const std::size_t count = std::min(size, bytes_.size() - at);
    if (count > 0) std::memcpy(buffer, bytes_.data() + at, count);
    position_ += count;
    return count;
  }

  std::int32_t Write(const void* data, std::size_t size) override {
    if (size == 0) return 0;
    if (position_ > bytes_.max_size() || size > bytes_.max_size() - position_) return MediumFull;
    const auto at = static_cast<std::size_t>(position_);
    if (at + size > bytes_.size()) bytes_.resize(at + size);
    std::memcpy(bytes_.data() + at, data, size);
    position_ += size;
    return 0;
  }

  std::uint64_t Position() override { return position_; }
  void SetPosition(std::uint64_t position) override { position_ = position; }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

}  // namespace tidewire
