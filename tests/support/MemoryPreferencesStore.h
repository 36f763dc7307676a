#pragma once
// A preferences store that keeps everything in memory. Counts persisted writes and can be told to
// fail them, so tests can see what would reach the disk.
#include "prefs/PreferencesStore.h"

namespace kalvix::test {

class MemoryPreferencesStore final : public PreferencesStore {
    Q_OBJECT
public:
    MemoryPreferencesStore() = default;

    int persistCount() const { return m_persistCount; }
    void setFailWrites(bool fail) { m_failWrites = fail; }
    // As if another process had edited the stored values.
    void simulateExternalEdit(const RawValues& values) { replaceAll(values); }
    RawValues stored() const { return snapshot(); }

protected:
    bool persist(const RawValues&, const QString&) override
    {
        ++m_persistCount;
        return !m_failWrites;
    }

private:
    int m_persistCount = 0;
    bool m_failWrites = false;
};

} // namespace kalvix::test
