#ifndef KELVRA_UI_CENTER_WINDOW_H
#define KELVRA_UI_CENTER_WINDOW_H

#include <windows.h>

// Centres a top-level window over its visible owner, or in the work area of
// the primary screen, clamped to the work area. Child windows are left alone.
BOOL CenterWindow(HWND hwnd);

// The placement rule alone: where a window of `size` goes along one axis,
// centred on [refLow, refHigh] and kept inside [areaLow, areaHigh].
int CenteredEdge(int refLow, int refHigh, int size, int areaLow, int areaHigh);

#endif
