// What the Win32 backend's window and dialog files share: who receives a window's
// messages, and which windows are dialogs.
#pragma once

#include "platform/window.h"

#include "platform/win32/windows_api.h"

namespace plat::win32 {

MessageReceiver* ReceiverOf(HWND window);

// Dialogs get the dialog manager's keys in the message loop; a modal one has its owner
// disabled while it exists.
void AddDialog(HWND dialog, HWND disabledOwner);
bool IsDialog(HWND window);
// The owner that `dialog` disabled takes input again, once; the dialog stays a dialog.
void GiveOwnerBack(HWND dialog);
// A window that is gone: a later window with the same handle starts with no receiver.
void Forget(HWND window);

// Whether a message belongs to the framework's handlers rather than the window's default
// ones: commands, painting, the icon query and messages of the program's own.
inline bool ForReceiver(UINT message) {
    return message == WM_COMMAND || message == WM_SYSCOMMAND || message == WM_PAINT ||
           message == WM_QUERYDRAGICON || message >= WM_USER;
}

}  // namespace plat::win32
