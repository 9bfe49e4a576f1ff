// Imports GetTickCount64, which Windows XP lacks: the XP import check must
// refuse this program, or it could not refuse setup.exe either.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main() { return static_cast<int>(::GetTickCount64() & 1); }
