#include "settings/settings_stream.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tidewire {
namespace {

constexpr std::size_t NumberBytes = 4;
constexpr std::size_t TerminatorBytes = 2;

// Bytes are assembled explicitly so that the layout does not depend on the host's byte order.
std::array<std::uint8_t, NumberBytes> ToLittleEndian(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::uint32_t FromLittleEndian(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::uint64_t StringFieldSize(std::u16string_view text) {
  return NumberBytes + 2 * static_cast<std::uint64_t>(text.size()) + TerminatorBytes;
}

std::int32_t WriteNumber(ByteStream& stream, std::uint32_t value) {
  const std::array<std::uint8_t, NumberBytes> bytes = ToLittleEndian(value);
  return stream.Write(bytes.data(), bytes.size());
}

// The count, the text and its terminator go out in one write.
std::int32_t WriteString(ByteStream& stream, std::u16string_view text) {
  const std::array<std::uint8_t, NumberBytes> count =
      ToLittleEndian(static_cast<std::uint32_t>(2 * text.size() + TerminatorBytes));
  std::vector<std::uint8_t> bytes(count.begin(), count.end());
  bytes.reserve(static_cast<std::size_t>(StringFieldSize(text)));
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.insert(bytes.end(), TerminatorBytes, 0);
  return stream.Write(bytes.data(), bytes.size());
}

std::optional<std::uint32_t> ReadNumber(ByteStream& stream) {
  std::array<std::uint8_t, NumberBytes> bytes{};
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  return FromLittleEndian(bytes.data());
}

// A count the writer can produce: 0 (absent), or an even number of bytes, which therefore holds
// at least the terminator. An odd count (1 included) can only come from a damaged stream.
bool IsReadableCount(std::uint32_t count) {
  return count % 2 == 0 && count <= SettingsStringLimit;
}

std::optional<std::u16string> ReadStringAt(ByteStream& stream) {
  const std::optional<std::uint32_t> count = ReadNumber(stream);
  if (!count || !IsReadableCount(*count)) return std::nullopt;
  if (*count == 0) return std::u16string();
  std::vector<std::uint8_t> bytes(*count);
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  if (bytes[*count - 2] != 0 || bytes[*count - 1] != 0) return std::nullopt;
  std::u16string text((*count - TerminatorBytes) / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return text;
}

// An absent string reads as empty: both take the default in the end. A damaged one leaves the
// stream where its count began.
std::optional<std::u16string> ReadString(ByteStream& stream) {
  const std::uint64_t start = stream.Position();
  std::optional<std::u16string> text = ReadStringAt(stream);
  if (!text) stream.SetPosition(start);
  return text;
}

// Stores every field as soon as it is read; returns false at the first field that fails.
bool ReadFields(ByteStream& stream, SettingsRecord& record) {
  const std::optional<std::uint32_t> version = ReadNumber(stream);
  if (!version || *version > SettingsStreamVersion) return false;
  for (std::u16string* field : {&record.speech_feed_URLs, &record.speech_feed_URLs_active}) {
    std::optional<std::u16string> text = ReadString(stream);
    if (!text) return false;
    *field = std::move(*text);
  }
  for (std::int32_t* field :
       {&record.feed_refresh_rate, &record.delay_between_feeds, &record.speech_speed}) {
    const std::optional<std::uint32_t> value = ReadNumber(stream);
    if (!value) return false;
    *field = static_cast<std::int32_t>(*value);
  }
  return true;
}

}  // namespace

std::int32_t SaveSettingsStream(const SettingsRecord& record, ByteStream& stream) {
  if (const std::int32_t code = WriteNumber(stream, SettingsStreamVersion)) return code;
  if (const std::int32_t code = WriteString(stream, record.speech_feed_URLs)) return code;
  if (const std::int32_t code = WriteString(stream, record.speech_feed_URLs_active)) return code;
  for (const std::int32_t value :
       {record.feed_refresh_rate, record.delay_between_feeds, record.speech_speed}) {
    if (const std::int32_t code = WriteNumber(stream, static_cast<std::uint32_t>(value))) {
      return code;
    }
  }
  return 0;
}

std::uint64_t SettingsStreamSize(const SettingsRecord& record) {
  return NumberBytes + StringFieldSize(record.speech_feed_URLs) +
         StringFieldSize(record.speech_feed_URLs_active) + 3 * NumberBytes;
}

bool LoadSettingsStream(ByteStream& stream, SettingsRecord& record,
                        std::u16string_view defaultFeedList) {
  const bool loaded = ReadFields(stream, record);
  if (!loaded || record.speech_feed_URLs.empty()) record.speech_feed_URLs = defaultFeedList;
  if (!loaded || record.speech_feed_URLs_active.empty()) {
    record.speech_feed_URLs_active = DefaultActiveFlags;
  }
  return loaded;
}

}  // namespace tidewire
