#pragma once
// A program run as a child process to its end, with what it writes to its standard output and
// standard error collected through pipes.

#include <windows.h>

#include <string>
#include <thread>

#include "win/handles.h"

namespace tidewire::testing_support {

struct ChildOutcome {
  bool started = false;
  DWORD exitCode = 0;
  std::string out;
  std::string err;
};

namespace child_process_detail {

inline void Drain(HANDLE pipe, std::string& text) {
  char buffer[4096];
  DWORD count = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    text.append(buffer, count);
  }
}

}  // namespace child_process_detail

// Runs `commandLine` until it ends; `started` tells whether it could be started at all.
inline ChildOutcome RunChild(std::wstring commandLine) {
  ChildOutcome outcome;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  UniqueKernelHandle outRead, outWrite, errRead, errWrite;
  if (!::CreatePipe(outRead.Put(), outWrite.Put(), &inherit, 0) ||
      !::CreatePipe(errRead.Put(), errWrite.Put(), &inherit, 0)) {
    return outcome;
  }
  ::SetHandleInformation(outRead.Get(), HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead.Get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite.Get();
  startup.hStdError = errWrite.Get();
  PROCESS_INFORMATION process{};
  outcome.started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                     nullptr, nullptr, &startup, &process) != FALSE;
  // The child holds the write ends now: the reads below end when it does.
  outWrite.Reset();
  errWrite.Reset();
  if (!outcome.started) return outcome;
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
  std::thread errReader(child_process_detail::Drain, errRead.Get(), std::ref(outcome.err));
  child_process_detail::Drain(outRead.Get(), outcome.out);
  errReader.join();
  ::WaitForSingleObject(processHandle.Get(), INFINITE);
  ::GetExitCodeProcess(processHandle.Get(), &outcome.exitCode);
  return outcome;
}

}  // namespace tidewire::testing_support
