// The completion dialog: offers the extra installers and ends the program.
#ifndef KELVRA_UI_DONE_DLG_H
#define KELVRA_UI_DONE_DLG_H

#include <windows.h>

#include <string>

#include "res/resource.h"
#include "ui/dialog.h"

class CDoneDlg : public CDialogBase {
public:
    enum { IDD = IDD_DONE };
    // The program's exit code when the user leaves it.
    static constexpr int kExitCode = 1;

    CDoneDlg() : CDialogBase(IDD) {}

    // Ends in a backslash; both installer paths start with it.
    void SetInstallFolder(const std::string& folder) { installFolder_ = folder; }
    void SetName(const std::string& name) { name_ = name; }

protected:
    BOOL ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                              LRESULT& result) override;

private:
    LRESULT OnInitDialog();
    LRESULT OnInstallDrivers();
    LRESULT OnInstallDotNet();
    LRESULT OnExit();

    void StartInstaller(const char* relativePath);

    std::string installFolder_;
    std::string name_;
};

#endif
