// The notification icon is the shell's own; icons are made from .ico bytes.
#include "platform/tray.h"

#include "platform/win32/windows_api.h"
#include "platform/win32/icons.h"
#include <shellapi.h>

#include <cstring>

namespace plat {

// The layer's record is the shell's first form of it, field for field.
static_assert(sizeof(NotifyIconData) == 88 && sizeof(NOTIFYICONDATAA) >= 88);

namespace win32 {

HICON IcoImage(std::span<const unsigned char> ico, int pixels) {
    // The directory: 6 bytes, then 16 per image with its width, size and offset.
    if (ico.size() < 6 || ico[2] != 1 || ico[3] != 0) return nullptr;
    const unsigned count = ico[4] | ico[5] << 8;
    for (unsigned i = 0; i < count && 6 + 16 * (i + 1) <= ico.size(); ++i) {
        const unsigned char* entry = ico.data() + 6 + 16 * i;
        if ((entry[0] ? entry[0] : 256) != pixels) continue;
        DWORD bytes, offset;
        std::memcpy(&bytes, entry + 8, 4);
        std::memcpy(&offset, entry + 12, 4);
        if (offset > ico.size() || bytes > ico.size() - offset) return nullptr;
        return CreateIconFromResourceEx(const_cast<PBYTE>(ico.data() + offset), bytes, TRUE,
                                        0x00030000, pixels, pixels, LR_DEFAULTCOLOR);
    }
    return nullptr;
}

}  // namespace win32

IconHandle CreateIconFromIco(const unsigned char* data, std::size_t size) {
    // The standard icon size, as LoadIcon gives it; the shell scales it for the tray.
    return reinterpret_cast<IconHandle>(
        win32::IcoImage({data, data ? size : 0}, GetSystemMetrics(SM_CXICON)));
}

std::uint32_t RegisterWindowMessageA(const char* name) { return ::RegisterWindowMessageA(name); }

bool ShellNotifyIcon(NotifyAction action, const NotifyIconData* data) {
    NOTIFYICONDATAA record;
    std::memset(&record, 0, sizeof record);
    std::memcpy(&record, data, sizeof *data);
    // The shell reads as much of the record as cbSize says: 88 bytes, the first form.
    const DWORD message = action == NotifyAction::Add      ? NIM_ADD
                          : action == NotifyAction::Modify ? NIM_MODIFY
                                                           : NIM_DELETE;
    return Shell_NotifyIconA(message, &record);
}

}  // namespace plat
