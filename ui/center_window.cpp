#include "ui/center_window.h"

int CenteredEdge(int refLow, int refHigh, int size, int areaLow, int areaHigh)
{
    int edge = (refLow + refHigh) / 2 - size / 2;
    if (edge < areaLow)
        edge = areaLow;
    else if (edge + size > areaHigh)
        edge = areaHigh - size;
    return edge;
}

BOOL CenterWindow(HWND hwnd)
{
    if (!hwnd || (::GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) return FALSE;

    // A hidden or minimised owner counts as none.
    HWND owner = ::GetWindow(hwnd, GW_OWNER);
    if (owner && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = nullptr;

    RECT area{};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) return FALSE;
    RECT ref = area;
    if (owner) ::GetWindowRect(owner, &ref);

    RECT self{};
    ::GetWindowRect(hwnd, &self);
    const int width = self.right - self.left;
    const int height = self.bottom - self.top;

    const int x = CenteredEdge(ref.left, ref.right, width, area.left, area.right);
    const int y = CenteredEdge(ref.top, ref.bottom, height, area.top, area.bottom);
    return ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
