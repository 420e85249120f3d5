#pragma once
// The stored byte layout of the settings record, as kept in the "Settings" registry value and in
// a container's own stream:
//
//   version (4) | count L1 (4) | feed list (L1) | count L2 (4) | active flags (L2) |
//   feed_refresh_rate (4) | delay_between_feeds (4) | speech_speed (4)
//
// Numbers are 32-bit little-endian. A string is its UTF-16LE text followed by a zero code unit,
// and its count includes that terminator; a count of 0 stands for an absent string.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/settings_record.h"

namespace tidewire {

// The seam to a platform stream (an IStream on Windows).
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to `size` bytes at the current position; returns how many were read (fewer at the
  // end or on a failure).
  virtual std::size_t Read(void* buffer, std::size_t size) = 0;
  // Writes `size` bytes; returns 0 on success, else the stream's own nonzero failure code (an
  // HRESULT on Windows), passed through unchanged.
  virtual std::int32_t Write(const void* data, std::size_t size) = 0;
  virtual std::uint64_t Position() = 0;
  virtual void SetPosition(std::uint64_t position) = 0;
};

// The version this system writes; streams of any lower version are read the same way.
inline constexpr std::uint32_t SettingsStreamVersion = 0x0A00;

// The largest string count (bytes, terminator included) a reader accepts.
inline constexpr std::uint32_t SettingsStringLimit = 1048576;

// Writes the record at the stream's position. Every string is written present, so an empty one
// becomes a count of 2 and the terminator alone. Returns 0, or the code of the first write that
// failed (nothing is written after it).
std::int32_t SaveSettingsStream(const SettingsRecord& record, ByteStream& stream);

// The number of bytes SaveSettingsStream writes for the record.
std::uint64_t SettingsStreamSize(const SettingsRecord& record);

// Reads the record from the stream's position, field by field, and stops at the first damaged
// or missing field: a number read before it is kept, but both strings then take their defaults
// (`defaultFeedList` and DefaultActiveFlags), whatever was read for them. A damaged string leaves
// the stream positioned at its count. On success an absent or empty string takes its default.
// Returns whether every field was read.
bool LoadSettingsStream(ByteStream& stream, SettingsRecord& record,
                        std::u16string_view defaultFeedList);

}  // namespace tidewire
