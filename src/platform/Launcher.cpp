#include "platform/Launcher.h"

#include <cerrno>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

struct Launch {
    const char* workingDirectory;
    pid_t pid = 0;
};

// Runs in the child between fork and exec: only async-signal-safe calls.
void EnterWorkingDirectory(gpointer data) {
    const auto* launch = static_cast<const Launch*>(data);
    if (launch->workingDirectory && *launch->workingDirectory)
        (void)!::chdir(launch->workingDirectory);
}

void KeepPid(GDesktopAppInfo*, GPid pid, gpointer data) {
    static_cast<Launch*>(data)->pid = pid;
}

} // namespace

pid_t OpenWithDefaultApplication(const std::string& path, const std::string& workingDirectory, bool watch) {
    GFile* file = g_file_new_for_path(path.c_str());
    GFileInfo* info =
        g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    const char* contentType = info ? g_file_info_get_content_type(info) : nullptr;
    GAppInfo* app = contentType ? g_app_info_get_default_for_type(contentType, FALSE) : nullptr;
    Launch launch{workingDirectory.c_str()};
    if (app && G_IS_DESKTOP_APP_INFO(app)) {
        char* uri = g_file_get_uri(file);
        GList uris{uri, nullptr, nullptr};
        const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | (watch ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
        GError* error = nullptr;
        if (!g_desktop_app_info_launch_uris_as_manager(G_DESKTOP_APP_INFO(app),
                                                       &uris,
                                                       nullptr,
                                                       flags,
                                                       EnterWorkingDirectory,
                                                       &launch,
                                                       KeepPid,
                                                       &launch,
                                                       &error))
            launch.pid = 0;
        if (error)
            g_error_free(error);
        g_free(uri);
    }
    if (app)
        g_object_unref(app);
    if (info)
        g_object_unref(info);
    g_object_unref(file);
    return launch.pid;
}

bool ProcessRunning(pid_t pid) {
    if (pid <= 0)
        return false;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

} // namespace vorlaxen
