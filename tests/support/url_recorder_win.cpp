// Stands in for the web browser in tests: registered as the handler of the http scheme, it
// appends what the shell handed it (its arguments after the output file, UTF-8) as one line to
// the output file named by its first argument.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (arguments == nullptr || count < 3) return 2;
  std::wstring line;
  for (int i = 2; i < count; ++i) line += (i == 2 ? L"" : L" ") + std::wstring(arguments[i]);
  line += L'\n';
  std::string utf8(line.size() * 3, '\0');
  utf8.resize(static_cast<std::size_t>(::WideCharToMultiByte(
      CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(),
      static_cast<int>(utf8.size()), nullptr, nullptr)));
  FILE* output = _wfopen(arguments[1], L"ab");
  ::LocalFree(arguments);
  if (output == nullptr) return 3;
  std::fwrite(utf8.data(), 1, utf8.size(), output);
  std::fclose(output);
  return 0;
}
