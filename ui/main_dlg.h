// The main wizard dialog: introduction, install folder, install button.
#ifndef KELVRA_UI_MAIN_DLG_H
#define KELVRA_UI_MAIN_DLG_H

#include <windows.h>

#include <string>

#include "base/handles_win32.h"
#include "base/module_win32.h"
#include "install/install_procedure.h"
#include "res/resource.h"
#include "ui/dialog.h"

class CMainDlg : public CDialogBase, public CMessageFilter, public CIdleHandler, private InstallDialog {
public:
    enum { IDD = IDD_MAIN };

    CMainDlg() : CDialogBase(IDD) {}

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override;

    const std::string& Name() const { return name_; }
    const std::string& Title() const { return title_; }

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    LRESULT OnInitDialog();
    LRESULT OnCancel();
    LRESULT OnBrowse();
    LRESULT OnInstall();

    void SetIcons();
    void RegisterWithLoop();
    void ReadSetupDescription();
    void FillTexts();
    void ProposeInstallFolder();

    // What the install procedure sees of the dialog.
    void SetProgress(int position) override;
    void EnableControls(bool enable) override;
    void ShowWaitCursor() override;
    void RestoreCursor() override;
    void ShowError(unsigned textId, const std::string* path) override;

    std::string name_;
    std::string title_;
    HWND progress_ = nullptr;
    HCURSOR previousCursor_ = nullptr;
    IconHandle bigIcon_;
    IconHandle smallIcon_;
};

#endif
