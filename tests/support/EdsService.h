#pragma once
// The desktop's calendar service driven as a calendar application drives it, through its client
// library: calendars added and changed in the registry, events created, changed and removed. For the
// tests that run the real service on a session bus of their own.
#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include <QByteArray>

#include <functional>
#include <map>
#include <string>

namespace kalvix::test {

class EdsService {
public:
    // Called with the service's message whenever a call fails.
    using Failure = std::function<void(const std::string&)>;

    explicit EdsService(Failure failure)
        : m_failure(std::move(failure))
    {
        // The test's bus goes before the process does.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        }
        GError* error = nullptr;
        m_registry = e_source_registry_new_sync(nullptr, &error);
        check(error);
    }
    ~EdsService()
    {
        for (auto& [uid, client] : m_clients)
            g_object_unref(client);
        if (m_registry)
            g_object_unref(m_registry);
    }
    EdsService(const EdsService&) = delete;
    EdsService& operator=(const EdsService&) = delete;

    bool running() const { return m_registry != nullptr; }

    // A calendar of the local kind, as GNOME Calendar's "New Calendar" makes one.
    void addCalendar(const char* uid, const char* name, const char* color, const char* backend = "local")
    {
        GError* error = nullptr;
        ESource* source = e_source_new_with_uid(uid, nullptr, &error);
        check(error);
        e_source_set_parent(source, "local-stub");
        e_source_set_display_name(source, name);
        auto* calendar = static_cast<ESourceCalendar*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
        e_source_backend_set_backend_name(E_SOURCE_BACKEND(calendar), backend);
        e_source_selectable_set_color(E_SOURCE_SELECTABLE(calendar), color);
        e_source_registry_commit_source_sync(m_registry, source, nullptr, &error);
        g_object_unref(source);
        check(error);
    }

    // A CalDAV calendar on a server that asks for no password, as the online accounts make one.
    void addCalDav(const char* uid, const char* name, const char* color, const char* url)
    {
        GError* error = nullptr;
        ESource* source = e_source_new_with_uid(uid, nullptr, &error);
        check(error);
        e_source_set_parent(source, "caldav-stub");
        e_source_set_display_name(source, name);
        auto* calendar = static_cast<ESourceCalendar*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
        e_source_backend_set_backend_name(E_SOURCE_BACKEND(calendar), "caldav");
        e_source_selectable_set_color(E_SOURCE_SELECTABLE(calendar), color);
        GUri* uri = g_uri_parse(url, G_URI_FLAGS_NONE, nullptr);
        auto* webdav = static_cast<ESourceWebdav*>(e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND));
        e_source_webdav_set_uri(webdav, uri);
        auto* auth =
            static_cast<ESourceAuthentication*>(e_source_get_extension(source, E_SOURCE_EXTENSION_AUTHENTICATION));
        e_source_authentication_set_host(auth, g_uri_get_host(uri));
        e_source_authentication_set_port(auth, guint16(g_uri_get_port(uri)));
        e_source_authentication_set_method(auth, "none");
        g_uri_unref(uri);
        auto* offline = static_cast<ESourceOffline*>(e_source_get_extension(source, E_SOURCE_EXTENSION_OFFLINE));
        e_source_offline_set_stay_synchronized(offline, TRUE);
        e_source_registry_commit_source_sync(m_registry, source, nullptr, &error);
        g_object_unref(source);
        check(error);
    }

    // Asks the calendar to fetch its server's news now, as a calendar application's refresh does.
    bool refresh(const char* uid)
    {
        ECalClient* c = client(uid);
        if (!c)
            return false;
        GError* error = nullptr;
        const bool done = e_client_refresh_sync(E_CLIENT(c), nullptr, &error);
        check(error);
        return done;
    }

    void create(const char* uid, const QByteArray& text)
    {
        ICalComponent* component = i_cal_component_new_from_string(text.constData());
        GError* error = nullptr;
        gchar* made = nullptr;
        e_cal_client_create_object_sync(client(uid), component, E_CAL_OPERATION_FLAG_NONE, &made, nullptr, &error);
        g_free(made);
        g_object_unref(component);
        check(error);
    }

    void modify(const char* uid, const QByteArray& text, ECalObjModType mod = E_CAL_OBJ_MOD_ALL)
    {
        ICalComponent* component = i_cal_component_new_from_string(text.constData());
        GError* error = nullptr;
        e_cal_client_modify_object_sync(client(uid), component, mod, E_CAL_OPERATION_FLAG_NONE, nullptr, &error);
        g_object_unref(component);
        check(error);
    }

    void remove(const char* uid, const char* eventUid)
    {
        GError* error = nullptr;
        e_cal_client_remove_object_sync(
            client(uid), eventUid, nullptr, E_CAL_OBJ_MOD_ALL, E_CAL_OPERATION_FLAG_NONE, nullptr, &error);
        check(error);
    }

    // Changes a calendar's source in the registry, as the calendar lists and account settings do.
    template <typename Change> void change(const char* uid, Change change)
    {
        ESource* source = e_source_registry_ref_source(m_registry, uid);
        if (!source) {
            m_failure(std::string("no calendar ") + uid);
            return;
        }
        change(source, static_cast<ESourceSelectable*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR)));
        GError* error = nullptr;
        e_source_write_sync(source, nullptr, &error);
        g_object_unref(source);
        check(error);
    }

private:
    ECalClient* client(const char* uid)
    {
        auto it = m_clients.find(uid);
        if (it != m_clients.end())
            return it->second;
        ESource* source = e_source_registry_ref_source(m_registry, uid);
        if (!source) {
            m_failure(std::string("no calendar ") + uid);
            return nullptr;
        }
        GError* error = nullptr;
        EClient* client =
            e_cal_client_connect_sync(source, E_CAL_CLIENT_SOURCE_TYPE_EVENTS, guint32(-1), nullptr, &error);
        g_object_unref(source);
        check(error);
        return m_clients[uid] = E_CAL_CLIENT(client);
    }

    void check(GError* error)
    {
        if (!error)
            return;
        m_failure(error->message);
        g_error_free(error);
    }

    Failure m_failure;
    ESourceRegistry* m_registry = nullptr;
    std::map<std::string, ECalClient*> m_clients;
};

} // namespace kalvix::test
