#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QtWidgets/qtestsupport_widgets.h>
#include <QGuiApplication>
#include <QRandomGenerator>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "gui/GuiSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TestServer.h"
#include "ui/ProgramEnd.h"
#include "ui/WorkerThread.h"
#include "ui/login/Form1.h"
#include "ui/main/Form2.h"

namespace {

using namespace std::chrono_literals;

// Another client of the X server, in the part a window manager plays when its close box is
// pressed: it sends the window the WM_DELETE_WINDOW client message of the WM_PROTOCOLS protocol.
// Like a window manager it stays connected: the server drops what a client sent but the server
// had not yet read when that client hangs up.
class CloseBox {
public:
    CloseBox() : connection_(xcb_connect(nullptr, nullptr)) {
        protocols_ = atom("WM_PROTOCOLS");
        deleteWindow_ = atom("WM_DELETE_WINDOW");
    }
    ~CloseBox() { xcb_disconnect(connection_); }
    CloseBox(const CloseBox&) = delete;
    CloseBox& operator=(const CloseBox&) = delete;

    bool ready() const {
        return !xcb_connection_has_error(connection_) && protocols_ != XCB_ATOM_NONE &&
               deleteWindow_ != XCB_ATOM_NONE;
    }

    void press(xcb_window_t window) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols_;
        event.data.data32[0] = deleteWindow_;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, false, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

private:
    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t found = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return found;
    }

    xcb_connection_t* connection_;
    xcb_atom_t protocols_ = XCB_ATOM_NONE;
    xcb_atom_t deleteWindow_ = XCB_ATOM_NONE;
};

// The close box of either window, pressed while a job keeps the window waiting, ends the program
// every time: at any moment of the wait, from before the window's thread enters its waiting loop
// to well inside it, and while the window still paints. Each round's job waits for the end for at
// most 20 seconds, so a request that is never acted on fails the round instead of hanging.
TEST(CloseRequestOnDisplay, FromTheWindowSystemEndsTheProgramWhileAJobWaitsEveryTime) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    SettingsSandbox settings;
    ProgramFolderSandbox folder;
    ScriptedDialogs dialogs;
    Form1 login(dialogs, folder.environment());
    Form2& form = login.mainWindow();
    CloseBox closeBox;
    ASSERT_TRUE(closeBox.ready());

    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    // The real ending comes back however the test leaves.
    struct RealEnding {
        ~RealEnding() { SetProgramEnding({}); }
    } realEnding;
    SetProgramEnding([&] {
        std::lock_guard lock(mutex);
        ended = true;
        changed.notify_all();
    });
    struct Case {
        const char* window;
        QWidget* widget;
        std::function<void()> show;
    };
    const Case cases[] = {
        {"the login window", &login, [&] { login.showWindow(); }},
        {"the main window", &form, [&] { form.showWindow(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        for (int round = 0; round < 100; ++round) {
            // The close hid the window; it comes back, as a new start of the program shows it.
            c.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(c.widget)) << "round " << round;
            const auto window = static_cast<xcb_window_t>(c.widget->winId());
            const auto delay =
                std::chrono::microseconds(QRandomGenerator::global()->bounded(20000));
            {
                std::lock_guard lock(mutex);
                ended = false;
            }
            WorkerThread worker;
            const bool endedWhileWaiting = worker.run([&] {
                std::this_thread::sleep_for(delay);
                closeBox.press(window);
                std::unique_lock lock(mutex);
                return changed.wait_for(lock, 20s, [&] { return ended; });
            });
            ASSERT_TRUE(endedWhileWaiting)
                << "round " << round << ", pressed after " << delay.count() << " us";
        }
    }
}

}  // namespace
