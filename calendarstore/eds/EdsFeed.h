#pragma once
// The desktop's calendar service (Evolution Data Server) as a calendar feed: every calendar that is
// enabled in its registry and selected for display there (the flag GNOME Calendar's and Evolution's
// calendar lists switch), with the name and colour the user gave it, and its events as iCalendar
// text with the time zones they name.
//
// The service is watched live: calendars that come, go, are enabled, disabled, selected or
// recoloured, and events that any program creates, changes or removes, show after a short settle.
// All talk with the service happens on a thread of the feed's own, so a slow or unreachable calendar
// (a CalDAV server that does not answer) never holds up the caller; a calendar that cannot be opened
// is listed with its problem and the others still show. The feed is ready once every calendar has
// loaded or failed, or after `patienceMs`, whichever comes first.
//
// Evolution's local calendar file is served by the service, so the feed names it for the file store
// to leave out.
#include "calendarstore/CalendarFeed.h"

#include <memory>

namespace kalvix {

class EdsFeed final : public CalendarFeed {
    Q_OBJECT
public:
    struct Options {
        int patienceMs = 5000; // how long the first look may wait for slow calendars
        int settleMs = 100;    // a burst of changes is announced once, this long after it ends
    };

    // Nothing when the session bus has no calendar service, neither running nor activatable: then
    // Kalvix reads files only, as on any desktop without it.
    static std::unique_ptr<EdsFeed> ifAvailable(QObject* parent = nullptr);
    static bool serviceAvailable();

    explicit EdsFeed(Options options, QObject* parent = nullptr);
    ~EdsFeed() override;
    EdsFeed(const EdsFeed&) = delete;
    EdsFeed& operator=(const EdsFeed&) = delete;

    bool ready() const override;
    std::vector<FeedCalendar> calendars() const override;
    QStringList servedFiles() const override;

private:
    struct Worker;
    struct Published;
    void take(std::shared_ptr<const Published> published);

    std::shared_ptr<const Published> m_published;
    std::unique_ptr<Worker> m_worker;
};

} // namespace kalvix
