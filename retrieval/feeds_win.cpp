#include "retrieval/feeds_win.h"


#include <string>
#include <utility>

#include "processing/document_path.h"
#include "processing/platform.h"
#include "retrieval/wininet_client_win.h"
#include "win/com.h"

namespace tidewire {
namespace {

class PostMessageNotifier : public HeadlineNotifier {
 public:
  PostMessageNotifier(HWND window, UINT message) : window_(window), message_(message) {}
  // A full queue or a window that has gone loses the message; the next pass posts again.
  void PostNextHeadline() override { ::PostMessageW(window_, message_, 0, 0); }

 private:
  HWND window_;
  UINT message_;
};

class DebugOutputDiagnostics : public DiagnosticSink {
 public:
  void WriteWide(std::u16string_view line) override {
    const std::wstring text(line.begin(), line.end());
    ::OutputDebugStringW(text.c_str());
  }
  void WriteNarrow(std::string_view line) override {
    const std::string text(line);
    ::OutputDebugStringA(text.c_str());
  }
};

// The document steps with MSXML. Made on each thread that reads feeds as it starts, so the parser
// lives in that thread's apartment and goes before the apartment does (member order).
class MsxmlFeedDocumentReader : public FeedDocumentReader {
 public:
  MsxmlFeedDocumentReader() : path_(PlatformTextDecoder(), CreatePlatformXmlDocument()) {}

  void Read(std::string_view document, std::vector<Headline>& passList) override {
    path_.Read(document, passList);
  }

 private:
  ComInitialization apartment_{COINIT_MULTITHREADED};
  DocumentPath path_;
};

}  // namespace

FeedsPlatform CreateFeedsPlatform(HWND notifyWindow, UINT notifyMessage) {
  FeedsPlatform platform;
  platform.http = std::make_unique<WinInetClient>();
  platform.notifier = std::make_unique<PostMessageNotifier>(notifyWindow, notifyMessage);
  platform.diagnostics = std::make_unique<DebugOutputDiagnostics>();
  platform.makeReader = []() -> std::unique_ptr<FeedDocumentReader> {
    return std::make_unique<MsxmlFeedDocumentReader>();
  };
  return platform;
}

std::unique_ptr<Feeds> CreateFeeds(HWND notifyWindow, UINT notifyMessage) {
  return std::make_unique<Feeds>(CreateFeedsPlatform(notifyWindow, notifyMessage));
}

}  // namespace tidewire
