// package_probe: what the package tests and the installer pictures need to see of Windows
// programs from outside.
//
//   package_probe start PROGRAM    starts PROGRAM (a Windows path) and waits until its band
//                                  shows; prints "pid N" and leaves it running
//   package_probe find PROGRAM     the running TidewireApp started from PROGRAM, once its band
//                                  shows: prints "pid N"; exit code 1 when there is none
//   package_probe close PROGRAM    asks that program to close (WM_CLOSE to its window) and waits
//                                  for its end; prints "exit N"
//   package_probe pages TITLE FOLDER [tick:TEXT | untick:TEXT ...]
//                                  a wizard clicked through: waits for the window titled TITLE,
//                                  writes every page it shows to FOLDER\page-NN.bmp, sets the
//                                  boxes named by their text as asked, and presses its default
//                                  button (Next, Install, Finish) until the window goes
//
// The band shows when its pixels hold the orange of the band's text and change as it scrolls.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host_process_win.h"
#include "tests/support/window_search_win.h"
#include "win/handles.h"

namespace {

using namespace std::chrono_literals;
using tidewire::UniqueKernelHandle;
using tidewire::testing_support::CaptureScreen;
using tidewire::testing_support::FindProcessWindow;
using tidewire::testing_support::ScreenPixels;

constexpr auto WindowLimit = 60s;
constexpr auto BandLimit = 20s;
constexpr auto PageLimit = 60s;
constexpr int DefaultButton = 1;  // IDOK: a wizard's Next, Install or Finish
constexpr int MaxPages = 12;

std::wstring Wide(const char* text) {
  std::wstring wide(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0)),
                    L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
  wide.resize(wide.size() - 1);
  return wide;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring ImageOf(DWORD process) {
  const UniqueKernelHandle handle(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
  if (!handle) return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = static_cast<DWORD>(std::size(path));
  if (!::QueryFullProcessImageNameW(handle.Get(), 0, path, &size)) return {};
  return path;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

// The main window of a TidewireApp: a visible, unowned dialog window of a process whose image is
// `program` (and whose identifier is `process`, unless that is 0).
struct MainWindowSearch {
  HWND window = nullptr;
  DWORD found = 0;
};

MainWindowSearch FindMainWindow(const std::wstring& program, DWORD process,
                                std::chrono::milliseconds limit) {
  const auto isMain = [&](HWND window) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    return ::GetWindow(window, GW_OWNER) == nullptr && std::wstring(className) == L"#32770" &&
           SameText(ImageOf(owner), program);
  };
  MainWindowSearch search;
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    search.window = FindProcessWindow(process, isMain);
    if (search.window != nullptr) break;
    std::this_thread::sleep_for(100ms);
  } while (std::chrono::steady_clock::now() < end);
  if (search.window != nullptr) ::GetWindowThreadProcessId(search.window, &search.found);
  return search;
}

bool HoldsTextOrange(const ScreenPixels& shot) {
  int count = 0;
  for (const std::uint32_t pixel : shot.pixels) {
    const unsigned red = (pixel >> 16) & 0xFF;
    const unsigned green = (pixel >> 8) & 0xFF;
    const unsigned blue = pixel & 0xFF;
    if (red >= 0xC0 && green >= 0x50 && green <= 0xB0 && blue <= 0x40) ++count;
  }
  return count >= 3;
}

// Whether the band, within the limit, shows the text's orange and moves.
bool BandShows(HWND window) {
  const ScreenPixels first = CaptureScreen(WindowRect(window));
  bool orange = HoldsTextOrange(first);
  bool moved = false;
  const auto end = std::chrono::steady_clock::now() + BandLimit;
  while (!(orange && moved) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(100ms);
    const ScreenPixels now = CaptureScreen(WindowRect(window));
    orange = orange || HoldsTextOrange(now);
    moved = moved || !(now == first);
  }
  if (!orange || !moved) {
    std::fprintf(stderr, "package_probe: the band %s\n",
                 !orange ? "shows no text" : "does not move");
  }
  return orange && moved;
}

// The band of the program from `program` (and of `process`, unless that is 0): prints its pid.
int ShowsBand(const std::wstring& program, DWORD process, std::chrono::milliseconds limit) {
  const MainWindowSearch search = FindMainWindow(program, process, limit);
  if (search.window == nullptr) {
    std::fprintf(stderr, "package_probe: no window of a program from that path\n");
    return 1;
  }
  if (!BandShows(search.window)) return 1;
  std::printf("pid %lu\n", search.found);
  return 0;
}

int Start(const std::wstring& program) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring commandLine = L"\"" + program + L"\"";
  // The program's own folder as its working folder, as the Start menu starts it.
  const std::wstring folder = program.substr(0, program.find_last_of(L'\\'));
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
    std::fprintf(stderr, "package_probe: cannot start the program (error %lu)\n",
                 ::GetLastError());
    return 1;
  }
  const UniqueKernelHandle process(info.hProcess);
  ::CloseHandle(info.hThread);
  return ShowsBand(program, info.dwProcessId, WindowLimit);
}

