// What the install scenarios share: expected texts, hand-made packages,
// media with side files, the progress probe, and cleaning up after a run.
#ifndef KELVRA_TESTS_E2E_INSTALL_SUPPORT_H
#define KELVRA_TESTS_E2E_INSTALL_SUPPORT_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace e2e {

extern const char kRecordKey[];

// Texts typed from the product's text table; "%s" stands for Name.
struct Texts {
    const wchar_t* errorCaption;     // 2000
    const wchar_t* openPackage;      // 2001
    const wchar_t* createFile;       // 2002
    const wchar_t* copyFile;         // 2003
    const wchar_t* shortcut;         // 2004
    const wchar_t* description;      // 1000
    const wchar_t* title;            // 1003
    const wchar_t* driverNote;       // 1004
    const wchar_t* dotnetNote;       // 1005
    const wchar_t* doneMessage;      // 1006
};
const Texts& ExpectedTexts();
std::wstring WithName(std::wstring text, const std::wstring& name);

// Package bytes laid out by hand: a 4-byte little-endian name length, the
// name in the ANSI code page, a 4-byte little-endian data size, the data.
std::string LittleEndian32(std::uint32_t v);
std::string Record(const std::string& nameBytes, const std::string& data);
struct PackedFile {
    std::wstring name;      // below the install folder
    std::string data;
};
std::string Package(const std::vector<PackedFile>& files);
std::string Pattern(std::size_t n, unsigned seed);

// The product's files in this run's language: nested folders, names outside
// ASCII, an empty file, chunk-crossing sizes, and the marker program as both
// extra installers.
std::vector<PackedFile> ProductFiles();

struct SideFile {
    const char* name;
    std::string data;
};
// The five side files with contents of their own.
std::vector<SideFile> SideFiles();

// %TEMP%\kelvra-e2e\ as wide text, created when missing.
std::wstring TempRootW();

// Lines in a text file (0 when it is missing).
int LineCount(const std::wstring& path);

// Hooks the progress bars of one thread of another process: as a bar is
// destroyed, its position and range are appended to a file. Set up before
// the program starts (the file name travels in its environment).
class ProgressProbe {
public:
    ProgressProbe();
    ProgressProbe(const ProgressProbe&) = delete;
    ProgressProbe& operator=(const ProgressProbe&) = delete;
    ~ProgressProbe();

    bool Attach(DWORD threadId);
    // "<position> <low> <high>" per destroyed bar.
    std::string Report() const { return ReadFileBytes(file_); }

private:
    std::string file_;
    HMODULE module_ = nullptr;
    HHOOK hook_ = nullptr;
};

// The shortcut files that an installation of `name` makes.
std::string ProgramsShortcut(const std::string& name);
std::string DesktopShortcut(const std::string& name);

// Removes the record key, the shortcuts of `names` and the `folders`.
void CleanInstallation(const std::vector<std::string>& names, const std::vector<std::wstring>& folders);

// Removes a folder tree named by wide text.
bool RemoveTreeW(const std::wstring& path);

} // namespace e2e

#endif
