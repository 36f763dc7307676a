#pragma once
// Keeps the running Kalvix's current title in the title file (TitleCache) for `kalvix --print-title`:
// written when the title changes, removed when Kalvix ends.
#include <QObject>
#include <QString>

#include <string>

namespace kalvix {

class ClockModel;

class TitlePublisher final : public QObject {
    Q_OBJECT
public:
    TitlePublisher(ClockModel& clock, std::string path, QObject* parent = nullptr);
    ~TitlePublisher() override;

    // Writes `title` as current from the clock's present moment.
    void publish(const QString& title);

private:
    ClockModel& m_clock;
    std::string m_path;
    std::string m_environment;
};

} // namespace kalvix
