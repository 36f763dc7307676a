#include "display/SwayIpc.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

namespace kalvix {
namespace {

constexpr quint32 kRunCommand = 0;
constexpr quint32 kGetTree = 4;
constexpr int kTimeoutMs = 500; // a local socket: the compositor answers at once or not at all
const QByteArray kMagic = QByteArrayLiteral("i3-ipc");

QRect rectOf(const QJsonObject& node)
{
    const QJsonObject r = node.value(QStringLiteral("rect")).toObject();
    return QRect(r.value(QStringLiteral("x")).toInt(),
                 r.value(QStringLiteral("y")).toInt(),
                 r.value(QStringLiteral("width")).toInt(),
                 r.value(QStringLiteral("height")).toInt());
}

// Walks the tree for the window, remembering the output and workspace on the way down.
bool findIn(const QJsonObject& node, qint64 pid, const QString& title, SwayIpc::Placement& found)
{
    const QString type = node.value(QStringLiteral("type")).toString();
    if (type == u"output")
        found.output = rectOf(node);
    else if (type == u"workspace")
        found.workspace = rectOf(node);
    if (node.value(QStringLiteral("pid")).toInteger() == pid &&
        node.value(QStringLiteral("name")).toString().startsWith(title)) {
        found.window = rectOf(node);
        return true;
    }
    for (const char* children : {"nodes", "floating_nodes"})
        for (const QJsonValue& child : node.value(QLatin1String(children)).toArray())
            if (findIn(child.toObject(), pid, title, found))
                return true;
    return false;
}

} // namespace

SwayIpc::SwayIpc()
{
    const QByteArray path = qgetenv("SWAYSOCK");
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{0, kTimeoutMs * 1000};
    if (m_socket < 0 || ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0 ||
        ::setsockopt(m_socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout) != 0 ||
        ::connect(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }
}

SwayIpc::~SwayIpc()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

bool SwayIpc::isConnected() const
{
    return m_socket >= 0;
}

bool SwayIpc::exchange(const QByteArray& out, QByteArray& in, qsizetype size)
{
    for (qsizetype done = 0; done < out.size();) {
        const ssize_t n = ::send(m_socket, out.constData() + done, size_t(out.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    in.resize(size);
    for (qsizetype done = 0; done < size;) {
        const ssize_t n = ::recv(m_socket, in.data() + done, size_t(size - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

std::optional<QJsonDocument> SwayIpc::request(quint32 type, const QByteArray& payload)
{
    if (!isConnected())
        return std::nullopt;
    QByteArray message = kMagic;
    const auto length = static_cast<quint32>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4); // the compositor's own byte order
    message.append(reinterpret_cast<const char*>(&type), 4);
    message.append(payload);
    QByteArray header;
    if (!exchange(message, header, kMagic.size() + 8) || !header.startsWith(kMagic))
        return std::nullopt;
    quint32 replyLength = 0;
    std::memcpy(&replyLength, header.constData() + kMagic.size(), 4);
    QByteArray body;
    if (replyLength > 64u * 1024 * 1024 || !exchange({}, body, qsizetype(replyLength)))
        return std::nullopt;
    return QJsonDocument::fromJson(body);
}

bool SwayIpc::command(const QString& commands)
{
    const auto reply = request(kRunCommand, commands.toUtf8());
    if (!reply || !reply->isArray() || reply->array().isEmpty())
        return false;
    for (const QJsonValue& result : reply->array())
        if (!result.toObject().value(QStringLiteral("success")).toBool())
            return false;
    return true;
}

std::optional<SwayIpc::Placement> SwayIpc::find(qint64 pid, const QString& title)
{
    const auto tree = request(kGetTree, {});
    Placement found;
    if (!tree || !findIn(tree->object(), pid, title, found))
        return std::nullopt;
    return found;
}

QString SwayIpc::criteria(qint64 pid, const QString& title)
{
    // The title is Kalvix's own, without characters that a pattern or the command parser would read.
    return QStringLiteral("[pid=%1 title=\"^%2\"]").arg(pid).arg(title);
}

QString SwayIpc::moveCommand(qint64 pid, const QString& title, QPoint topLeft)
{
    return criteria(pid, title) +
           QStringLiteral(" floating enable, move absolute position %1 %2").arg(topLeft.x()).arg(topLeft.y());
}

} // namespace kalvix
