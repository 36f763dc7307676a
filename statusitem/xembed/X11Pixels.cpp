#include "statusitem/xembed/X11Pixels.h"

#include "statusitem/xembed/XcbReply.h"

#include <QtEndian>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>

namespace kalvix {
namespace {

// X servers may take pixels most significant byte first; Qt's 32-bit formats are native order.
void toServerOrder(xcb_connection_t* c, QImage& image)
{
    const bool swap = (xcb_get_setup(c)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) !=
                      (QSysInfo::ByteOrder == QSysInfo::LittleEndian);
    if (!swap)
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qbswap(line[x]);
    }
}

} // namespace

QImage readX11Pixels(xcb_connection_t* c, quint32 drawable, QRect rect, QImage::Format format)
{
    if (rect.isEmpty())
        return {};
    const xcb_get_image_cookie_t cookie = xcb_get_image(c,
                                                        XCB_IMAGE_FORMAT_Z_PIXMAP,
                                                        drawable,
                                                        static_cast<int16_t>(rect.x()),
                                                        static_cast<int16_t>(rect.y()),
                                                        static_cast<uint16_t>(rect.width()),
                                                        static_cast<uint16_t>(rect.height()),
                                                        ~0u);
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(c, cookie, nullptr));
    const qsizetype rowBytes = qsizetype(rect.width()) * 4;
    if (!reply || xcb_get_image_data_length(reply.get()) < rowBytes * rect.height())
        return {};
    QImage image(rect.size(), format);
    const uint8_t* data = xcb_get_image_data(reply.get());
    for (int y = 0; y < rect.height(); ++y)
        std::memcpy(image.scanLine(y), data + y * rowBytes, size_t(rowBytes));
    toServerOrder(c, image); // the same swap both ways
    return image;
}

void writeX11Pixels(xcb_connection_t* c, quint32 window, quint8 depth, const QImage& source)
{
    QImage image = source.convertToFormat(depth == 32 ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    toServerOrder(c, image);
    const quint32 gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, window, 0, nullptr);
    const qsizetype rowBytes = qsizetype(image.width()) * 4;
    const qsizetype limit = qsizetype(xcb_get_maximum_request_length(c)) * 4 - 64;
    const int rows = std::max<int>(1, static_cast<int>(limit / rowBytes));
    for (int y = 0; y < image.height(); y += rows) {
        const int band = std::min(rows, image.height() - y);
        xcb_put_image(c,
                      XCB_IMAGE_FORMAT_Z_PIXMAP,
                      window,
                      gc,
                      static_cast<uint16_t>(image.width()),
                      static_cast<uint16_t>(band),
                      0,
                      static_cast<int16_t>(y),
                      0,
                      depth,
                      static_cast<quint32>(rowBytes * band),
                      image.constScanLine(y));
    }
    xcb_free_gc(c, gc);
    xcb_flush(c);
}

} // namespace kalvix
