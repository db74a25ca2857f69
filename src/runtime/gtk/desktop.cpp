// The desktop with GTK 3: the open-file dialog, the message box and the
// launch of a page with the desktop's program for it. It is built as a module
// of its own, which gtk/loader.cpp loads when the desktop is first
// needed, so that a conversion on the command line never maps GTK.
//
// The program has no window of its own. Each dialog is a modal top-level
// window without a parent, centred on the screen like a Windows dialog that
// has no owner. The Windows program looks for an owner among its own windows
// and disables its thread's other windows while a dialog is up; here there is
// never a window to own a dialog or to disable, and gtk_dialog_run keeps
// input away from any other window of the process anyway, so those steps
// have nothing to do and are left out.
//
// The program's texts are Windows-1252 bytes and GTK takes UTF-8, so titles,
// messages and filter texts are converted; paths are raw bytes of the file
// system and pass unconverted both ways.
#include <gtk/gtk.h>

#include <memory>

#include "runtime/desktop/codepage.hpp"
#include "runtime/desktop/paths.hpp"
#include "runtime/desktop/open_dialog.hpp"
#include "runtime/platform.hpp"

namespace pl2html {

namespace {

constexpr int kOkButton = 1;  // IDOK, the id Windows gives the OK button

struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};
using GText = std::unique_ptr<char, GFree>;

// GTK's own words for its buttons, in the user's language, as Windows words
// its dialogs' buttons in the language of the system. "gtk30" is the message
// catalogue of GTK 3, which gtk_init binds.
const char* GtkWords(const char* english) {
  return g_dgettext("gtk30", english);
}

// Lets GTK take a closed dialog off the screen now rather than whenever the
// next event is handled: the conversion that follows can take a while.
void HandlePendingEvents() {
  while (gtk_events_pending())
    gtk_main_iteration();
}

void AddFilters(GtkFileChooser* chooser, const std::string& pattern, int patternIndex) {
  std::vector<FileFilter> filters = ParseFilterList(pattern);
  std::size_t preselected = PreselectedFilter(patternIndex, filters.size());
  for (std::size_t i = 0; i < filters.size(); ++i) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, Cp1252ToUtf8(filters[i].description).c_str());
    // GTK matches a glob against the name as shown, in UTF-8.
    for (const std::string& one : filters[i].patterns) {
      gtk_file_filter_add_pattern(filter, Cp1252ToUtf8(CaseInsensitiveGlob(one)).c_str());
    }
    gtk_file_chooser_add_filter(chooser, filter);  // the chooser takes the filter
    if (i == preselected) gtk_file_chooser_set_filter(chooser, filter);
  }
}

// Starts in the default name's folder, or else in the current folder: left
// alone, GTK opens its "Recent" list, where a typed name means nothing.
void StartAt(GtkFileChooser* chooser, const std::string& defaultName, char separator) {
  DialogStart start = SplitDefaultName(defaultName, separator);
  if (start.folder.empty()) {
    GText current(g_get_current_dir());
    gtk_file_chooser_set_current_folder(chooser, current.get());
  } else {
    gtk_file_chooser_set_current_folder(chooser, start.folder.c_str());
  }
  // An open dialog has no name field to fill in; the named file, when it is
  // listed, is selected instead.
  if (!start.name.empty()) {
    std::string named = start.folder.empty() ? start.name : start.folder + separator + start.name;
    gtk_file_chooser_select_filename(chooser, named.c_str());
  }
}

struct Launch {
  bool done = false;
  bool launched = false;
};

void OnLaunched(GObject* /*source*/, GAsyncResult* result, gpointer data) {
  auto* launch = static_cast<Launch*>(data);
  launch->launched = g_app_info_launch_default_for_uri_finish(result, nullptr) != FALSE;
  launch->done = true;
}

class GtkDesktop final : public Desktop {
 public:
  explicit GtkDesktop(FileSystem& fs) : fs_(fs) {}

  // GtkFileChooserDialog rather than GtkFileChooserNative: the native one
  // differs only where the desktop portal stands in, and the portal's dialog
  // may ignore the starting folder, reject a typed name of a missing file or
  // read the filter's glob its own way, all of which the program relies on.
  std::string ChooseFileToOpen(const std::string& title, const std::string& defaultName,
                               const std::string& pattern, int patternIndex) override {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        Cp1252ToUtf8(title).c_str(), nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, GtkWords("_Cancel"),
        GTK_RESPONSE_CANCEL, GtkWords("_Open"), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    // Local files only: the page is written beside the source, by path.
    gtk_file_chooser_set_local_only(chooser, TRUE);
    AddFilters(chooser, pattern, patternIndex);
    StartAt(chooser, defaultName, fs_.PathSeparator());

    std::string chosen;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
      // The file's name as the file system spells it: a typed name of a
      // missing file comes back as typed, made absolute.
      GText path(gtk_file_chooser_get_filename(chooser));
      if (path) chosen = path.get();
    }
    gtk_widget_destroy(dialog);
    HandlePendingEvents();
    return chosen;
  }

  // The program shows only the plain box (flags 0: one OK button, no icon),
  // so `flags` selects nothing else. Whatever closes the box, its one button
  // or the window's close, counts as OK, as on Windows.
  int ShowMessage(const std::string& title, const std::string& text, int /*flags*/) override {
    GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                            GTK_BUTTONS_OK, "%s", Cp1252ToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), Cp1252ToUtf8(title).c_str());
    gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    HandlePendingEvents();
    return kOkButton;
  }

  // Hands the page's file URI to the desktop's program for it. The
  // asynchronous launch is waited for until the launch itself is done, never
  // for the launched program: a program started over D-Bus only gets its
  // request if this process lives until the request has gone out.
  std::intptr_t OpenWithShell(const std::string& path) override {
    GText absolute(g_canonicalize_filename(path.c_str(), nullptr));
    GText uri(g_filename_to_uri(absolute.get(), nullptr, nullptr));
    if (!uri) return 0;
    GdkAppLaunchContext* context = gdk_display_get_app_launch_context(gdk_display_get_default());
    Launch launch;
    g_app_info_launch_default_for_uri_async(uri.get(), G_APP_LAUNCH_CONTEXT(context), nullptr,
                                            OnLaunched, &launch);
    while (!launch.done)
      g_main_context_iteration(nullptr, TRUE);
    g_object_unref(context);
    return launch.launched ? 1 : 0;
  }

 private:
  FileSystem& fs_;
};

}  // namespace

// The module's two visible symbols; the rest of it is hidden, so its copies
// of the core's helpers never stand in for the program's.
[[gnu::visibility("default")]] const char* pl2html_gtk_module_version() {
  return PL2HTML_VERSION;
}

[[gnu::visibility("default")]] Desktop* pl2html_gtk_desktop(FileSystem& fs) {
  // The program's name names its windows (WM_CLASS) after the desktop entry.
  g_set_prgname("pl2html");
  // gtk_init would end the process when no display can be reached;
  // gtk_init_check reports it, and the loader lets the terminal serve.
  if (gtk_init_check(nullptr, nullptr) == FALSE) return nullptr;
  return new GtkDesktop(fs);
}

}  // namespace pl2html
