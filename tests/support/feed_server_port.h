#pragma once

#include <fstream>
#include <string>

namespace tidewire::testing_support {

// The test HTTP server writes its port into its state folder (TIDEWIRE_FEED_SERVER_DIR, a Linux
// path that Wine shows on drive Z:). Returns 0 when the server is not running.
inline int FeedServerPort() {
  std::ifstream file(std::string("Z:") + TIDEWIRE_FEED_SERVER_DIR + "/port");
  int port = 0;
  file >> port;
  return port;
}

}  // namespace tidewire::testing_support
