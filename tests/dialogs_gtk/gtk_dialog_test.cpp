// The three dialogs shown by the GTK view module through the exports, on a
// private Xvfb display: a visible window titled in the locale's language,
// Escape or a vanished owner ends it as Cancel, a screenshot of each shows it
// drew something, and an application's X11 window given as owner is named in
// the dialog's WM_TRANSIENT_FOR.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <set>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "LumvekSdk.h"
#include "LumvekWindow.h"
#include "support/test_env.h"

namespace {

constexpr guint kPollMs = 20;
constexpr int kGiveUpPolls = 1500;  // 30 s: the dialog never appeared
// Polls after the first draw before the picture is taken: the theme animates
// state changes (insensitive controls fade) for a moment after mapping.
constexpr int kSettlePolls = 25;

constexpr int kFirstDisplay = 300;
constexpr int kDisplays = 600;
constexpr int kStartSeconds = 20;
constexpr int kStartPollMs = 10;

// A private X server for this test process.
class Xvfb {
public:
    Xvfb() {
        // A display number of this process's own: other test processes
        // start servers of their own at the same time.
        const int number = kFirstDisplay + getpid() % kDisplays;
        const std::string display = ":" + std::to_string(number);
        std::filesystem::remove("/tmp/.X11-unix/X" + std::to_string(number));  // a stale one
        pid_ = fork();
        if (pid_ == 0) {
            execl(LUMVEK_XVFB, "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        // Ready once its socket exists; given up when it exits or after the bound.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kStartSeconds);
        while (std::chrono::steady_clock::now() < deadline) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
                display_ = display;
                return;
            }
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kStartPollMs));
        }
    }
    ~Xvfb() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    [[nodiscard]] const std::string& display() const { return display_; }
    // Ends the server at once, as a crash or a lost connection would.
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// What the watcher saw of the dialog window and what it did to it.
struct Watch {
    enum class Action { Escape, DestroyOwner, KillServer } action = Action::Escape;
    Xvfb* server = nullptr;
    HWND owner = nullptr;
    Display* xlib = nullptr;  // when set, the dialog's WM_TRANSIENT_FOR is read through it
    std::string screenshot;  // file to save the window's picture to
    std::string title;
    bool visible = false;
    bool drawn = false;
    int distinctColours = 0;
    bool hasTransientFor = false;
    unsigned long transientFor = 0;
    int polls = 0;
    int settle = 0;
    GtkWidget* window = nullptr;
};

GtkWidget* dialogWindow() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* it = toplevels; it != nullptr; it = it->next) {
        if (gtk_widget_get_mapped(GTK_WIDGET(it->data)) && gtk_window_get_modal(GTK_WINDOW(it->data))) {
            found = GTK_WIDGET(it->data);
        }
    }
    g_list_free(toplevels);
    return found;
}

int countColours(GdkPixbuf* pixbuf) {
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
    std::set<uint32_t> colours;
    for (int y = 0; y < gdk_pixbuf_get_height(pixbuf); y += 3) {
        const guchar* row = pixels + y * gdk_pixbuf_get_rowstride(pixbuf);
        for (int x = 0; x < gdk_pixbuf_get_width(pixbuf); x += 3) {
            const guchar* p = row + x * channels;
            colours.insert(static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]));
        }
    }
    return static_cast<int>(colours.size());
}

void pressEscape(GtkWidget* window) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window);
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gdkWindow));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = GDK_KEY_Escape;
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_window_get_display(gdkWindow))));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

gboolean onDrawn(GtkWidget*, cairo_t*, gpointer data) {
    static_cast<Watch*>(data)->drawn = true;
    return FALSE;
}

// Runs on the dialog's own loop (the caller's thread) while the export waits.
gboolean watch(gpointer data) {
    auto* w = static_cast<Watch*>(data);
    if (++w->polls > kGiveUpPolls) {
        return G_SOURCE_REMOVE;
    }
    if (w->window == nullptr) {
        w->window = dialogWindow();
        if (w->window != nullptr) {
            g_signal_connect_after(w->window, "draw", G_CALLBACK(onDrawn), w);
            gtk_widget_queue_draw(w->window);
        }
        return G_SOURCE_CONTINUE;
    }
    if (!w->drawn || ++w->settle < kSettlePolls) {
        return G_SOURCE_CONTINUE;
    }
    w->title = gtk_window_get_title(GTK_WINDOW(w->window));
    GdkWindow* gdkWindow = gtk_widget_get_window(w->window);
    w->visible = gdk_window_is_viewable(gdkWindow) != 0;
    if (w->xlib != nullptr) {
        Window owner = 0;
        w->hasTransientFor = XGetTransientForHint(w->xlib, GDK_WINDOW_XID(gdkWindow), &owner) != 0;
        w->transientFor = owner;
    }
    GdkPixbuf* picture = gdk_pixbuf_get_from_window(gdkWindow, 0, 0, gdk_window_get_width(gdkWindow),
                                                    gdk_window_get_height(gdkWindow));
    if (picture != nullptr) {
        w->distinctColours = countColours(picture);
        (void)gdk_pixbuf_save(picture, w->screenshot.c_str(), "png", nullptr, nullptr);
        g_object_unref(picture);
    }
    if (w->action == Watch::Action::Escape) {
        pressEscape(w->window);
    } else if (w->action == Watch::Action::DestroyOwner) {
        LumvekWnd_DestroyWindow(w->owner);
    } else {
        w->server->kill();
    }
    return G_SOURCE_REMOVE;
}

class GtkDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("LUMVEK_SIM_CAMERAS", "product=0x3090,name=gtk0,fps=40", 1);
        xvfb_ = new Xvfb();
        setenv("DISPLAY", xvfb_->display().c_str(), 1);
        std::filesystem::create_directories(LUMVEK_SCREENSHOT_DIR);
    }
    static void TearDownTestSuite() {
        delete xvfb_;
        xvfb_ = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(xvfb_->display().empty()) << "Xvfb did not start";
        handle_ = Lumvek_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
    }
    void TearDown() override {
        if (handle_ != 0) {
            EXPECT_EQ(Lumvek_Release(handle_), 1);
        }
    }

public:
    // Opens dialog `which` (0 camera, 1 image, 2 analog) under the watcher.
    int open(int which, Watch& w, const std::string& name) {
        w.screenshot = std::string(LUMVEK_SCREENSHOT_DIR) + "/" + name + ".png";
        const guint source = g_timeout_add(kPollMs, watch, &w);
        int result = 0;
        switch (which) {
        case 0: result = Lumvek_SetCameraDlg(handle_, w.owner); break;
        case 1: result = Lumvek_SetImageDlg(handle_, w.owner); break;
        default: result = Lumvek_SetAnalogDlg(handle_, w.owner); break;
        }
        if (w.polls <= kGiveUpPolls && w.title.empty() && g_main_context_find_source_by_id(nullptr, source) != nullptr) {
            g_source_remove(source);
        }
        return result;
    }

protected:
    static Xvfb* xvfb_;
    int32_t handle_ = 0;
};
Xvfb* GtkDialogs::xvfb_ = nullptr;

constexpr const char* kNames[] = {"camera", "image", "analog"};

TEST_F(GtkDialogs, EachDialogOpensTitledPropertyAndEscapeClosesItAsCancel) {
    lumvek::test::ScopedEnv english("LC_ALL", "C.UTF-8");
    const int gain = Lumvek_GetFilterValue(handle_, 13, nullptr);
    for (int which = 0; which < 3; ++which) {
        Watch w;
        EXPECT_EQ(open(which, w, std::string(kNames[which]) + "-en"), 1) << kNames[which];
        EXPECT_EQ(w.title, "Property");
        EXPECT_TRUE(w.visible);
        EXPECT_GT(w.distinctColours, 4) << "the window drew nothing";
    }
    EXPECT_EQ(Lumvek_GetFilterValue(handle_, 13, nullptr), gain);
    EXPECT_EQ(Lumvek_GetLastError(handle_), 0);
}

TEST_F(GtkDialogs, UnderAJapaneseLocaleTheTitleIsJapanese) {
    lumvek::test::ScopedEnv japanese("LC_ALL", "ja_JP.UTF-8");
    for (int which = 0; which < 3; ++which) {
        Watch w;
        EXPECT_EQ(open(which, w, std::string(kNames[which]) + "-ja"), 1) << kNames[which];
        EXPECT_EQ(w.title, "プロパティ");
        EXPECT_TRUE(w.visible);
    }
}

TEST_F(GtkDialogs, ADialogWhoseOwnerWindowGoesAwayEndsAsCancel) {
    Watch w;
    w.action = Watch::Action::DestroyOwner;
    w.owner = LumvekWnd_CreateMessageWindow();
    ASSERT_NE(w.owner, nullptr);
    EXPECT_EQ(open(2, w, "analog-owner-gone"), 1);
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(Lumvek_GetLastError(handle_), 0);
}

// An application's own X11 window (made on a connection of its own, as a
// program not using GTK would) given through LumvekWnd_FromX11Window.
class AppWindow {
public:
    explicit AppWindow(const std::string& display) : xlib_(XOpenDisplay(display.c_str())) {
        if (xlib_ != nullptr) {
            window_ = XCreateSimpleWindow(xlib_, DefaultRootWindow(xlib_), 0, 0, 640, 480, 0, 0, 0);
            XMapWindow(xlib_, window_);
            XSync(xlib_, False);
        }
    }
    ~AppWindow() {
        if (xlib_ != nullptr) {
            destroy();
            XCloseDisplay(xlib_);
        }
    }
    AppWindow(const AppWindow&) = delete;
    AppWindow& operator=(const AppWindow&) = delete;
    [[nodiscard]] Display* xlib() const { return xlib_; }
    [[nodiscard]] Window id() const { return window_; }
    // Gone from the server; the id stays known to the caller.
    void destroy() {
        if (destroyed_ || window_ == 0) {
            return;
        }
        XDestroyWindow(xlib_, window_);
        XSync(xlib_, False);
        destroyed_ = true;
    }

private:
    Display* xlib_ = nullptr;
    Window window_ = 0;
    bool destroyed_ = false;
};

