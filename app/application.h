// Application-wide names.
#pragma once

// Names the task-bar entry, the main window and titles the error box.
inline constexpr char ApplicationTitle[] = "TAVO Zedazi V1.30";
