#pragma once
// What the XML document tests need around them: a COM apartment on Windows (MSXML), a loopback
// listener that notices connection attempts, and a temporary file.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace tidewire::testing_support {

// Initialises COM for the current thread on Windows; nothing elsewhere.
class PlatformScope {
 public:
  PlatformScope();
  ~PlatformScope();
  PlatformScope(const PlatformScope&) = delete;
  PlatformScope& operator=(const PlatformScope&) = delete;

 private:
  struct Resources;
  std::unique_ptr<Resources> resources_;
};

// A TCP listener on 127.0.0.1 with a port of the system's choosing.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  bool listening() const { return port_ != 0; }
  int port() const { return port_; }
  // True if a connection attempt is waiting to be accepted.
  bool ConnectionAttempted();

 private:
  std::intptr_t socket_ = -1;
  int port_ = 0;
};

// A file in the temporary directory, removed again at the end.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& name, const std::string& content);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // The file as a file: URL.
  std::u16string Url() const;

 private:
  std::filesystem::path path_;
};

}  // namespace tidewire::testing_support