TEST_F(GtkDialogs, EachDialogIsTransientForTheApplicationsX11OwnerWindow) {
    lumvek::test::ScopedEnv english("LC_ALL", "C.UTF-8");
    AppWindow app(xvfb_->display());
    ASSERT_NE(app.xlib(), nullptr);
    HWND owner = LumvekWnd_FromX11Window(app.id());
    ASSERT_NE(owner, nullptr);
    for (int which = 0; which < 3; ++which) {
        Watch w;
        w.owner = owner;
        w.xlib = app.xlib();
        EXPECT_EQ(open(which, w, std::string(kNames[which]) + "-transient"), 1) << kNames[which];
        EXPECT_TRUE(w.visible) << kNames[which];
        EXPECT_TRUE(w.hasTransientFor) << kNames[which];
        EXPECT_EQ(w.transientFor, app.id()) << kNames[which];
    }
    EXPECT_EQ(Lumvek_GetLastError(handle_), 0);
    EXPECT_EQ(LumvekWnd_DestroyWindow(owner), 1);
}

// An owner without an X11 window behind it, or whose X11 window the server
// no longer knows: the dialog opens without WM_TRANSIENT_FOR, closes as
// usual, and no X error reaches the process.
TEST_F(GtkDialogs, AnOwnerWithoutALiveX11WindowGivesNoTransientForAndTheDialogStillWorks) {
    lumvek::test::ScopedEnv english("LC_ALL", "C.UTF-8");
    AppWindow app(xvfb_->display());
    ASSERT_NE(app.xlib(), nullptr);
    HWND vanished = LumvekWnd_FromX11Window(app.id());
    ASSERT_NE(vanished, nullptr);
    app.destroy();
    HWND plain = LumvekWnd_CreateMessageWindow();
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(LumvekWnd_X11Window(plain), 0UL);
    for (HWND owner : {plain, vanished}) {
        Watch w;
        w.owner = owner;
        w.xlib = app.xlib();
        EXPECT_EQ(open(1, w, owner == plain ? "image-plain-owner" : "image-vanished-owner"), 1);
        EXPECT_TRUE(w.visible);
        EXPECT_FALSE(w.hasTransientFor) << (owner == plain ? "plain" : "vanished") << std::hex << w.transientFor;
        EXPECT_EQ(Lumvek_GetLastError(handle_), 0);
    }
    EXPECT_EQ(LumvekWnd_DestroyWindow(plain), 1);
    EXPECT_EQ(LumvekWnd_DestroyWindow(vanished), 1);
}

// An application with its own GTK main loop opens a dialog from a callback of
// that loop: the dialog runs inside it, the application's sources keep
// running meanwhile, and its loop goes on after the dialog.
TEST_F(GtkDialogs, ADialogOpenedFromTheApplicationsOwnGtkLoopLeavesThatLoopWorking) {
    lumvek::test::ScopedEnv english("LC_ALL", "C.UTF-8");
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    struct App {
        GtkDialogs* test;
        Watch watch;
        int result = -1;
        int ticksWhileOpen = 0;
        bool dialogOpen = false;
        bool loopWentOn = false;
    } app{this, {}};
    const guint ticker = g_timeout_add(kPollMs, [](gpointer data) -> gboolean {
        auto* a = static_cast<App*>(data);
        a->ticksWhileOpen += a->dialogOpen ? 1 : 0;
        return G_SOURCE_CONTINUE;
    }, &app);
    g_idle_add([](gpointer data) -> gboolean {
        auto* a = static_cast<App*>(data);
        a->dialogOpen = true;
        a->result = a->test->open(1, a->watch, "image-in-app-loop");
        a->dialogOpen = false;
        g_idle_add([](gpointer d) -> gboolean {
            static_cast<App*>(d)->loopWentOn = true;
            gtk_main_quit();
            return G_SOURCE_REMOVE;
        }, a);
        return G_SOURCE_REMOVE;
    }, &app);
    gtk_main();
    g_source_remove(ticker);
    EXPECT_EQ(app.result, 1);
    EXPECT_EQ(app.watch.title, "Property");
    EXPECT_GT(app.ticksWhileOpen, 0);
    EXPECT_TRUE(app.loopWentOn);
}

// Last in the suite: the display is gone for the rest of the process.
TEST_F(GtkDialogs, TheXServerGoingAwayEndsTheDialogAsCancelAndTheProcessLivesOn) {
    const int gain = Lumvek_GetFilterValue(handle_, 13, nullptr);
    Watch w;
    w.action = Watch::Action::KillServer;
    w.server = xvfb_;
    EXPECT_EQ(open(2, w, "analog-server-lost"), 1);
    EXPECT_TRUE(w.visible);
    EXPECT_EQ(Lumvek_GetFilterValue(handle_, 13, nullptr), gain);
    EXPECT_EQ(Lumvek_GetLastError(handle_), 0);
}

} // namespace
