// Texts of the dialogs and menus.
#pragma once

// String 101: the About entry at the end of the main window's menu.
inline constexpr char kAboutMenuText[] = "Quilletについて(&A)...";

// The question asked before an existing file is replaced, and its caption.
inline constexpr char kOverwriteQuestionText[] =
    "This file already exists. Do you want to overwrite it?";
inline constexpr char kConfirmCaption[] = "Confirm";
