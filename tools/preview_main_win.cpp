// TidewirePreview.exe: the preview tool of the Windows build (see preview_tool.h). File names
// come from the wide command line, output goes out as UTF-8 without carriage returns, and COM
// is initialised for MSXML. Addresses are fetched with WinINet exactly as the download worker
// fetches a feed.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "processing/platform.h"
#include "processing/utf8.h"
#include "retrieval/feed_fetch.h"
#include "retrieval/wininet_client_win.h"
#include "tools/preview_tool.h"
#include "win/com.h"
#include "win/handles.h"

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring WideFromUtf8(const std::string& text) {
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
  }
  return wide;
}

std::string SystemMessage(DWORD code) {
  wchar_t* message = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
  std::u16string text(reinterpret_cast<const char16_t*>(message), length);
  ::LocalFree(message);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u'.')) {
    text.pop_back();
  }
  return text.empty() ? "error " + std::to_string(code) : tidewire::ToUtf8(text);
}

bool ReadSourceFile(const std::string& name, std::string& content, std::string& error) {
  const tidewire::UniqueFile file(::CreateFileW(WideFromUtf8(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    error = SystemMessage(::GetLastError());
    return false;
  }
  char buffer[65536];
  DWORD count = 0;
  for (;;) {
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &count, nullptr)) {
      error = SystemMessage(::GetLastError());
      return false;
    }
    if (count == 0) return true;
    content.append(buffer, count);
  }
}

bool ReadAddress(const std::string& address, std::string& content, std::string& error) {
  tidewire::WinInetClient client;
  const std::wstring wide = WideFromUtf8(address);
  tidewire::FeedFetchResult result = tidewire::FetchFeedDocument(
      client, std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
  if (result.status != tidewire::FeedFetchStatus::Complete) {
    error = tidewire::FeedFetchFailure(result.status);
    return false;
  }
  content = std::move(result.document);
  return true;
}

std::vector<std::string> Utf8Arguments() {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    arguments.push_back(tidewire::ToUtf8(reinterpret_cast<const char16_t*>(wide[i])));
  }
  ::LocalFree(wide);
  return arguments;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  const tidewire::ComInitialization apartment;
  tidewire::PreviewEnvironment environment;
  environment.programName = "TidewirePreview";
  environment.readSource = ReadSourceFile;
  environment.readAddress = ReadAddress;
  environment.decoder = &tidewire::PlatformTextDecoder();
  environment.createDocument = tidewire::CreatePlatformXmlDocument;
  const int result = tidewire::RunPreview(Utf8Arguments(), environment, std::cout, std::cerr);
  std::cout.flush();
  return std::cout.good() ? result : 2;
}
