// Application-wide names.
#pragma once

// Names the task-bar entry, the main window and titles the error box.
inline constexpr char ApplicationTitle[] = "TAVO Zedazi V1.30";

// The desktop entry's id: the menu entry, the window and the icons share it.
inline constexpr char DesktopFileName[] = "org.zedazi.Zedazi";
