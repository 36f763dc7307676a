#pragma once
// One Kalvix per session: the first instance owns a well-known name on the session bus and takes
// requests there; later ones pass their request to it and exit.
#include <QObject>
#include <QString>

#include <functional>

namespace kalvix {

class InstanceBus final : public QObject {
    Q_OBJECT
public:
    static const QString serviceName;
    static const QString objectPath;
    static const QString interfaceName;

    struct Handlers {
        std::function<void()> togglePopover;
        std::function<void()> showSettings;
        std::function<QString()> title;
    };

    explicit InstanceBus(Handlers handlers, QObject* parent = nullptr);

    // Takes the name; false when another instance has it or there is no session bus.
    bool claim();
    bool isClaimed() const { return m_claimed; }

    // Sends a method call to the running instance; false (with `error` set) when none answers.
    static bool call(const QString& method, QString* error = nullptr);

    void togglePopover() { m_handlers.togglePopover(); }
    void showSettings() { m_handlers.showSettings(); }
    QString title() const { return m_handlers.title(); }

private:
    Handlers m_handlers;
    bool m_claimed = false;
};

} // namespace kalvix
