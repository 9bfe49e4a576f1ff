#include "tests/e2e/install_support.h"

#include <shlobj.h>
#include "tests/common/bytes.h"
#include "tests/common/runtime_files.h"

namespace e2e {

const char kRecordKey[] = "Software\\Kelvra";

namespace {

const Texts kChinese = {
    L"错误",
    L"打开安装源文件错误",
    L"建立文件失败",
    L"复制文件失败",
    L"建立快捷方式失败",
    L"%s工业标记刻印系统",
    L"%s安装向导",
    L"*安装Corvane驱动程序\r\n说明:如果您的系统是第一次安装[%s工业标记刻印系统],请安装此驱动程序使%s能正常驱动相应的硬件.\r\n"
    L"注意:此驱动程序仅适用于使用Corvane接口的控制器,如果控制器未使用此接口,则无需安装.",
    L"*安装 .NET2.0框架\r\n说明:安装此软件包使%s中某些依靠.NET2.0框架的模块得以正常工作.是否安装此软件包取决于%s中安装的模块."
    L"大多数情况下,您不必安装此软件包,除非%s中的部分模块无法工作.",
    L"%s安装完成!\r\n您可以根据需要安装以下额外的内容:",
};

const Texts kEnglish = {
    L"Mistakes",
    L"Open source installation errors",
    L"Failure to establish documentation",
    L"Failure copy paper",
    L"Failure to establish shortcuts",
    L"%sIndustrial Markers graphic system",
    L"%sInstall Wizard",
    L"*Installation Corvane driver\r\nNote:If your system is the first installation [%s industrial marking graphic "
    L"systems],please install this driver can make%s normal driving corresponding hardware.\r\nNote:This procedure "
    L"applies only to drive the use of Corvane Interface controller,if the controller did not use this interface,"
    L"without having to install.",
    L"*Installation .NET2.0 framework\r\nNote:install this package so that some rely on%s.NET2.0 framework modules "
    L"to normal work.Whether install this package depends on the%s installed in the module.In most cases,you need "
    L"not install this package unless%s part in the module unable to work.",
    L"%sInstallation is completed!\r\nYou may need to install the following additional elements:",
};

} // namespace

const Texts& ExpectedTexts()
{
    return ChineseInterface() ? kChinese : kEnglish;
}

std::wstring WithName(std::wstring text, const std::wstring& name)
{
    for (std::size_t at = text.find(L"%s"); at != std::wstring::npos; at = text.find(L"%s", at + name.size()))
        text.replace(at, 2, name);
    return text;
}

std::string LittleEndian32(std::uint32_t v)
{
    return testbytes::U32(v);
}

std::string Record(const std::string& nameBytes, const std::string& data)
{
    return testbytes::Record(nameBytes, data);
}

std::string Package(const std::vector<PackedFile>& files)
{
    std::string bytes;
    for (const PackedFile& f : files) bytes += Record(Narrow(f.name), f.data);
    return bytes;
}

std::string Pattern(std::size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + i / 256) & 0xFF);
    return s;
}

std::vector<PackedFile> ProductFiles()
{
    const std::string marker = ReadFileBytes(BuildDir() + "marker_app.exe");
    std::vector<PackedFile> files = {
        {L"Kelvra.exe", Pattern(700, 1)},
        {L"Corvane Driver\\setup.exe", marker},
        {L"dotnetfx\\dotnetfx.exe", marker},
        {L"bin\\empty.dat", std::string()},
        {L"bin\\chunks.bin", Pattern(521, 2)},
    };
    if (ChineseInterface()) {
        files.push_back({L"数据\\配置\\设置.ini", "[Kelvra]\r\nMode=1\r\n"});
        // 乗 is 81 5C in code page 936: its trail byte is a backslash.
        files.push_back({L"乗\\表格.txt", Pattern(260, 3)});
    } else {
        files.push_back({L"Donn\u00e9es\\R\u00e9sum\u00e9\\caf\u00e9.txt", "caf\xe9\r\n"});
        files.push_back({L"\u00dcbersicht\\Stra\u00dfe.txt", Pattern(260, 3)});
    }
    return files;
}

std::vector<SideFile> SideFiles()
{
    return {
        {"Splash.bmp", "BM" + Pattern(300, 4)},
        {"icon.ico", std::string("\0\0\1\0", 4) + Pattern(100, 5)},
        // What mediatool takes for the runtime: 32-bit DLLs of its version.
        {"Microsoft.VC80.CRT.manifest", testbytes::RuntimeManifest()},
        {"msvcp80.dll", testbytes::RuntimeDll()},
        {"msvcr80.dll", testbytes::RuntimeDll(8, 0, 50727, 762) + Pattern(50, 7)},
    };
}

std::wstring TempRootW()
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"kelvra-e2e";
    ::CreateDirectoryW(root.c_str(), nullptr);
    return root + L"\\";
}

int LineCount(const std::wstring& path)
{
    const std::string text = ReadFileBytesW(path);
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

ProgressProbe::ProgressProbe() : file_(Narrow(TempRootW()) + "progress-probe.txt")
{
    ::DeleteFileA(file_.c_str());
    ::SetEnvironmentVariableA("KELVRA_PROGRESS_PROBE", file_.c_str());
}

ProgressProbe::~ProgressProbe()
{
    if (hook_) ::UnhookWindowsHookEx(hook_);
    if (module_) ::FreeLibrary(module_);
    ::SetEnvironmentVariableA("KELVRA_PROGRESS_PROBE", nullptr);
    ::DeleteFileA(file_.c_str());
}

bool ProgressProbe::Attach(DWORD threadId)
{
    module_ = ::LoadLibraryA((BuildDir() + "progress_probe.dll").c_str());
    if (!module_) return false;
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(module_, "ProbeCallWndProc")));
    if (!proc) return false;
    hook_ = ::SetWindowsHookExA(WH_CALLWNDPROC, proc, module_, threadId);
    return hook_ != nullptr;
}

std::string ProgramsShortcut(const std::string& name)
{
    return SpecialFolder(CSIDL_PROGRAMS) + "\\" + name + ".lnk";
}

std::string DesktopShortcut(const std::string& name)
{
    return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + name + ".lnk";
}

bool RemoveTreeW(const std::wstring& path)
{
    const DWORD attrs = ::GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        return ::DeleteFileW(path.c_str()) != 0;
    }
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") RemoveTreeW(path + L"\\" + name);
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    return ::RemoveDirectoryW(path.c_str()) != 0;
}

void CleanInstallation(const std::vector<std::string>& names, const std::vector<std::wstring>& folders)
{
    DeleteRegTree(HKEY_CURRENT_USER, kRecordKey);
    for (const std::string& name : names) {
        ::DeleteFileA(ProgramsShortcut(name).c_str());
        ::DeleteFileA(DesktopShortcut(name).c_str());
    }
    for (const std::wstring& folder : folders) RemoveTreeW(folder);
}

} // namespace e2e
