// What the Qt backend's files share: the widget behind a handle, and icons from .ico bytes.
#pragma once

#include "platform/linux/ui_thread.h"
#include "platform/window.h"

#include <QIcon>
#include <QWidget>

#include <cstddef>

namespace plat::detail {

// The live widget of a handle, or null. User-interface thread only.
QWidget* FindWidget(WindowHandle window);

// Runs `body` on the user-interface thread with the widget, if the window still exists.
template <typename Body>
bool WithWindow(WindowHandle window, Body body) {
    bool found = false;
    RunOnUiThread([&] {
        if (QWidget* w = FindWidget(window)) {
            found = true;
            body(w);
        }
    });
    return found;
}

// Every image of an .ico file, so that each size is drawn from its own picture.
// User-interface thread only.
QIcon IconFromIco(const unsigned char* data, std::size_t size);

}  // namespace plat::detail
