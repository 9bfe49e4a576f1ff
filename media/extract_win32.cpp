#include "media/extract_win32.h"

#include "media/split.h"

std::size_t HandleSource::Read(unsigned char* dst, std::size_t n)
{
    DWORD got = 0;
    if (!::ReadFile(file_, dst, static_cast<DWORD>(n), &got, nullptr)) return 0;
    return got;
}

void DiskTarget::CreateFolders(const std::string& targetPath)
{
    for (const std::string& folder : ParentFolders(targetPath, lb_)) ::CreateDirectoryA(folder.c_str(), nullptr);
}

bool DiskTarget::CreateTargetFile(const std::string& targetPath)
{
    file_.reset(::CreateFileA(targetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr));
    return static_cast<bool>(file_);
}

bool DiskTarget::WriteTarget(const unsigned char* data, std::size_t n)
{
    DWORD written = 0;
    return ::WriteFile(file_.get(), data, static_cast<DWORD>(n), &written, nullptr) && written == n;
}

bool DiskTarget::CloseTargetFile()
{
    return file_.reset();
}

ExtractResult ExtractPackage(HANDLE package, std::int32_t packageSize, const std::string& installFolder,
                             const LeadBytes& lb, ExtractProgress& progress)
{
    HandleSource source(package);
    DiskTarget target(lb);
    return RunExtraction(source, packageSize, installFolder, lb, target, &progress);
}
