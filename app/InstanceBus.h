#pragma once
// One Kalvix per session: the first instance owns a well-known name on the session bus and takes
// requests there; later ones pass their request to it and exit.
#include <QDBusContext>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace kalvix {

class InstanceBus final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    static const QString serviceName;
    static const QString objectPath;
    static const QString interfaceName;

    // The agenda command's output and exit status (see calendar/AgendaCommand.h).
    using AgendaAnswer = std::pair<QString, int>;

    struct Handlers {
        std::function<void()> togglePopover;
        std::function<void()> showSettings;
        std::function<QString()> title;
        // Calls `answer` once the calendars are loaded (at once when they are).
        std::function<void(bool json, std::function<void(AgendaAnswer)> answer)> agenda;
    };

    explicit InstanceBus(Handlers handlers, QObject* parent = nullptr);

    // Takes the name; false when another instance has it or there is no session bus. An instance that
    // holds the name but does not answer (it is ending) is waited for, up to five seconds, and
    // succeeded.
    bool claim();
    bool isClaimed() const { return m_claimed; }

    // Sends a method call to the running instance; false (with `error` set) when none answers.
    static bool call(const QString& method, QString* error = nullptr);
    // The running instance's agenda, from its calendars once they are loaded; nothing when no instance
    // answers within `timeoutMs`.
    static std::optional<AgendaAnswer> callAgenda(bool json, int timeoutMs);

    void togglePopover() { m_handlers.togglePopover(); }
    void showSettings() { m_handlers.showSettings(); }
    QString title() const { return m_handlers.title(); }
    // Within a call from the bus: its reply goes when the handler answers.
    void replyWithAgenda(bool json);

private:
    Handlers m_handlers;
    bool m_claimed = false;
};

} // namespace kalvix
