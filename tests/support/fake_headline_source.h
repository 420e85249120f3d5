#pragma once
// A headline source for the control's tests: hands out a fixed list cyclically (the connecting
// record while the list is empty) and records what the control asked of it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/headline_source.h"

namespace tidewire {

inline Headline LineWithText(std::u16string_view text) {
  Headline headline;
  headline.link = u"http://example.test/" + std::u16string(text);
  headline.title = std::u16string(text);
  headline.text = std::u16string(text);
  return headline;
}

class FakeHeadlineSource : public HeadlineSource {
 public:
  explicit FakeHeadlineSource(std::vector<Headline> published = {})
      : published_(std::move(published)) {}

  Headline NextHeadline(std::u16string_view connectingMessage) override {
    ++nextHeadlineCalls;
    if (published_.empty()) {
      Headline connecting;
      connecting.text = connectingMessage;
      return connecting;
    }
    Headline result = published_[nextIndex_];
    nextIndex_ = (nextIndex_ + 1) % published_.size();
    return result;
  }
  void SetFeedList(std::u16string_view text) override {
    feedLists.emplace_back(text);
    if (onSetFeedList) onSetFeedList();
  }
  void SetActiveFlags(std::u16string_view text) override { activeFlags.emplace_back(text); }
  void SetRefreshMs(std::uint32_t refreshMs) override { refreshPeriods.push_back(refreshMs); }

  void Publish(std::vector<Headline> published) {
    published_ = std::move(published);
    if (nextIndex_ >= published_.size()) nextIndex_ = 0;
  }

  int nextHeadlineCalls = 0;
  std::vector<std::u16string> feedLists;
  std::vector<std::u16string> activeFlags;
  std::vector<std::uint32_t> refreshPeriods;
  // Runs inside SetFeedList, as a worker's first pass would follow it.
  std::function<void()> onSetFeedList;

 private:
  std::vector<Headline> published_;
  std::size_t nextIndex_ = 0;
};

}  // namespace tidewire
