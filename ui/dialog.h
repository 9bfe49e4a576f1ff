// A small dialog framework: the object is bound to its window at
// WM_INITDIALOG and unbound at WM_NCDESTROY, the last message.
#ifndef KELVRA_UI_DIALOG_H
#define KELVRA_UI_DIALOG_H

#include <windows.h>

class CDialogBase {
public:
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;
    virtual ~CDialogBase();

    // Modeless; answers the window or none.
    HWND Create(HWND parent, LPARAM initParam = 0);
    // Modal; answers the EndDialog result, or -1 when it cannot run.
    INT_PTR DoModal(HWND parent, LPARAM initParam = 0);

    HWND m_hWnd = nullptr;

protected:
    explicit CDialogBase(UINT templateId) : templateId_(templateId) {}

    // The message map: answers TRUE when the message was handled, with its
    // result in `result`.
    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                      LRESULT& result) = 0;
    // Called after the window's last message.
    virtual void OnFinalMessage(HWND /*hwnd*/) {}

    BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    struct CreateParams {
        CDialogBase* self;
        LPARAM initParam;
    };

    UINT templateId_;
};

// Command ids and notification codes of a WM_COMMAND.
inline WORD CommandId(WPARAM wParam) { return LOWORD(wParam); }
inline WORD CommandCode(WPARAM wParam) { return HIWORD(wParam); }

#endif