int Find(const std::wstring& program) { return ShowsBand(program, 0, 10s); }

int Close(const std::wstring& program) {
  const MainWindowSearch search = FindMainWindow(program, 0, 10s);
  if (search.window == nullptr) {
    std::fprintf(stderr, "package_probe: no running program from that path\n");
    return 1;
  }
  const UniqueKernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                 FALSE, search.found));
  ::PostMessageW(search.window, WM_CLOSE, 0, 0);
  DWORD code = 0;
  if (!process || ::WaitForSingleObject(process.Get(), 30000) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.Get(), &code)) {
    std::fprintf(stderr, "package_probe: the program did not end\n");
    return 1;
  }
  std::printf("exit %lu\n", code);
  return 0;
}

// The wizard's pictures.

// A box to tick or untick, by its text.
struct BoxSetting {
  std::wstring text;
  bool ticked;
};

BOOL CALLBACK SetBoxes(HWND child, LPARAM data) {
  const auto* settings = reinterpret_cast<const std::vector<BoxSetting>*>(data);
  wchar_t text[128] = {};
  ::GetWindowTextW(child, text, 128);
  for (const BoxSetting& setting : *settings) {
    if (setting.text == text) {
      ::SendMessageW(child, BM_SETCHECK, setting.ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
  return TRUE;
}

// The window's picture once it has kept still for 300 ms (a blinking caret allows no more) with
// its default button enabled (a page that is still working keeps it disabled), and differs from
// `previous`.
std::optional<ScreenPixels> SettledPage(HWND window, const ScreenPixels& previous) {
  const auto end = std::chrono::steady_clock::now() + PageLimit;
  ScreenPixels last;
  int still = 0;
  while (::IsWindow(window) && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(100ms);
    const ScreenPixels now = CaptureScreen(WindowRect(window));
    const HWND button = ::GetDlgItem(window, DefaultButton);
    const bool ready = button != nullptr && ::IsWindowEnabled(button) && !(now == previous);
    still = ready && now == last ? still + 1 : 0;
    last = now;
    if (still >= 3) return last;
  }
  return std::nullopt;
}

int Pages(const std::wstring& title, const std::wstring& folder,
          const std::vector<BoxSetting>& boxes) {
  const auto titled = [&](HWND candidate) {
    wchar_t text[128] = {};
    ::GetWindowTextW(candidate, text, 128);
    return title == text;
  };
  HWND window = nullptr;
  const auto end = std::chrono::steady_clock::now() + WindowLimit;
  while (window == nullptr && std::chrono::steady_clock::now() < end) {
    window = FindProcessWindow(0, titled);
    if (window == nullptr) std::this_thread::sleep_for(100ms);
  }
  if (window == nullptr) {
    std::fprintf(stderr, "package_probe: no window titled so\n");
    return 1;
  }
  ScreenPixels previous;
  int page = 0;
  for (; page < MaxPages && ::IsWindow(window); ++page) {
    const std::optional<ScreenPixels> shot = SettledPage(window, previous);
    if (!shot) break;
    wchar_t name[32];
    std::swprintf(name, 32, L"\\page-%02d.bmp", page);
    if (!shot->WriteBmp(folder + name)) return 1;
    ::EnumChildWindows(window, &SetBoxes, reinterpret_cast<LPARAM>(&boxes));
    // The page as the boxes left it, which the next page must differ from.
    std::this_thread::sleep_for(100ms);
    previous = CaptureScreen(WindowRect(window));
    // As the button tells its window when it is clicked.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(DefaultButton, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, DefaultButton)));
  }
  // The last button press closes the window.
  for (int wait = 0; wait < 100 && ::IsWindow(window); ++wait) std::this_thread::sleep_for(100ms);
  std::printf("pages %d\n", page);
  return page > 0 && !::IsWindow(window) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 3 && command == "start") return Start(Wide(argv[2]));
  if (argc == 3 && command == "find") return Find(Wide(argv[2]));
  if (argc == 3 && command == "close") return Close(Wide(argv[2]));
  if (argc >= 4 && command == "pages") {
    std::vector<BoxSetting> boxes;
    for (int at = 4; at < argc; ++at) {
      const std::string setting = argv[at];
      if (setting.starts_with("tick:")) boxes.push_back({Wide(argv[at] + 5), true});
      if (setting.starts_with("untick:")) boxes.push_back({Wide(argv[at] + 7), false});
    }
    return Pages(Wide(argv[2]), Wide(argv[3]), boxes);
  }
  std::fprintf(stderr,
               "usage: package_probe start|find|close PROGRAM\n"
               "       package_probe pages TITLE FOLDER [tick:TEXT | untick:TEXT ...]\n");
  return 2;
}
