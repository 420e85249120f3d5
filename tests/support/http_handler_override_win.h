#pragma once
// The http scheme's handler in the test prefix, replaced for a while by the recorder that stands
// in for the web browser (tests/support/url_recorder_win.cpp, TIDEWIRE_URL_RECORDER): what the
// shell is asked to open is appended as one line to a file.

#include <windows.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "win/handles.h"

namespace tidewire::testing_support {

class HttpHandlerOverride {
 public:
  explicit HttpHandlerOverride(const std::wstring& output) {
    const std::wstring command = L"\"Z:" TIDEWIRE_URL_RECORDER L"\" \"" + output + L"\" \"%1\"";
    ::RegCreateKeyW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", key_.Put());
    DWORD size = sizeof(previous_);
    hadPrevious_ = ::RegQueryValueExW(key_.Get(), nullptr, nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(previous_), &size) == ERROR_SUCCESS;
    Set(command.c_str());
  }
  ~HttpHandlerOverride() {
    if (hadPrevious_) Set(previous_);
  }
  HttpHandlerOverride(const HttpHandlerOverride&) = delete;
  HttpHandlerOverride& operator=(const HttpHandlerOverride&) = delete;

 private:
  void Set(const wchar_t* command) {
    ::RegSetValueExW(key_.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                     static_cast<DWORD>((std::wcslen(command) + 1) * sizeof(wchar_t)));
  }
  UniqueRegKey key_;
  wchar_t previous_[1024] = {};
  bool hadPrevious_ = false;
};

// A file in the temporary folder for the recorder to write, removed when made and when it goes.
class OpenedLinks {
 public:
  explicit OpenedLinks(const wchar_t* name) {
    wchar_t directory[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, directory);
    path_ = std::filesystem::path(directory) / name;
    std::filesystem::remove(path_);
  }
  ~OpenedLinks() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  OpenedLinks(const OpenedLinks&) = delete;
  OpenedLinks& operator=(const OpenedLinks&) = delete;

  std::wstring Path() const { return path_.wstring(); }
  // What the recorder has written so far, one opened address per line.
  std::string Lines() const {
    std::ifstream file(path_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace tidewire::testing_support
