// Configure mode: the help file where WinHelp can show it, else the program's own help window.
// Windows Vista and later have no WinHelp (10 and 11 send the user to a web page instead), and
// no help file comes with the saver: what the user needs to know is held here too.
#include "platform/win32/win32_help.h"

#include <vector>

namespace lumivex {

namespace {

constexpr const char* HelpTitle = "Lumivex GL";
// The first Windows without WinHelp.
constexpr DWORD WindowsVista = 6;

// The folder of a full file name, with its closing backslash; empty when there is none.
std::string FolderOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProgramFolder() {
    std::vector<char> name(MAX_PATH);
    const DWORD length =
        ::GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
    return length == 0 || length >= name.size() ? std::string()
                                                : FolderOf(std::string(name.data(), length));
}

std::string WindowsFolder() {
    char folder[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string text(folder, length);
    if (text.back() != '\\')
        text += '\\';
    return text;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

const char* const OwnHelpText =
    "Lumivex GL draws a kaleidoscope on each monitor: a few lines, curves, spokes that sweep "
    "discs and rings, and triangles wander inside a wedge of the picture and are repeated "
    "around its centre as turned, alternately mirrored copies. The picture is never cleared, "
    "so their trails build it up. Every 5 minutes (with Caps Lock off) a new random picture "
    "begins.\n\n"
    "A key, a click or a movement of the mouse ends the saver. Backspace draws a new random "
    "picture instead.\n\n"
    "With Caps Lock on, the keys change the picture and the changes become the settings:\n"
    "0 to 9 (also on the keypad): the colour, 0 many colours, 1 to 9 shades of one\n"
    "keypad + and -: one element more (up to 5) or fewer\n"
    "T, V, W: translucency, mirrored copies, tiling the whole screen on or off\n"
    "Up and Down: more or fewer copies around the centre\n"
    "Left and Right: slower and faster\n"
    "Delete: a new picture with the same settings\n"
    "Escape: ends the saver\n"
    "The settings are kept when Caps Lock goes off or the saver ends.\n\n"
    "They are kept in the registry, under HKEY_CURRENT_USER\\Software\\Orvantix\\"
    "Lumivex GL\\Version 3.0.\n\n"
    "Password protection: on Windows 95, 98 and ME, with the screen saver password of the "
    "Display settings on, the saver ends only once that password is given (the Change button "
    "there sets it). On later Windows, \"On resume, display logon screen\" locks the computer "
    "when the saver ends.";

bool WinHelpCanShow(const std::string& file, const PlatformVersion& version) {
    if (version.PlatformId == VER_PLATFORM_WIN32_NT && version.Major >= WindowsVista)
        return false;
    return FileExists(ProgramFolder() + file) || FileExists(WindowsFolder() + file);
}

void Win32Platform::ShowHelp(WindowHandle owner, const std::string& file, std::uint32_t command,
                             std::uint32_t context) {
    // A number on the command line that names no window leaves the help to the desktop.
    HWND window = reinterpret_cast<HWND>(owner);
    if (!::IsWindow(window))
        window = ::GetDesktopWindow();
    if (WinHelpCanShow(file, GetVersion())) {
        ::WinHelpA(window, file.c_str(), command, context);
        return;
    }
    // A modal window disables its owner, which must not be the desktop. Started by the display
    // settings, the saver may come forward; Escape, Enter and the close box all close a message
    // box that has only OK.
    ::MessageBoxA(window == ::GetDesktopWindow() ? nullptr : window, OwnHelpText, HelpTitle,
                  MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

} // namespace lumivex
