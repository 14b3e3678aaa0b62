// The Windows types and values that Quindle's portable code uses, mirrored
// here with a _T suffix. The portable code (the toolkit, the components, the
// program's rules) and the headless backend that tests run on must speak the
// platform's language: a message box's flags and results, the messages and
// keys a control handles, a rich edit's messages, the registry's roots, types
// and result codes, the shell's commands. They are built without windows.h,
// so the values live here, once, at the bottom layer, where every library may
// see them. The Windows build checks each against the system headers' own
// (platform/win32/WinConstantsCheck.cpp); a wrong value does not compile.
#pragma once
#include <cstdint>

// ---- types ------------------------------------------------------------------
using WORD_T = unsigned short;  // WORD: a virtual-key code
using HKEY_T = uintptr_t;       // HKEY, as the number of its predefined roots
using HMODULE_T = void*;        // HMODULE

// ---- message boxes (MessageBox flags and results) ----------------------------
constexpr unsigned MB_OK_T = 0x0, MB_OKCANCEL_T = 0x1, MB_YESNO_T = 0x4, MB_ICONERROR_T = 0x10,
                   MB_ICONQUESTION_T = 0x20, MB_ICONWARNING_T = 0x30, MB_ICONINFORMATION_T = 0x40;
constexpr int IDOK_T = 1, IDCANCEL_T = 2, IDYES_T = 6, IDNO_T = 7;

// ---- window messages the components send or handle ---------------------------
constexpr uint32_t WM_NULL_T = 0x0000, WM_DESTROY_T = 0x0002, WM_SETTEXT_T = 0x000C,
                   WM_CLOSE_T = 0x0010, WM_QUERYENDSESSION_T = 0x0011, WM_ENDSESSION_T = 0x0016,
                   WM_NOTIFY_T = 0x004E, WM_KEYDOWN_T = 0x0100, WM_CHAR_T = 0x0102,
                   WM_COMMAND_T = 0x0111, WM_TIMER_T = 0x0113, WM_MOUSEMOVE_T = 0x0200,
                   WM_LBUTTONDOWN_T = 0x0201, WM_LBUTTONUP_T = 0x0202, WM_LBUTTONDBLCLK_T = 0x0203,
                   WM_RBUTTONDOWN_T = 0x0204, WM_RBUTTONUP_T = 0x0205, WM_RBUTTONDBLCLK_T = 0x0206,
                   WM_HOTKEY_T = 0x0312, WM_USER_T = 0x0400;
constexpr uintptr_t MK_LBUTTON_T = 0x0001;  // a mouse message's key state

// ---- window placement (SetWindowPos) -----------------------------------------
// Handles, which the compiler cannot compare with windows.h's at build time:
// the Windows build's stay-on-top passes them to SetWindowPos as they are.
constexpr intptr_t HWND_TOPMOST_T = -1, HWND_NOTOPMOST_T = -2;
constexpr unsigned SWP_NOSIZE_T = 0x1, SWP_NOMOVE_T = 0x2, SWP_NOACTIVATE_T = 0x10;

// ---- virtual-key codes the program uses --------------------------------------
constexpr WORD_T VK_BACK_T = 0x08, VK_TAB_T = 0x09, VK_RETURN_T = 0x0D, VK_ESCAPE_T = 0x1B,
                 VK_PRIOR_T = 0x21, VK_NEXT_T = 0x22, VK_END_T = 0x23, VK_HOME_T = 0x24,
                 VK_LEFT_T = 0x25, VK_UP_T = 0x26, VK_RIGHT_T = 0x27, VK_DOWN_T = 0x28,
                 VK_DELETE_T = 0x2E, VK_F4_T = 0x73;
// Combo box messages the models emulate without a native control.
constexpr uint32_t CB_SHOWDROPDOWN_T = 0x014F, CB_GETDROPPEDSTATE_T = 0x0157;
// Hot-key modifiers (RegisterHotKey).
constexpr unsigned MOD_ALT_T = 1, MOD_CONTROL_T = 2, MOD_SHIFT_T = 4;

// ---- rich edit messages and notifications ------------------------------------
constexpr uint32_t EM_SCROLLCARET_T = 0x00B7, EM_GETLINECOUNT_T = 0x00BA, EM_LINEINDEX_T = 0x00BB,
                   EM_LINELENGTH_T = 0x00C1, EM_GETLINE_T = 0x00C4, EM_GETLIMITTEXT_T = 0x00D5,
                   EM_EXGETSEL_T = 0x0434, EM_EXLIMITTEXT_T = 0x0435, EM_EXSETSEL_T = 0x0437,
                   EM_GETEVENTMASK_T = 0x043B, EM_GETSELTEXT_T = 0x043E, EM_SETEVENTMASK_T = 0x0445,
                   EM_AUTOURLDETECT_T = 0x045B, EN_LINK_T = 0x070B;
constexpr uint32_t ENM_CHANGE_T = 0x00000001, ENM_LINK_T = 0x04000000;

// ---- the shell: notification icons and ShellExecute's show commands --------
constexpr uint32_t NIM_ADD_T = 0, NIM_MODIFY_T = 1, NIM_DELETE_T = 2;
constexpr uint32_t NIF_MESSAGE_T = 1, NIF_ICON_T = 2, NIF_TIP_T = 4;
constexpr int SW_HIDE_T = 0, SW_SHOWNORMAL_T = 1, SW_SHOWMINIMIZED_T = 2, SW_SHOW_T = 5,
              SW_MINIMIZE_T = 6, SW_RESTORE_T = 9;

// ---- the system: platform ids (GetVersionEx) and ExitWindowsEx flags ---------
constexpr int VER_PLATFORM_WIN32s_T = 0, VER_PLATFORM_WIN32_WINDOWS_T = 1,
              VER_PLATFORM_WIN32_NT_T = 2;
constexpr uint32_t EWX_SHUTDOWN_T = 1, EWX_FORCE_T = 4;

// ---- the registry --------------------------------------------------------------
// The predefined roots as plain 32-bit numbers; windows.h's are handles,
// sign-extended on 64-bit targets, which Win32Registry's ToHkey maps them to.
constexpr HKEY_T HKEY_CLASSES_ROOT_T = 0x80000000u;
constexpr HKEY_T HKEY_CURRENT_USER_T = 0x80000001u;
constexpr HKEY_T HKEY_LOCAL_MACHINE_T = 0x80000002u;
constexpr HKEY_T HKEY_USERS_T = 0x80000003u;
constexpr HKEY_T HKEY_DYN_DATA_T = 0x80000006u;
constexpr uint32_t REG_NONE_T = 0, REG_SZ_T = 1, REG_EXPAND_SZ_T = 2, REG_BINARY_T = 3,
                   REG_DWORD_T = 4, REG_MULTI_SZ_T = 7, REG_QWORD_T = 11;
constexpr uint32_t KEY_READ_T = 0x20019, KEY_WRITE_T = 0x20006, KEY_ALL_ACCESS_T = 0xF003F;
constexpr long ERROR_SUCCESS_T = 0, ERROR_FILE_NOT_FOUND_T = 2, ERROR_ACCESS_DENIED_T = 5,
               ERROR_MORE_DATA_T = 234, ERROR_NO_MORE_ITEMS_T = 259;
