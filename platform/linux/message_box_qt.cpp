#include "platform/linux/ui_thread.h"
#include "platform/message_box.h"

#include <QMessageBox>

#include <atomic>

namespace plat {

namespace {
std::atomic<bool> g_socketsFail{false};
}

int MessageBoxA(WindowHandle, const char* text, const char* caption, std::uint32_t type) {
    int result = 0;
    detail::RunOnUiThread([&] {
        QMessageBox box((type & 0xF0) == MB_ICONEXCLAMATION ? QMessageBox::Warning
                                                            : QMessageBox::NoIcon,
                        QString::fromLatin1(caption ? caption : ""),
                        QString::fromLatin1(text ? text : ""), QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        if (box.exec() == QMessageBox::Ok) result = IDOK_RESULT;
    });
    return result;
}

bool SocketsStartup() { return !g_socketsFail.load(); }
void SetSocketsStartupFails(bool fail) { g_socketsFail.store(fail); }

}  // namespace plat
