#pragma once

// Identifiers of the window's dialogs, pictures, controls and commands.

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_QUORVEL_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;  // the application icon

inline constexpr int IDC_OPEN_PHOTO = 1000;
inline constexpr int IDC_SAVE_PHOTO = 1001;
inline constexpr int IDC_EXIT = 1002;

// Commands of the window menu (the context menu of the frameless window).
inline constexpr int IDM_ABOUTBOX = 0x0010;
inline constexpr int SC_MINIMIZE = 0xF020;
inline constexpr int SC_CLOSE = 0xF060;

// The text of the About entry.
inline constexpr const char* kAboutMenuText = "关于 Quorvel(&A)...";
