// Prints, for each desktop entry file given, whether a GLib-based session starts it at logon:
// "starts" or the first reason it does not. The desktop names and the program search path come
// from XDG_CURRENT_DESKTOP and PATH, as in a session.
#include <gio/gdesktopappinfo.h>

#include <cstdio>

int main(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const char *verdict = "starts";
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(argv[i]);
    if (!info) {
      verdict = "refused"; // not a valid entry, not an application, or its program is missing
    } else {
      const char *command = g_app_info_get_commandline(G_APP_INFO(info));
      if (g_desktop_app_info_get_is_hidden(info))
        verdict = "hidden";
      // GNOME's session reads this key with GLib and takes an unreadable value as false.
      else if (g_desktop_app_info_has_key(info, "X-GNOME-Autostart-enabled") &&
               !g_desktop_app_info_get_boolean(info, "X-GNOME-Autostart-enabled"))
        verdict = "disabled";
      else if (!g_desktop_app_info_get_show_in(info, nullptr))
        verdict = "elsewhere";
      else if (!command || !*command)
        verdict = "no-exec";
      g_object_unref(info);
    }
    std::printf("%s\n", verdict);
  }
  return 0;
}
