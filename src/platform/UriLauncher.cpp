#include "platform/UriLauncher.h"

#include "platform/Launcher.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>
#include <string_view>
#include <unistd.h>

namespace vorlaxen {

namespace {

struct Unref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, Unref>;

struct GFree {
    void operator()(gpointer memory) const noexcept { g_free(memory); }
};
using GText = std::unique_ptr<char, GFree>;

// Runs in the child between fork and exec: only async-signal-safe calls.
void EnterDirectory(gpointer data) {
    const char* directory = static_cast<const char*>(data);
    if (directory && *directory)
        (void)!::chdir(directory);
}

bool Launch(GAppInfo* app, const std::string& uri, const std::string& workingDirectory) {
    GList uris{const_cast<char*>(uri.c_str()), nullptr, nullptr};
    GError* error = nullptr;
    bool started = false;
    if (G_IS_DESKTOP_APP_INFO(app))
        started = g_desktop_app_info_launch_uris_as_manager(G_DESKTOP_APP_INFO(app),
                                                            &uris,
                                                            nullptr,
                                                            G_SPAWN_SEARCH_PATH,
                                                            EnterDirectory,
                                                            const_cast<char*>(workingDirectory.c_str()),
                                                            nullptr,
                                                            nullptr,
                                                            &error);
    else
        started = g_app_info_launch_uris(app, &uris, nullptr, &error);
    if (error)
        g_error_free(error);
    return started;
}

} // namespace

bool OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string& workingDirectory) {
    GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GObjectPtr<GFileInfo> info(g_file_query_info(
        file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* contentType = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!contentType)
        return false;
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(contentType, FALSE));
    if (!app)
        return false;
    // The program's own "Open With" entry would take the document to be encrypted, not shown.
    const char* id = g_app_info_get_id(app.get());
    if (id && std::string_view(id) == kOwnOpenWithEntry)
        return false;
    const GText uri(g_file_get_uri(file.get()));
    // A file name cannot carry the anchor: an application that takes only file names gets the file.
    std::string target = uri.get();
    if (!anchor.empty() && g_app_info_supports_uris(app.get()))
        target += "#" + anchor;
    return Launch(app.get(), target, workingDirectory);
}

bool OpenWebAddress(const std::string& address) {
    const GText scheme(g_uri_parse_scheme(address.c_str()));
    if (!scheme)
        return false;
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_uri_scheme(scheme.get()));
    return app && Launch(app.get(), address, "");
}

} // namespace vorlaxen
