#include "tools/preview_tool.h"

#include <optional>
#include <ostream>
#include <string_view>

#include "processing/document_path.h"
#include "processing/encoding.h"
#include "processing/native_text_decoder.h"
#include "processing/text_cleanup.h"
#include "processing/utf8.h"
#include "tools/headline_json.h"

namespace tidewire {
namespace {

constexpr int Success = 0;
constexpr int Failure = 2;

void PrintUsage(std::ostream& stream, const std::string& program) {
  stream << "usage: " << program << " FILE...          print the text of every headline\n"
         << "       " << program << " --json FILE...   print every headline as a JSON line\n"
         << "       " << program << " --clean FILE     print the file's text after cleanup\n"
         << "       " << program << " --detect FILE    print the byte-order mark length and "
         << "the code page\n"
         << "A FILE may be an http:// or https:// address where the tool can fetch it (not for "
         << "--clean).\n";
}

int UsageError(const PreviewEnvironment& environment, std::ostream& err,
               const std::string& message) {
  err << environment.programName << ": " << message << "\n";
  PrintUsage(err, environment.programName);
  return Failure;
}

bool HasPrefixIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsAddress(std::string_view name) {
  return HasPrefixIgnoringCase(name, "http://") || HasPrefixIgnoringCase(name, "https://");
}

// A usage error for the first address among `names` that this platform cannot fetch.
std::optional<std::string> UnfetchableAddress(const std::vector<std::string>& names,
                                              const PreviewEnvironment& environment) {
  if (environment.readAddress) return std::nullopt;
  for (const std::string& name : names) {
    if (IsAddress(name)) {
      return "cannot fetch " + name + ": addresses are fetched by TidewirePreview.exe only";
    }
  }
  return std::nullopt;
}

bool ReadOrReport(const PreviewEnvironment& environment, const std::string& name,
                  std::string& content, std::ostream& err) {
  std::string error;
  const bool read = IsAddress(name) ? environment.readAddress(name, content, error)
                                    : environment.readSource(name, content, error);
  if (read) return true;
  err << environment.programName << ": cannot read " << name << ": " << error << "\n";
  return false;
}

int PrintHeadlines(const std::vector<std::string>& names, bool json,
                   const PreviewEnvironment& environment, std::ostream& out, std::ostream& err) {
  std::unique_ptr<XmlDocument> document =
      environment.createDocument ? environment.createDocument() : nullptr;
  if (!document) {
    err << environment.programName << ": the XML parser cannot be created\n";
    return Failure;
  }
  DocumentPath path(*environment.decoder, std::move(document), environment.clock);
  int result = Success;
  for (const std::string& name : names) {
    std::string content;
    if (!ReadOrReport(environment, name, content, err)) {
      result = Failure;
      continue;
    }
    std::vector<Headline> headlines;
    path.Read(content, headlines);
    for (const Headline& headline : headlines) {
      out << (json ? HeadlineJson(headline) : ToUtf8(headline.text)) << '\n';
    }
  }
  return result;
}

int PrintCleanText(const std::string& name, const PreviewEnvironment& environment,
                   std::ostream& out, std::ostream& err) {
  std::string content;
  if (!ReadOrReport(environment, name, content, err)) return Failure;
  std::string_view bytes = content;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::u16string text = NativeTextDecoder::DecodeUtf8(bytes);
  CleanText(text);
  out << ToUtf8(text) << '\n';
  return Success;
}

int PrintDetection(const std::string& name, const PreviewEnvironment& environment,
                   std::ostream& out, std::ostream& err) {
  std::string content;
  if (!ReadOrReport(environment, name, content, err)) return Failure;
  out << ByteOrderMarkLength(content) << ' ' << DetectCodePage(content) << '\n';
  return Success;
}

}  // namespace

int RunPreview(const std::vector<std::string>& arguments, const PreviewEnvironment& environment,
               std::ostream& out, std::ostream& err) {
  if (arguments.empty()) return UsageError(environment, err, "no file given");
  const std::string& first = arguments.front();
  if (first == "--help") {
    PrintUsage(out, environment.programName);
    return Success;
  }
  if (first.empty() || first[0] != '-') {
    if (auto message = UnfetchableAddress(arguments, environment)) {
      return UsageError(environment, err, *message);
    }
    return PrintHeadlines(arguments, /*json=*/false, environment, out, err);
  }
  const std::vector<std::string> names(arguments.begin() + 1, arguments.end());
  if (first == "--json") {
    if (names.empty()) return UsageError(environment, err, "--json needs at least one file");
    if (auto message = UnfetchableAddress(names, environment)) {
      return UsageError(environment, err, *message);
    }
    return PrintHeadlines(names, /*json=*/true, environment, out, err);
  }
  if (first == "--clean" || first == "--detect") {
    if (names.size() != 1) return UsageError(environment, err, first + " needs exactly one file");
    if (first == "--clean" && IsAddress(names[0])) {
      return UsageError(environment, err, "--clean takes files only");
    }
    if (auto message = UnfetchableAddress(names, environment)) {
      return UsageError(environment, err, *message);
    }
    return first == "--clean" ? PrintCleanText(names[0], environment, out, err)
                              : PrintDetection(names[0], environment, out, err);
  }
  return UsageError(environment, err, "unknown option " + first);
}

}  // namespace tidewire
