#pragma once
// Asks a sway (or i3-compatible) compositor to place one of Kalvix's windows. Wayland gives a client
// no say over where its windows go; sway takes commands on its IPC socket ($SWAYSOCK), so on sway the
// popover still opens next to the item or the pointer. Elsewhere this does nothing.
#include <QJsonDocument>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace kalvix {

class SwayIpc {
public:
    // Connects to $SWAYSOCK; isConnected() is false without one.
    SwayIpc();
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    bool isConnected() const;

    // Runs commands; false when the compositor did not carry them all out (no such window yet).
    bool command(const QString& commands);

    // Geometry of the window matching `title` of process `pid`, and of its output and the part of it
    // that bars leave free (the workspace).
    struct Placement {
        QRect window;
        QRect output;
        QRect workspace;
    };
    std::optional<Placement> find(qint64 pid, const QString& title);

    // The commands that move such a window to `topLeft` (layout coordinates) as a floating window.
    static QString moveCommand(qint64 pid, const QString& title, QPoint topLeft);
    // The criteria that pick that window.
    static QString criteria(qint64 pid, const QString& title);

private:
    std::optional<QJsonDocument> request(quint32 type, const QByteArray& payload);
    // Sends `out` whole, then reads exactly `size` bytes into `in`.
    bool exchange(const QByteArray& out, QByteArray& in, qsizetype size);

    int m_socket = -1;
};

} // namespace kalvix
