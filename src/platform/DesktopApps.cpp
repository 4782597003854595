// GLib's headers use names that Qt's keywords (signals, slots) take over: they come first, and
// this file is built without the precompiled Qt headers (src/CMakeLists.txt).
#include <gio/gio.h>

#include "platform/DesktopApps.h"

#include <memory>

namespace platform::desktop {

namespace {

struct Unref {
    void operator()(GAppInfo *app) const { g_object_unref(app); }
};
using App = std::unique_ptr<GAppInfo, Unref>;

// Starts `app` with `uri` as its one argument, or with none when `uri` is null. A program that
// cannot be started counts as none: the user is told nothing either way.
bool launch(const App &app, const QByteArray &uri) {
    if (!app)
        return false;
    GError *error = nullptr;
    gboolean started;
    if (uri.isNull()) {
        started = g_app_info_launch(app.get(), nullptr, nullptr, &error);
    } else {
        GList uris{const_cast<char *>(uri.constData()), nullptr, nullptr};
        started = g_app_info_launch_uris(app.get(), &uris, nullptr, &error);
    }
    g_clear_error(&error);
    return started;
}

App schemeHandler(const char *scheme) {
    return App(g_app_info_get_default_for_uri_scheme(scheme));
}

} // namespace

bool openInBrowser(const QByteArray &uri) {
    App browser = schemeHandler("https");
    if (!browser)
        browser = schemeHandler("http");
    // A browser known only as the reader of pages must still take an address.
    if (!browser)
        browser = App(g_app_info_get_default_for_type("text/html", TRUE));
    return launch(browser, uri);
}

bool openWithSchemeHandler(const QByteArray &uri) {
    std::unique_ptr<char, decltype(&g_free)> scheme(g_uri_parse_scheme(uri.constData()), g_free);
    return scheme && launch(schemeHandler(scheme.get()), uri);
}

bool openWithDefault(const QByteArray &uri) {
    GError *error = nullptr;
    const gboolean started = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
    g_clear_error(&error);
    return started;
}

bool startDefault(const QByteArray &mimeType) {
    return launch(App(g_app_info_get_default_for_type(mimeType.constData(), FALSE)), QByteArray());
}

} // namespace platform::desktop
