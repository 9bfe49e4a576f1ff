// The end-to-end driver: starts the real setup.exe from a medium folder and
// works it from outside through window messages, as a user would.
#ifndef KELVRA_TESTS_E2E_DRIVER_H
#define KELVRA_TESTS_E2E_DRIVER_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Text conversions for expectations written as UTF-8/UTF-16 literals.
std::wstring Widen(const std::string& narrow, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& wide, UINT codePage = CP_ACP);
std::string Utf8(const std::wstring& wide);

// Whether the interface runs in Simplified Chinese (LANG=zh_CN.UTF-8).
bool ChineseInterface();

// The folder of the running test program (where setup.exe is built).
std::string BuildDir();

// A fresh folder under %TEMP% that plays an installation medium.
class Medium {
public:
    explicit Medium(const std::string& name);
    Medium(const Medium&) = delete;
    Medium& operator=(const Medium&) = delete;

    const std::string& Dir() const { return dir_; }    // ends in a backslash
    std::string Path(const std::string& rel) const { return dir_ + rel; }

    // Copies a program of the build tree into the medium (as setup.exe).
    void AddProgram(const std::string& builtName = "setup.exe",
                    const std::string& asName = "setup.exe");
    void Write(const std::string& rel, const std::string& bytes);

private:
    std::string dir_;
};

// Deletes a folder tree; true when it is gone.
bool RemoveTree(const std::string& path);
bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);

// One run of a program, with its windows.
class Process {
public:
    Process() = default;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();     // a program still running is ended

    bool Start(const std::string& exe, const std::string& args = "");
    // A program whose path the ANSI code page need not hold; a program this
    // object started before is ended first.
    bool Start(const std::wstring& exe);
    DWORD Id() const { return pi_.dwProcessId; }
    DWORD ThreadId() const { return pi_.dwThreadId; }

    // Top-level windows of the process, visible or not.
    std::vector<HWND> Windows() const;
    // Waits for a top-level window that matches; nullptr on time-out.
    HWND WaitForWindow(const std::function<bool(HWND)>& match, DWORD timeoutMs = 20000) const;
    // The visible dialog (class #32770) whose text contains nothing in
    // particular: the first visible dialog of the process.
    HWND WaitForDialog(DWORD timeoutMs = 20000) const;
    // A visible dialog that holds control `id`.
    HWND WaitForDialogWith(int id, DWORD timeoutMs = 20000) const;
    // A message box: a visible dialog with the icon static 0x440.
    HWND WaitForMessageBox(DWORD timeoutMs = 20000) const;

    // Exit code, or STILL_ACTIVE when the program did not end in time.
    DWORD WaitExit(DWORD timeoutMs = 20000);
    bool Running() const;
    void Kill();

private:
    PROCESS_INFORMATION pi_{};
};

// Window helpers. Texts are read as wide text, so Chinese comes out right.
std::wstring WindowText(HWND hwnd);
std::wstring ItemText(HWND dlg, int id);
std::wstring ClassName(HWND hwnd);
bool SetItemText(HWND dlg, int id, const std::wstring& text);
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0, DWORD timeoutMs = 5000);
// Commands that start modal or long work are posted, never sent.
void PostCommand(HWND dlg, int id, WORD code = BN_CLICKED);
void PostKey(HWND target, UINT vk);
HWND FocusOf(DWORD threadId);
void Pause(DWORD ms);

// Message-box parts.
std::wstring MessageBoxText(HWND box);

// Waits until `done` holds; false on time-out.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Whether a control of a dialog is enabled (read without a message).
bool ItemEnabled(HWND dlg, int id);

// A shell folder (CSIDL_*) as narrow text; empty when it cannot be had.
std::string SpecialFolder(int csidl);

// Registry of the current user, read and cleaned as the tests need it.
struct RegValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string bytes;      // exactly the stored bytes, terminator included
};
RegValue ReadRegValue(HKEY root, const std::string& key, const std::string& name);
bool RegKeyExists(HKEY root, const std::string& key);
// Deletes a key with everything below it; true when it is gone.
bool DeleteRegTree(HKEY root, const std::string& key);
// Creates the key (and those above it); `value` set when `name` is given.
bool WriteRegString(HKEY root, const std::string& key, const std::string& name, const std::string& value);

// A shell shortcut as IShellLinkA reads it back. `path` is narrow text.
struct Shortcut {
    bool loaded = false;
    std::string target;
    std::string workingDir;
    std::string description;
    std::string iconPath;
    int iconIndex = -1;
};
Shortcut ReadShortcut(const std::string& path);

// Files named by wide text (names that need not fit the ANSI code page).
bool FileExistsW(const std::wstring& path);
std::string ReadFileBytesW(const std::wstring& path);

// Saves what the screen shows of a window as a 24-bit BMP.
bool SaveWindowBitmap(HWND hwnd, const std::string& path);

} // namespace e2e

#endif
