#include "ui/dialog_texts.h"

#include "base/strings_win32.h"

void FillDialogTexts(HWND dlg, const DialogText* texts, std::size_t count, const std::string& name)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        LoadTextWithName(text, texts[i].text, name);
        if (HWND control = ::GetDlgItem(dlg, texts[i].control)) ::SetWindowTextA(control, text.c_str());
    }
    ::SetWindowTextA(dlg, text.c_str());
}
