// Texts of the dialogs and menus.
#pragma once

// String 101: the About entry at the end of the main window's menu.
inline constexpr char kAboutMenuText[] = "Quilletについて(&A)...";
