// Loads arbitrary bytes as a settings stream and checks what any load guarantees, and that the
// writer and the reader agree on every record a load can produce.
//
// Input: the stream's bytes as they are.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "settings/memory_byte_stream.h"
#include "settings/settings_record.h"
#include "settings/settings_stream.h"

namespace {

using tidewire::MemoryByteStream;
using tidewire::SettingsRecord;

constexpr std::u16string_view DefaultList = u"http://a.example/rss URL http://b.example/rss";

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const SettingsRecord Previous{u"previous list", u"0", 111, 222, 3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> input(data, data + size);
  MemoryByteStream stream(input);
  SettingsRecord record = Previous;
  const bool loaded = tidewire::LoadSettingsStream(stream, record, DefaultList);
  Check(!record.speech_feed_URLs.empty() && !record.speech_feed_URLs_active.empty());
  Check(stream.Position() <= size);
  Check(stream.Bytes() == input);
  if (!loaded) {
    Check(record.speech_feed_URLs == DefaultList);
    Check(record.speech_feed_URLs_active == tidewire::DefaultActiveFlags);
    return 0;
  }

  MemoryByteStream saved;
  Check(tidewire::SaveSettingsStream(record, saved) == 0);
  Check(saved.Bytes().size() == tidewire::SettingsStreamSize(record));
  Check(stream.Position() <= saved.Bytes().size());
  // Without a defaulted string, the record takes exactly the bytes it was read from; only the
  // version may differ, as any version up to the current one is read.
  if (stream.Position() == saved.Bytes().size()) {
    Check(std::equal(saved.Bytes().begin() + 4, saved.Bytes().end(), input.begin() + 4));
  }

  MemoryByteStream again(saved.Bytes());
  SettingsRecord reloaded = Previous;
  Check(tidewire::LoadSettingsStream(again, reloaded, DefaultList));
  Check(reloaded == record);
  Check(again.Position() == saved.Bytes().size());
  return 0;
}
