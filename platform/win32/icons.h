// Icons from the bytes of an .ico file, for the Win32 backend's files.
#pragma once

#include <span>

#include "platform/win32/windows_api.h"

namespace plat::win32 {

// The image `pixels` square of the file, as an icon that lives as long as the program;
// null when the file has no such image.
HICON IcoImage(std::span<const unsigned char> ico, int pixels);

}  // namespace plat::win32
