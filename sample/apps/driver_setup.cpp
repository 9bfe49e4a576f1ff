// Stand-in for the Corvane USB interface driver installer that a real medium
// carries as "Corvane Driver\setup.exe": it only says what it is.
#include <windows.h>

namespace {

bool Chinese() { return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE; }

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const wchar_t* caption = Chinese() ? L"Corvane 驱动程序安装" : L"Corvane Driver Setup";
    const wchar_t* text =
        Chinese() ? L"这是 Corvane USB 接口驱动程序安装程序的替身.\r\n示例产品不安装任何驱动程序."
                  : L"This stands in for the Corvane USB interface driver installer.\r\n"
                    L"The sample product installs no driver.";
    ::MessageBoxW(nullptr, text, caption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
