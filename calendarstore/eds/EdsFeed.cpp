#include "calendarstore/eds/EdsFeed.h"

#include "desktop/XdgDirs.h"

#include <libecal/libecal.h>
#include <libedataserver/libedataserver.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMetaObject>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace kalvix {

namespace {

constexpr char kRegistryService[] = "org.gnome.evolution.dataserver.Sources5";
// Calendars open without waiting for their server: the view serves what the service has kept, and
// brings the server's news when it connects.
constexpr guint32 kNoConnectWait = guint32(-1);

// GLib hands out strings that the caller frees.
struct GFreeString {
    gchar* text = nullptr;
    explicit GFreeString(gchar* t)
        : text(t)
    {
    }
    ~GFreeString() { g_free(text); }
    GFreeString(const GFreeString&) = delete;
    GFreeString& operator=(const GFreeString&) = delete;
    std::string str() const { return text ? std::string(text) : std::string(); }
};

QString fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// The TZIDs an event's text names, in the forms "TZID=Europe/Paris" and "TZID=\"...\"".
std::set<std::string> namedZones(const std::string& text)
{
    std::set<std::string> out;
    for (std::size_t at = text.find("TZID="); at != std::string::npos; at = text.find("TZID=", at + 5)) {
        std::size_t from = at + 5;
        std::string name;
        if (from < text.size() && text[from] == '"') {
            const std::size_t close = text.find('"', from + 1);
            if (close == std::string::npos)
                break;
            name = text.substr(from + 1, close - from - 1);
        } else {
            const std::size_t stop = text.find_first_of(":;\r\n", from);
            name = text.substr(from, stop == std::string::npos ? std::string::npos : stop - from);
        }
        if (!name.empty())
            out.insert(name);
    }
    return out;
}

} // namespace

// What the worker hands to the feed's thread: immutable once made.
struct EdsFeed::Published {
    bool ready = false;
    std::vector<FeedCalendar> calendars;
    QStringList served;
};

// The service's side: lives on a thread with a main context of its own, where every callback runs.
struct EdsFeed::Worker {
    struct Calendar {
        Worker* worker = nullptr;
        ESource* source = nullptr;
        std::string uid;
        std::string name;
        std::string color;
        ECalClient* client = nullptr;
        ECalClientView* view = nullptr;
        GCancellable* cancel = nullptr;
        // Events by UID and RECURRENCE-ID, as the service gave them.
        std::map<std::pair<std::string, std::string>, std::string> events;
        std::map<std::string, std::string> zones; // VTIMEZONE text by TZID, empty when unknown
        bool complete = false;
        std::string problem;
        std::uint64_t revision = 0;
        std::shared_ptr<const QByteArray> text; // made again when the events change
        bool textStale = true;
        bool closed = false; // a call made for it may still answer: it is kept until the end
    };

    EdsFeed* feed = nullptr;
    Options options;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GCancellable* stopping = nullptr;
    ESourceRegistry* registry = nullptr;
    std::map<std::string, std::unique_ptr<Calendar>> calendars;
    std::vector<std::unique_ptr<Calendar>> closed;
    bool registryTried = false;
    bool patienceOver = false;
    bool readyAnnounced = false;
    guint settleTimer = 0;
    std::uint64_t revisions = 0;
    std::thread thread;

    Worker(EdsFeed* f, Options o)
        : feed(f)
        , options(o)
    {
        context = g_main_context_new();
        loop = g_main_loop_new(context, FALSE);
        stopping = g_cancellable_new();
        thread = std::thread([this] { run(); });
    }

