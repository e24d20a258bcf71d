// The message box on real Qt widgets, answered as an operator would.
#include "Scratch.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

TEST(MessageBox, ShowsTextCaptionAndExclamationAndReturnsOk) {
    QString text, caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    // The box runs its own loop: look at it from inside that loop, then press OK.
    QTimer::singleShot(100, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        caption = box->windowTitle();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    const int result = plat::MessageBoxA(0, "Windows sockets initialization failed.", "tandemix",
                                         plat::MB_OK | plat::MB_ICONEXCLAMATION);
    EXPECT_EQ(result, plat::IDOK_RESULT);
    EXPECT_EQ(text.toStdString(), "Windows sockets initialization failed.");
    EXPECT_EQ(caption.toStdString(), "tandemix");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
}
