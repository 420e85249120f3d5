// tidewire-preview: the preview tool of the native build (see preview_tool.h).

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "processing/platform.h"
#include "tools/preview_tool.h"

namespace {

bool ReadFile(const std::string& name, std::string& content, std::string& error) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, count);
  const bool failed = std::ferror(file) != 0;
  const int readError = errno;
  std::fclose(file);
  if (failed) error = std::strerror(readError);
  return !failed;
}

}  // namespace

int main(int argc, char** argv) {
  tidewire::PreviewEnvironment environment;
  environment.programName = "tidewire-preview";
  environment.readSource = ReadFile;
  environment.decoder = &tidewire::PlatformTextDecoder();
  environment.createDocument = tidewire::CreatePlatformXmlDocument;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const int result = tidewire::RunPreview(arguments, environment, std::cout, std::cerr);
  std::cout.flush();
  return std::cout.good() ? result : 2;
}