    ~Worker()
    {
        g_cancellable_cancel(stopping);
        // Quit from inside the loop: a quit that came before the loop began to run would be lost.
        GSource* quit = g_idle_source_new();
        g_source_set_callback(
            quit,
            [](gpointer l) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop*>(l));
                return G_SOURCE_REMOVE;
            },
            loop,
            nullptr);
        g_source_attach(quit, context);
        g_source_unref(quit);
        thread.join();
        g_object_unref(stopping);
        g_main_loop_unref(loop);
        g_main_context_unref(context);
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    void run()
    {
        g_main_context_push_thread_default(context);
        // GLib ends the whole process when the session bus closes; a clock outlives it quietly.
        if (GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
            g_dbus_connection_set_exit_on_close(bus, FALSE);
            g_object_unref(bus);
        }
        e_source_registry_new(stopping, &Worker::registryReady, this);
        GSource* patience = g_timeout_source_new(guint(options.patienceMs));
        g_source_set_callback(
            patience,
            [](gpointer self) -> gboolean {
                static_cast<Worker*>(self)->patienceOver = true;
                static_cast<Worker*>(self)->publish();
                return G_SOURCE_REMOVE;
            },
            this,
            nullptr);
        g_source_attach(patience, context);
        g_source_unref(patience);

        g_main_loop_run(loop);

        while (!calendars.empty())
            retire(calendars.begin());
        if (registry) {
            g_signal_handlers_disconnect_by_data(registry, this);
            g_object_unref(registry);
        }
        // Pending callbacks of cancelled calls still hold references: let them run out.
        while (g_main_context_iteration(context, FALSE)) {
        }
        closed.clear();
        g_main_context_pop_thread_default(context);
    }

    static void registryReady(GObject*, GAsyncResult* result, gpointer self)
    {
        GError* error = nullptr;
        ESourceRegistry* registry = e_source_registry_new_finish(result, &error);
        if (error) {
            const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
            g_error_free(error);
            if (cancelled)
                return;
        }
        auto* worker = static_cast<Worker*>(self);
        worker->registryTried = true;
        worker->registry = registry;
        if (registry) {
            g_signal_connect(registry, "source-added", G_CALLBACK(&Worker::sourceNoticed), worker);
            g_signal_connect(registry, "source-changed", G_CALLBACK(&Worker::sourceNoticed), worker);
            g_signal_connect(registry, "source-enabled", G_CALLBACK(&Worker::sourceNoticed), worker);
            g_signal_connect(registry, "source-disabled", G_CALLBACK(&Worker::sourceNoticed), worker);
            g_signal_connect(registry, "source-removed", G_CALLBACK(&Worker::sourceRemoved), worker);
            GList* sources = e_source_registry_list_sources(registry, E_SOURCE_EXTENSION_CALENDAR);
            for (GList* s = sources; s; s = s->next)
                worker->consider(E_SOURCE(s->data));
            g_list_free_full(sources, g_object_unref);
        }
        worker->publish();
    }

    static void sourceNoticed(ESourceRegistry*, ESource* source, gpointer self)
    {
        auto* worker = static_cast<Worker*>(self);
        worker->consider(source);
        worker->scheduleSettle();
    }

    static void sourceRemoved(ESourceRegistry*, ESource* source, gpointer self)
    {
        auto* worker = static_cast<Worker*>(self);
        auto it = worker->calendars.find(e_source_get_uid(source));
        if (it == worker->calendars.end())
            return;
        worker->retire(it);
        worker->publish(); // at once: a calendar that is gone should not linger
    }

    // A calendar source is shown when it and the account it belongs to are enabled and it is selected.
    void consider(ESource* source)
    {
        if (!e_source_has_extension(source, E_SOURCE_EXTENSION_CALENDAR))
            return;
        auto* extension = static_cast<ESourceSelectable*>(e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
        const bool wanted =
            e_source_registry_check_enabled(registry, source) && e_source_selectable_get_selected(extension);
        const std::string uid = e_source_get_uid(source);
        auto it = calendars.find(uid);
        if (!wanted) {
            if (it != calendars.end()) {
                retire(it);
                publish(); // at once: the user just hid it
            }
            return;
        }
        if (it == calendars.end()) {
            auto calendar = std::make_unique<Calendar>();
            calendar->worker = this;
            calendar->source = E_SOURCE(g_object_ref(source));
            calendar->uid = uid;
            it = calendars.emplace(uid, std::move(calendar)).first;
            open(*it->second);
        }
        Calendar& calendar = *it->second;
        calendar.name = GFreeString(e_source_dup_display_name(source)).str();
        calendar.color = GFreeString(e_source_selectable_dup_color(extension)).str();
    }

    void open(Calendar& calendar)
    {
        calendar.cancel = g_cancellable_new();
        e_cal_client_connect(calendar.source,
                             E_CAL_CLIENT_SOURCE_TYPE_EVENTS,
                             kNoConnectWait,
                             calendar.cancel,
                             &Worker::clientConnected,
                             &calendar);
    }

    void retire(std::map<std::string, std::unique_ptr<Calendar>>::iterator it)
    {
        close(*it->second);
        closed.push_back(std::move(it->second));
        calendars.erase(it);
    }

    void close(Calendar& calendar)
    {
        calendar.closed = true;
        calendar.events.clear();
        if (calendar.cancel) {
            g_cancellable_cancel(calendar.cancel);
            g_object_unref(calendar.cancel);
        }
        if (calendar.view) {
            g_signal_handlers_disconnect_by_data(calendar.view, &calendar);
            e_cal_client_view_stop(calendar.view, nullptr);
            g_object_unref(calendar.view);
        }
        if (calendar.client)
            g_object_unref(calendar.client);
        g_object_unref(calendar.source);
        calendar.cancel = nullptr;
        calendar.view = nullptr;
        calendar.client = nullptr;
        calendar.source = nullptr;
    }

    // Failures of calls made for a calendar: cancelled ones say nothing (the calendar may be gone).
    static bool failed(GError* error, Calendar* calendar)
    {
        if (!error)
            return calendar->closed;
        if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) && !calendar->closed) {
            calendar->problem = error->message;
            calendar->complete = true;
            calendar->worker->publish();
        }
        g_error_free(error);
        return true;
    }

    static void clientConnected(GObject*, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        EClient* client = e_cal_client_connect_finish(result, &error);
        auto* calendar = static_cast<Calendar*>(data);
        if (failed(error, calendar)) {
            if (client)
                g_object_unref(client);
            return;
        }
        calendar->client = E_CAL_CLIENT(client);
        e_cal_client_get_view(calendar->client, "#t", calendar->cancel, &Worker::viewMade, calendar);
    }

    static void viewMade(GObject* client, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        ECalClientView* view = nullptr;
        e_cal_client_get_view_finish(E_CAL_CLIENT(client), result, &view, &error);
        auto* calendar = static_cast<Calendar*>(data);
        if (failed(error, calendar)) {
            if (view)
                g_object_unref(view);
            return;
        }
        calendar->view = view;
        g_signal_connect(view, "objects-added", G_CALLBACK(&Worker::eventsAdded), calendar);
        g_signal_connect(view, "objects-modified", G_CALLBACK(&Worker::eventsAdded), calendar);
        g_signal_connect(view, "objects-removed", G_CALLBACK(&Worker::eventsRemoved), calendar);
        g_signal_connect(view, "complete", G_CALLBACK(&Worker::viewComplete), calendar);
        e_cal_client_view_start(view, &error);
        failed(error, calendar);
    }

    static void eventsAdded(ECalClientView*, const GSList* components, gpointer data)
    {
        auto* calendar = static_cast<Calendar*>(data);
        for (const GSList* c = components; c; c = c->next) {
            auto* component = static_cast<ICalComponent*>(c->data);
            const char* uid = i_cal_component_get_uid(component);
            const std::string rid = GFreeString(e_cal_util_component_get_recurid_as_string(component)).str();
            std::string text = GFreeString(i_cal_component_as_ical_string(component)).str();
            for (const std::string& zone : namedZones(text))
                calendar->worker->learnZone(*calendar, zone);
            calendar->events[{uid ? uid : "", rid}] = std::move(text);
        }
        calendar->textStale = true;
        calendar->worker->scheduleSettle();
    }

    static void eventsRemoved(ECalClientView*, const GSList* ids, gpointer data)
    {
        auto* calendar = static_cast<Calendar*>(data);
        for (const GSList* i = ids; i; i = i->next) {
            auto* id = static_cast<ECalComponentId*>(i->data);
            const std::string uid = e_cal_component_id_get_uid(id) ? e_cal_component_id_get_uid(id) : "";
            const char* rid = e_cal_component_id_get_rid(id);
            if (rid && *rid) {
                calendar->events.erase({uid, rid});
                continue;
            }
            // The series goes with all its overrides.
            auto from = calendar->events.lower_bound({uid, std::string()});
            auto to = from;
            while (to != calendar->events.end() && to->first.first == uid)
                ++to;
            calendar->events.erase(from, to);
        }
        calendar->textStale = true;
        calendar->worker->scheduleSettle();
    }

    static void viewComplete(ECalClientView*, const GError* error, gpointer data)
    {
        auto* calendar = static_cast<Calendar*>(data);
        if (error && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            calendar->problem = error->message;
        calendar->complete = true;
        calendar->worker->publish();
    }

    // The VTIMEZONE the calendar keeps for a TZID its events name, asked once per calendar.
    void learnZone(Calendar& calendar, const std::string& tzid)
    {
        if (calendar.zones.count(tzid))
            return;
        std::string text;
        ICalTimezone* zone = nullptr;
        if (e_cal_client_get_timezone_sync(calendar.client, tzid.c_str(), &zone, calendar.cancel, nullptr) && zone) {
            if (ICalComponent* component = i_cal_timezone_get_component(zone)) {
                text = GFreeString(i_cal_component_as_ical_string(component)).str();
                g_object_unref(component);
            }
        }
        calendar.zones.emplace(tzid, std::move(text));
    }

    void scheduleSettle()
    {
        if (settleTimer)
            return;
        GSource* timer = g_timeout_source_new(guint(options.settleMs));
        g_source_set_callback(
            timer,
            [](gpointer self) -> gboolean {
                auto* worker = static_cast<Worker*>(self);
                worker->settleTimer = 0;
                worker->publish();
                return G_SOURCE_REMOVE;
            },
            this,
            nullptr);
        settleTimer = g_source_attach(timer, context);
        g_source_unref(timer);
    }

    static std::shared_ptr<const QByteArray> calendarText(const Calendar& calendar)
    {
        std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix//calendar service//EN\r\n";
        for (const auto& [tzid, zone] : calendar.zones)
            text += zone;
        for (const auto& [key, event] : calendar.events)
            text += event;
        text += "END:VCALENDAR\r\n";
        return std::make_shared<const QByteArray>(text.data(), qsizetype(text.size()));
    }

    bool allComplete() const
    {
        return std::all_of(calendars.begin(), calendars.end(), [](const auto& c) { return c.second->complete; });
    }

    void publish()
    {
        if (settleTimer) {
            g_source_destroy(g_main_context_find_source_by_id(context, settleTimer));
            settleTimer = 0;
        }
        auto published = std::make_shared<Published>();
        published->ready = readyAnnounced = readyAnnounced || (registryTried && (patienceOver || allComplete()));
        if (!published->ready)
            return;
        if (registry) {
            const QString data = dataHome();
            if (!data.isEmpty())
                published->served.append(data + QStringLiteral("/evolution/calendar/system/calendar.ics"));
        }
        for (auto& [uid, calendar] : calendars) {
            FeedCalendar out;
            out.id = QStringLiteral("eds:") + fromUtf8(uid);
            out.name = fromUtf8(calendar->name);
            out.color = CalendarColor::fromName(fromUtf8(calendar->color));
            out.problem = fromUtf8(calendar->problem);
            if (calendar->view) {
                if (calendar->textStale) {
                    calendar->text = calendarText(*calendar);
                    calendar->revision = ++revisions;
                    calendar->textStale = false;
                }
                out.text = calendar->text;
                out.revision = calendar->revision;
            }
            published->calendars.push_back(std::move(out));
        }
        // As the desktop's calendar lists show them: by name.
        std::stable_sort(
            published->calendars.begin(), published->calendars.end(), [](const FeedCalendar& a, const FeedCalendar& b) {
                return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
            });
        QMetaObject::invokeMethod(
            feed,
            [feed = feed, published = std::shared_ptr<const Published>(std::move(published))] {
                feed->take(published);
            },
            Qt::QueuedConnection);
    }
};

bool EdsFeed::serviceAvailable()
{
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus)
        return false;
    const QString name = QLatin1String(kRegistryService);
    if (bus->isServiceRegistered(name))
        return true;
    const QDBusReply<QStringList> activatable = bus->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(name);
}

std::unique_ptr<EdsFeed> EdsFeed::ifAvailable(QObject* parent)
{
    if (!serviceAvailable())
        return nullptr;
    return std::make_unique<EdsFeed>(Options{}, parent);
}

EdsFeed::EdsFeed(Options options, QObject* parent)
    : CalendarFeed(parent)
    , m_published(std::make_shared<Published>())
    , m_worker(std::make_unique<Worker>(this, options))
{
}

EdsFeed::~EdsFeed() = default;

void EdsFeed::take(std::shared_ptr<const Published> published)
{
    m_published = std::move(published);
    Q_EMIT changed();
}

bool EdsFeed::ready() const
{
    return m_published->ready;
}

std::vector<FeedCalendar> EdsFeed::calendars() const
{
    return m_published->calendars;
}

QStringList EdsFeed::servedFiles() const
{
    return m_published->served;
}

} // namespace kalvix
