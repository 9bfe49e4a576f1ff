#include "media/extract_win32.h"

#include <commctrl.h>

#include <vector>

#include "base/handles_win32.h"
#include "base/strings_win32.h"
#include "media/split.h"

namespace {

void MakeParentFolders(const std::string& path, const LeadBytes& lb)
{
    for (const std::string& folder : ParentFolders(path, lb))
        CreateDirectoryA(folder.c_str(), nullptr);
}

class HandleSource : public ByteSource {
public:
    explicit HandleSource(HANDLE file) : file_(file) {}
    std::size_t Read(unsigned char* dst, std::size_t n) override
    {
        DWORD got = 0;
        if (!ReadFile(file_, dst, static_cast<DWORD>(n), &got, nullptr)) return 0;
        return got;
    }

private:
    HANDLE file_;
};

class Win32Target : public ExtractTarget {
public:
    Win32Target(HWND progress, const LeadBytes& lb) : progress_(progress), lb_(lb) {}

    void SetProgress(int position) override
    {
        SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    void CreateFolders(const std::string& targetPath) override { MakeParentFolders(targetPath, lb_); }
    bool CreateTargetFile(const std::string& targetPath) override
    {
        file_.reset(CreateFileA(targetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(file_);
    }
    bool WriteTarget(const unsigned char* data, std::size_t n) override
    {
        DWORD written = 0;
        return WriteFile(file_.get(), data, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }
    bool CloseTargetFile() override { return file_.reset(); }

private:
    HWND progress_;
    const LeadBytes& lb_;
    FileHandle file_;
};

} // namespace

ExtractResult ExtractPackage(HANDLE package, std::int32_t packageSize,
                             const std::string& installFolder, HWND progress)
{
    const LeadBytes lb = AnsiLeadBytes();
    HandleSource source(package);
    Win32Target target(progress, lb);
    return RunExtraction(source, packageSize, installFolder, lb, target);
}
