#include "ui/dialog.h"

#include "base/module_win32.h"

CDialogBase::~CDialogBase()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

HWND CDialogBase::Create(HWND parent, LPARAM initParam)
{
    CreateParams params{this, initParam};
    return ::CreateDialogParamA(g_Module.GetResourceInstance(), MAKEINTRESOURCEA(templateId_),
                                parent, DialogProc, reinterpret_cast<LPARAM>(&params));
}

INT_PTR CDialogBase::DoModal(HWND parent, LPARAM initParam)
{
    CreateParams params{this, initParam};
    return ::DialogBoxParamA(g_Module.GetResourceInstance(), MAKEINTRESOURCEA(templateId_),
                             parent, DialogProc, reinterpret_cast<LPARAM>(&params));
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CDialogBase* self;
    if (msg == WM_INITDIALOG) {
        const CreateParams* params = reinterpret_cast<const CreateParams*>(lParam);
        self = params->self;
        lParam = params->initParam;
        self->m_hWnd = hwnd;
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
        if (!self) return FALSE;
    }

    LRESULT result = 0;
    const BOOL handled = self->ProcessWindowMessage(hwnd, msg, wParam, lParam, result);

    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hwnd);
        return handled;
    }
    if (!handled) return FALSE;
    if (msg == WM_INITDIALOG) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}
