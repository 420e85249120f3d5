#include "tests/processing/xml_test_support.h"

#include <cstdint>
#include <fstream>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include "win/com.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "processing/native_text_decoder.h"

namespace tidewire::testing_support {

#ifdef _WIN32
struct PlatformScope::Resources {
  Resources() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~Resources() { ::WSACleanup(); }
  ComInitialization com;
};
PlatformScope::PlatformScope() : resources_(std::make_unique<Resources>()) {}
PlatformScope::~PlatformScope() = default;
using NativeSocket = SOCKET;
constexpr NativeSocket NoSocket = INVALID_SOCKET;
void CloseSocket(NativeSocket s) { ::closesocket(s); }
#else
struct PlatformScope::Resources {};
PlatformScope::PlatformScope() = default;
PlatformScope::~PlatformScope() = default;
using NativeSocket = int;
constexpr NativeSocket NoSocket = -1;
void CloseSocket(NativeSocket s) { ::close(s); }
#endif

LoopbackListener::LoopbackListener() {
  const NativeSocket s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == NoSocket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(s, 8) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    CloseSocket(s);
    return;
  }
  socket_ = static_cast<std::intptr_t>(s);
  port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
  if (port_ != 0) CloseSocket(static_cast<NativeSocket>(socket_));
}

bool LoopbackListener::ConnectionAttempted() {
  const auto s = static_cast<NativeSocket>(socket_);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval wait{0, 200000};
  return ::select(static_cast<int>(s) + 1, &readable, nullptr, nullptr, &wait) > 0;
}

TemporaryFile::TemporaryFile(const std::string& name, const std::string& content)
    : path_(std::filesystem::temp_directory_path() / name) {
  std::ofstream(path_, std::ios::binary) << content;
}

TemporaryFile::~TemporaryFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::u16string TemporaryFile::Url() const {
  const std::string generic = path_.generic_string();
  std::u16string url = u"file://";
  if (generic.empty() || generic[0] != '/') url += u'/';
  return url + NativeTextDecoder::DecodeUtf8(generic);
}

}  // namespace tidewire::testing_support
