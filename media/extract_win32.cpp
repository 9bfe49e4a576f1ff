#include "media/extract_win32.h"

#include <commctrl.h>

#include <vector>

#include "media/source_dir_win32.h"
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

// The target file of one record, closed at the latest when it goes.
class TargetFile {
public:
    TargetFile() = default;
    TargetFile(const TargetFile&) = delete;
    TargetFile& operator=(const TargetFile&) = delete;
    ~TargetFile() { Close(); }

    bool Create(const std::string& path)
    {
        Close();
        handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    bool Write(const unsigned char* data, std::size_t n)
    {
        DWORD written = 0;
        return WriteFile(handle_, data, static_cast<DWORD>(n), &written, nullptr) && written == n;
    }
    bool Close()
    {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        const bool ok = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32Target : public ExtractTarget {
public:
    Win32Target(HWND progress, const LeadBytes& lb) : progress_(progress), lb_(lb) {}

    void SetProgress(int position) override
    {
        SendMessageA(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    }
    void CreateFolders(const std::string& targetPath) override { MakeParentFolders(targetPath, lb_); }
    bool CreateTargetFile(const std::string& targetPath) override { return file_.Create(targetPath); }
    bool WriteTarget(const unsigned char* data, std::size_t n) override { return file_.Write(data, n); }
    bool CloseTargetFile() override { return file_.Close(); }

private:
    HWND progress_;
    const LeadBytes& lb_;
    TargetFile file_;
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

bool CreateParentFolders(std::string path)
{
    MakeParentFolders(path, AnsiLeadBytes());
    return true;
}
