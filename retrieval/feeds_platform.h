#pragma once
// Everything Feeds needs from its surroundings: HTTP, the notification to the control, the
// diagnostic lines and the document reader. Windows builds plug in the system's facilities; tests
// plug in doubles.

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "processing/headline.h"
#include "retrieval/feed_fetch.h"
#include "retrieval/http_client.h"

namespace tidewire {

// Tells the control that headlines were published (the NextHeadlineMessage post). Called from
// any thread of a pass.
class HeadlineNotifier {
 public:
  virtual ~HeadlineNotifier() = default;
  virtual void PostNextHeadline() = 0;
};

// Background failures go to the debugger output only. Some lines are wide, some 8-bit. Called
// from several threads at once.
class DiagnosticSink {
 public:
  virtual ~DiagnosticSink() = default;
  virtual void WriteWide(std::u16string_view line) = 0;
  virtual void WriteNarrow(std::string_view line) = 0;
};

// Turns one downloaded document into headlines appended to the pass list.
class FeedDocumentReader {
 public:
  virtual ~FeedDocumentReader() = default;
  // `document` holds the downloaded bytes; document.data()[document.size()] is a zero byte.
  virtual void Read(std::string_view document, std::vector<Headline>& passList) = 0;
};

struct FeedsPlatform {
  std::unique_ptr<HttpClient> http;
  std::unique_ptr<HeadlineNotifier> notifier;
  std::unique_ptr<DiagnosticSink> diagnostics;
  // Called on every thread that reads feeds (the worker, and each lane of a pass) as it starts:
  // the reader belongs to that thread (a COM parser must live in the apartment of the thread
  // that uses it). Null, or a null result, means that no parser exists and documents yield no
  // headlines.
  std::function<std::unique_ptr<FeedDocumentReader>()> makeReader;
  // The shortest pause between two passes, whatever the reload period says.
  std::chrono::milliseconds minimumPause{1000};
  // How long one feed may take from opening to its last byte before it is given up for the pass.
  std::chrono::milliseconds documentDeadline = FeedDocumentDeadline;
};

}  // namespace tidewire
