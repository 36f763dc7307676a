#pragma once
// A view's hold on one preference: reads the key with the view's fallback, writes it at once, and emits
// changed() whenever the key changes, whoever wrote it (this view, another view, another process or the
// user's editor, as the store announces them).
//
// The value is read from the store at every value() call, so it is never stale; changed() is emitted only
// when the value the view sees differs from the last one it was told about.
#include <QObject>
#include <QString>

namespace kalvix {
class PreferencesStore;
}

namespace kalvix::ui {

class PreferenceBinding : public QObject {
    Q_OBJECT
public:
    const QString& key() const { return m_key; }
    PreferencesStore& store() const { return m_store; }

Q_SIGNALS:
    void changed();

protected:
    PreferenceBinding(PreferencesStore& store, QString key, QObject* parent);
    // Called on every announcement of the key; returns whether the value the view sees changed.
    virtual bool refresh() = 0;

private:
    PreferencesStore& m_store;
    QString m_key;
};

class BoolBinding final : public PreferenceBinding {
    Q_OBJECT
public:
    BoolBinding(PreferencesStore& store, QString key, bool fallback, QObject* parent = nullptr);
    bool value() const;
    // Writes at once; returns whether the value reached persistent storage (it is in effect either way).
    bool set(bool value);

protected:
    bool refresh() override;

private:
    bool m_fallback;
    bool m_last;
};

class IntBinding final : public PreferenceBinding {
    Q_OBJECT
public:
    IntBinding(PreferencesStore& store, QString key, int fallback, QObject* parent = nullptr);
    int value() const;
    bool set(int value);

protected:
    bool refresh() override;

private:
    int m_fallback;
    int m_last;
};

class StringBinding final : public PreferenceBinding {
    Q_OBJECT
public:
    StringBinding(PreferencesStore& store, QString key, QString fallback, QObject* parent = nullptr);
    QString value() const;
    bool set(const QString& value);

protected:
    bool refresh() override;

private:
    QString m_fallback;
    QString m_last;
};

} // namespace kalvix::ui
