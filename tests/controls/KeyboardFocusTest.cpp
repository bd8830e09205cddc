#include "controls/KeyboardFocus.h"
#include "ControlsTestSupport.h"
#include "support/TestEnvironment.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace tanvill;

// A pop-up or a window over the window takes the focus its own way (a click, its own
// setFocus, its activation); closed by a key, it hands the focus back to the button, which
// wears the ring again when the keyboard gave it the focus.
TEST(KeyboardFocus, TheRingComesBackWhenAPopUpOrWindowClosedByKeyHandsTheFocusBack)
{
    for (const bool popup : { true, false }) {
        for (const Qt::FocusReason given : { Qt::TabFocusReason, Qt::MouseFocusReason }) {
            SCOPED_TRACE(testing::Message() << "pop-up " << popup << ", reason " << given);
            QWidget window;
            auto *button = new QPushButton(QStringLiteral("Notes"), &window);
            button->setGeometry(10, 10, 100, 30);
            ASSERT_TRUE(test::activate(&window));
            button->clearFocus(); // taken at the activation
            button->setFocus(given);
            ASSERT_EQ(focusRingTarget() == button, given == Qt::TabFocusReason);

            QPointer<QWidget> over = new QWidget(nullptr, popup ? Qt::Popup : Qt::Window);
            over->setAttribute(Qt::WA_DeleteOnClose);
            auto *text = new QPlainTextEdit(over);
            over->resize(200, 100);
            over->show();
            ASSERT_TRUE(popup || test::activate(over));
            text->setFocus();
            ASSERT_TRUE(test::waitFor([&] { return text->hasFocus(); }));
            if (popup)
                QTest::keyClick(text, Qt::Key_Escape);
            else
                over->close(); // as Ctrl+W closes a window
            // The offscreen platform leaves no window active after a pop-up; a desktop's does.
            ASSERT_TRUE(test::waitFor([&] { return !over; }));
            ASSERT_TRUE(test::activate(&window));
            ASSERT_TRUE(button->hasFocus());
            EXPECT_EQ(focusRingTarget() == button, given == Qt::TabFocusReason);
        }
    }
}
