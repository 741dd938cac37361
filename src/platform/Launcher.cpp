#include "platform/Launcher.h"

#include <cerrno>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <memory>
#include <string_view>
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

struct GObjectUnref {
    void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// The default application's desktop entry made into one that can only be started by its Exec line.
// An entry that says DBusActivatable=true is otherwise asked over D-Bus to open the file, which gives
// no process at all, and an application that is already running may take the file without a new one.
GObjectPtr<GAppInfo> ExecLineOf(GAppInfo* application) {
    if (!G_IS_DESKTOP_APP_INFO(application))
        return nullptr;
    const char* commandLine = g_app_info_get_commandline(application);
    if (!commandLine || !*commandLine)
        return nullptr;
    int flags = G_APP_INFO_CREATE_NONE;
    if (g_desktop_app_info_get_boolean(G_DESKTOP_APP_INFO(application), "Terminal"))
        flags |= G_APP_INFO_CREATE_NEEDS_TERMINAL;
    return GObjectPtr<GAppInfo>(g_app_info_create_from_commandline(
        commandLine, g_app_info_get_name(application), static_cast<GAppInfoCreateFlags>(flags), nullptr));
}

} // namespace

pid_t OpenWithDefaultApplication(const std::string& path, const std::string& workingDirectory, bool watch) {
    GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GObjectPtr<GFileInfo> info(g_file_query_info(
        file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* contentType = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!contentType)
        return 0;
    GObjectPtr<GAppInfo> application(g_app_info_get_default_for_type(contentType, FALSE));
    // The program's own "Open With" entry, the default of a type that no application of its own takes,
    // would only hand the file back to the program to be encrypted again: such a file has no application.
    const char* id = application ? g_app_info_get_id(application.get()) : nullptr;
    if (id && std::string_view(id) == kOwnOpenWithEntry)
        return 0;
    GObjectPtr<GAppInfo> launchable = application ? ExecLineOf(application.get()) : nullptr;
    if (!launchable)
        return 0;
    Launch launch{workingDirectory.c_str()};
    char* uri = g_file_get_uri(file.get());
    GList uris{uri, nullptr, nullptr};
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | (watch ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
    GError* error = nullptr;
    if (!g_desktop_app_info_launch_uris_as_manager(G_DESKTOP_APP_INFO(launchable.get()),
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
    return launch.pid;
}

pid_t PrintWithLp(const std::string& path, const std::string& workingDirectory, bool watch) {
    // The path is always a full one, so it cannot be taken for an option of lp.
    char lp[] = "lp";
    std::string file = path;
    char* argv[] = {lp, file.data(), nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    // Without `watch` GLib starts lp through a child of its own that it reaps, so that none is left over.
    const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL |
                                                (watch ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
    if (!g_spawn_async(workingDirectory.empty() ? nullptr : workingDirectory.c_str(),
                       argv,
                       nullptr,
                       flags,
                       nullptr,
                       nullptr,
                       watch ? &pid : nullptr,
                       &error))
        pid = 0;
    else if (!watch)
        pid = 1; // started, and reaped by GLib: no process id to give
    if (error)
        g_error_free(error);
    return pid;
}

ChildStatus PollChild(pid_t pid) {
    if (pid <= 0)
        return ChildStatus::Failed;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return ChildStatus::Running;
    if (result == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ChildStatus::Succeeded;
    return ChildStatus::Failed;
}

} // namespace vorlaxen
