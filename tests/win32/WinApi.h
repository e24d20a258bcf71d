// <windows.h> for the tests, after the project's headers: the framework's member
// functions keep their own names (the headers would rename GetWindowText and others).
#pragma once

#include <windows.h>

#undef GetWindowText
#undef SetWindowText
#undef PostMessage
#undef CreateWindowA
#undef CreateDialogIndirect
