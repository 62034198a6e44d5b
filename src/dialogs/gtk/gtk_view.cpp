// The entry point of the view module: shows a dialog model as a modal GTK
// window on the calling thread and returns when the model has closed. An
// application that runs its own GTK main loop on this thread keeps working:
// the dialog iterates the default main context itself instead of starting or
// quitting a main loop of its own.
#include <gdk/gdkkeysyms.h>
#include <csetjmp>
#include <setjmp.h>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#endif

#include "dialogs/dialog_view.h"
#include "dialogs/gtk/gtk_view.h"

#include <cstdlib>
#include <type_traits>

namespace lumvek::dialogs::gtk {

namespace {

constexpr guint kOwnerPollMs = 200;

struct Session {
    View view;
    int (*ownerAlive)(void*) = nullptr;
    void* context = nullptr;
    bool ownerGone = false;
    bool serverLost = false;
};

void cancel(View& view);

#ifdef GDK_WINDOWING_X11
// While a dialog runs, losing the X server ends it as Cancel instead of
// ending the process (GDK's own handler exits): the I/O error handler
// returns, and the display's exit handler, which Xlib calls next, marks the
// session; every later request on the dead display fails quietly.
int ignoreIoError(Display*) {
    return 0;
}

// Where the dialog's event loop resumes once the server is gone: GDK goes
// on using the dead display in the same dispatch (a pointer query whose
// failed reply it reads as valid), so nothing of GDK may run after the loss.
thread_local sigjmp_buf* tResumeAfterServerLoss = nullptr;

void onServerLost(Display*, void* data) {
    auto* session = static_cast<Session*>(data);
    session->serverLost = true;
    cancel(session->view);
    if (tResumeAfterServerLoss != nullptr) {
        siglongjmp(*tResumeAfterServerLoss, 1);  // only C frames of GLib, GDK and Xlib lie between
    }
}

void exitOnServerLost(Display*, void*) {
    std::exit(1);  // what Xlib does by default, for the application's own use of the display
}

class ServerLossGuard {
public:
    explicit ServerLossGuard(Session& session) {
        GdkDisplay* display = gdk_display_get_default();
        if (display != nullptr && GDK_IS_X11_DISPLAY(display)) {
            xdisplay_ = GDK_DISPLAY_XDISPLAY(display);
            previous_ = XSetIOErrorHandler(ignoreIoError);
            XSetIOErrorExitHandler(xdisplay_, onServerLost, &session);
        }
    }
    ~ServerLossGuard() {
        if (xdisplay_ != nullptr) {
            XSetIOErrorExitHandler(xdisplay_, exitOnServerLost, nullptr);
            XSetIOErrorHandler(previous_);
        }
    }
    ServerLossGuard(const ServerLossGuard&) = delete;
    ServerLossGuard& operator=(const ServerLossGuard&) = delete;

private:
    Display* xdisplay_ = nullptr;
    XIOErrorHandler previous_ = nullptr;
};

// Makes the realized dialog transient for the application's X11 window, so
// that the window manager keeps it above that window. The id comes from the
// application: it is checked under an error trap (GDK ends the process on an
// untrapped X error) and an id the server does not know leaves the dialog
// without an owner. The hint is set with Xlib rather than through a foreign
// GdkWindow: GDK keeps a foreign window in its table until it sees the X
// window destroyed, so a later window given the same id (ids are reused once
// their client disconnects) would be taken for the stale one.
void makeTransientFor(GtkWidget* window, unsigned long ownerX11) {
    GdkDisplay* display = gtk_widget_get_display(window);
    if (ownerX11 == 0 || !GDK_IS_X11_DISPLAY(display)) {
        return;
    }
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    XWindowAttributes attributes{};
    gdk_x11_display_error_trap_push(display);
    const bool known = XGetWindowAttributes(xdisplay, ownerX11, &attributes) != 0;  // a round trip
    if (gdk_x11_display_error_trap_pop(display) != 0 || !known) {
        return;
    }
    // Naming a window that has gone since the check raises no error.
    gdk_x11_display_error_trap_push(display);
    XSetTransientForHint(xdisplay, GDK_WINDOW_XID(gtk_widget_get_window(window)), ownerX11);
    gdk_x11_display_error_trap_pop_ignored(display);
}
#else
class ServerLossGuard {
public:
    explicit ServerLossGuard(Session&) {}
};

void makeTransientFor(GtkWidget*, unsigned long) {}
#endif

void cancel(View& view) {
    try {
        if (!view.model->closed()) {
            (void)view.model->press(kIdCancel);
        }
    } catch (...) {
        view.abandoned = true;  // the model cannot close itself: the view lets go of it
    }
}

gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (event->keyval == GDK_KEY_Escape) {
        cancel(static_cast<Session*>(data)->view);
        return TRUE;
    }
    return FALSE;
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    cancel(static_cast<Session*>(data)->view);
    return TRUE;  // the window is destroyed when the model has closed
}

gboolean pollOwner(gpointer data) {
    auto* session = static_cast<Session*>(data);
    if (session->ownerAlive != nullptr && session->ownerAlive(session->context) == 0) {
        session->ownerGone = true;
        cancel(session->view);
    }
    // A change the model made without a widget signal (none today) still shows.
    if (session->view.model->revision() != session->view.shownRevision) {
        refresh(session->view);
    }
    return G_SOURCE_CONTINUE;
}

void onBottomButton(GtkButton*, gpointer data) {
    auto* session = static_cast<Session*>(g_object_get_data(G_OBJECT(data), "lumvek-session"));
    const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(data), "lumvek-id"));
    try {
        (void)session->view.model->press(id);
    } catch (...) {
        cancel(session->view);  // nothing may unwind through GTK
    }
    refresh(session->view);
}

