// Filling a dialog's texts from the string table.
#ifndef KELVRA_UI_DIALOG_TEXTS_H
#define KELVRA_UI_DIALOG_TEXTS_H

#include <windows.h>

#include <cstddef>
#include <string>

struct DialogText {
    UINT text;
    int control;
};

// Loads each text in turn into one working text, puts `name` in for every
// "%s" and sets it into its control; then the caption gets the last working
// text. An id without a text passes on the previous step's text, and a
// control that the template lacks is skipped.
void FillDialogTexts(HWND dlg, const DialogText* texts, std::size_t count, const std::string& name);

template <std::size_t N>
void FillDialogTexts(HWND dlg, const DialogText (&texts)[N], const std::string& name)
{
    FillDialogTexts(dlg, texts, N, name);
}

#endif
