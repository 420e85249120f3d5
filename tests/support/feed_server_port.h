#pragma once

#include <fstream>
#include <string>

namespace tidewire::testing_support {

// The test HTTP server writes its port into its state folder (TIDEWIRE_FEED_SERVER_DIR, a Linux
// path that Wine shows on drive Z:). Returns 0 when the server is not running.
inline int FeedServerPort(const std::string& portFile = "port") {
  std::ifstream file(std::string("Z:") + TIDEWIRE_FEED_SERVER_DIR + "/" + portFile);
  int port = 0;
  file >> port;
  return port;
}

// The port of the server's HTTPS listener NAME (its certificate names "localhost").
inline int FeedServerHttpsPort(const std::string& name) {
  return FeedServerPort("https-" + name + "-port");
}

}  // namespace tidewire::testing_support