GtkWidget* buttonRow(Session& session) {
    GtkWidget* box = gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL);
    gtk_button_box_set_layout(GTK_BUTTON_BOX(box), GTK_BUTTONBOX_END);
    gtk_box_set_spacing(GTK_BOX(box), 6);
    for (int id : session.view.model->buttons()) {
        const ControlState* c = session.view.model->control(id);
        GtkWidget* button = gtk_button_new_with_mnemonic(mnemonic(c != nullptr ? c->text : "?").c_str());
        g_object_set_data(G_OBJECT(button), "lumvek-session", &session);
        g_object_set_data(G_OBJECT(button), "lumvek-id", GINT_TO_POINTER(id));
        g_signal_connect(button, "clicked", G_CALLBACK(onBottomButton), button);
        session.view.widgets[id] = button;
        gtk_container_add(GTK_CONTAINER(box), button);
    }
    return box;
}

int run(DialogAutomation* model, unsigned long ownerX11, int (*ownerAlive)(void*), void* context) {
    if (model == nullptr || !gtk_init_check(nullptr, nullptr)) {
        return 0;
    }
    Session session;
    session.view.model = model;
    session.ownerAlive = ownerAlive;
    session.context = context;

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    session.view.window = window;
    gtk_window_set_title(GTK_WINDOW(window), model->title().c_str());
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    g_object_ref_sink(window);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 8);
    gtk_box_pack_start(GTK_BOX(box), buildPages(session.view), TRUE, TRUE, 0);
    session.view.message = gtk_label_new("");
    gtk_widget_set_halign(session.view.message, GTK_ALIGN_START);
    gtk_box_pack_start(GTK_BOX(box), session.view.message, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttonRow(session), FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);

    g_signal_connect(window, "key-press-event", G_CALLBACK(onKey), &session);
    g_signal_connect(window, "delete-event", G_CALLBACK(onDelete), &session);
    gtk_widget_realize(window);
    makeTransientFor(window, ownerX11);
    gtk_widget_show_all(window);
    refresh(session.view);  // hides what the model hides
    const guint poll = g_timeout_add(kOwnerPollMs, pollOwner, &session);
    {
        ServerLossGuard guard(session);
        sigjmp_buf resume;
        if (sigsetjmp(resume, 0) == 0) {
            tResumeAfterServerLoss = &resume;
            while (!model->closed() && !session.view.abandoned) {
                g_main_context_iteration(nullptr, TRUE);
            }
        }
        tResumeAfterServerLoss = nullptr;
    }
    g_source_remove(poll);  // GLib only: safe with the display gone
    if (session.serverLost) {
        // Nothing more can reach the server; the window stays unreleased
        // rather than have GTK talk to a dead display.
        return 1;
    }
    gtk_widget_destroy(window);
    g_object_unref(window);
    // Let the window's unmapping reach the server before returning.
    while (g_main_context_pending(nullptr)) {
        g_main_context_iteration(nullptr, FALSE);
    }
    return 1;
}

} // namespace

} // namespace lumvek::dialogs::gtk

extern "C" __attribute__((visibility("default"))) int lumvek_dialog_gtk_run(lumvek::dialogs::DialogAutomation* model,
                                                                            unsigned long ownerX11,
                                                                            int (*ownerAlive)(void*), void* context) {
    try {
        return lumvek::dialogs::gtk::run(model, ownerX11, ownerAlive, context);
    } catch (...) {
        return 0;
    }
}

// The library calls the entry through this type: a mismatch fails here, not at run time.
static_assert(std::is_same_v<decltype(&lumvek_dialog_gtk_run), lumvek::dialogs::DialogModuleRun>);
