// Running mediatool.exe from the Windows tests, with a wide command line as
// Explorer or cmd.exe give it, and collecting what it prints.
#ifndef KELVRA_TESTS_E2E_TOOL_RUN_H
#define KELVRA_TESTS_E2E_TOOL_RUN_H

#include <windows.h>

#include <string>

#include "tests/e2e/driver.h"

namespace e2e {

constexpr DWORD kToolRunTimeoutMs = 60000;

struct ToolRun {
    DWORD status = STILL_ACTIVE;
    std::string out;   // standard output and error together
};

// Starts mediatool.exe with a wide command line, as Explorer or cmd.exe do.
inline ToolRun RunTool(const std::wstring& args)
{
    ToolRun r;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!::CreatePipe(&read, &write, &sa, 0)) return r;
    ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = write;
    si.hStdError = write;
    std::wstring cmd = L"\"" + Widen(BuildDir() + "mediatool.exe") + L"\" " + args;
    PROCESS_INFORMATION pi{};
    const BOOL started =
        ::CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
    ::CloseHandle(write);
    if (started) {
        // Read while the tool runs, until it ends: a Wine service it wakes
        // (WinVerifyTrust does) inherits the pipe and holds it open.
        char buf[4096];
        DWORD got = 0, waited = 0, available = 0;
        for (bool ended = false; !ended;) {
            ended = ::WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0 || (waited += 20) > kToolRunTimeoutMs;
            while (::PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available &&
                   ::ReadFile(read, buf, sizeof buf, &got, nullptr) && got)
                r.out.append(buf, got);
        }
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) ::GetExitCodeProcess(pi.hProcess, &r.status);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    ::CloseHandle(read);
    return r;
}

} // namespace e2e

#endif
