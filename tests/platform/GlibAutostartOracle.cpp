// Prints, for each desktop entry file given, whether a GLib-based session starts it at logon:
// "starts" or the first reason it does not. The desktop names and the program search path come
// from XDG_CURRENT_DESKTOP and PATH, as in a session. With --name first, prints instead the name
// GLib shows for each entry in the language of LANGUAGE, LC_ALL, LC_MESSAGES or LANG. With --apps,
// prints the applications a menu shows (g_app_info_should_show) from XDG_DATA_HOME and
// XDG_DATA_DIRS, one a line: the desktop file ID without ".desktop", the name and the comment,
// separated by tabs.
#include <gio/gdesktopappinfo.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char **argv) {
  if (argc > 1 && std::strcmp(argv[1], "--apps") == 0) {
    GList *all = g_app_info_get_all();
    for (GList *item = all; item; item = item->next) {
      GAppInfo *info = G_APP_INFO(item->data);
      if (!g_app_info_should_show(info))
        continue;
      std::string id = g_app_info_get_id(info);
      if (id.ends_with(".desktop"))
        id.resize(id.size() - 8);
      const char *comment = g_app_info_get_description(info);
      std::printf("%s\t%s\t%s\n", id.c_str(), g_app_info_get_name(info), comment ? comment : "");
    }
    g_list_free_full(all, g_object_unref);
    return 0;
  }
  const bool names = argc > 1 && std::strcmp(argv[1], "--name") == 0;
  for (int i = names ? 2 : 1; i < argc; ++i) {
    if (names) {
      GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(argv[i]);
      std::printf("%s\n", info ? g_app_info_get_name(G_APP_INFO(info)) : "refused");
      if (info)
        g_object_unref(info);
      continue;
    }
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
