#pragma once
// Settings of the file dialogs of Save as and Load Project.

namespace quillet {

inline constexpr const char* SAVE_DIALOG_TITLE = "Save Quillet File as...";
inline constexpr const char* OPEN_DIALOG_TITLE = "Open Quillet File";
inline constexpr const char* SAVE_FILTER =
    "Windows Bitmap (*.bmp)|*.bmp|Quillet File (*.qlf)|*.qlf";
inline constexpr const char* OPEN_FILTER = "Quillet File (*.qlf)|*.qlf";
inline constexpr int SAVE_FILTER_BITMAP = 1;

} // namespace quillet
