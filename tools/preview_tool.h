#pragma once
// The preview tool: shows what the ticker would show for feed documents, by running them
// through the download worker's document path.
//
//   FILE...            the text of every headline, one per line
//   --json FILE...     every headline as one JSON object per line
//   --clean FILE       the file's whole UTF-8 content after text cleanup
//   --detect FILE      the byte-order mark length and the code page
//
// Where a FILE is an http:// or https:// address, the document is fetched as the download worker
// fetches a feed, when the platform has an HTTP client; --clean takes files only.
// Output is UTF-8. The entry points of each platform supply the environment.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "processing/local_clock.h"
#include "processing/text_decoder.h"
#include "processing/xml_document.h"

namespace tidewire {

struct PreviewEnvironment {
  std::string programName;
  // Reads the whole document named `name` (a file name, in UTF-8) into `content`; on failure
  // returns false and says why in `error`.
  std::function<bool(const std::string& name, std::string& content, std::string& error)> readSource;
  // Fetches the document at `address` (UTF-8) into `content`, or says why not in `error`. Null
  // where the platform has no HTTP client: an address is then a usage error.
  std::function<bool(const std::string& address, std::string& content, std::string& error)>
      readAddress;
  const TextDecoder* decoder = nullptr;
  // Null when no parser can be created.
  std::function<std::unique_ptr<XmlDocument>()> createDocument;
  LocalClock clock = SystemLocalTime;
};

// Runs the tool on `arguments` (UTF-8, without the program name). Returns 0 when every
// document could be read (one without headlines is no error), 2 after a usage error, an
// unreadable document or a missing parser, each reported on `err`.
int RunPreview(const std::vector<std::string>& arguments, const PreviewEnvironment& environment,
               std::ostream& out, std::ostream& err);

}  // namespace tidewire
