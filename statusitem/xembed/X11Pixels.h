#pragma once
// Pixels to and from an X server for windows that are Kalvix's own and not the toolkit's: read back as
// QImages, written in bands that fit the server's request size. 32 bits per pixel (depth 24 or 32), in
// the byte order the server asks for.
#include <QImage>
#include <QRect>

struct xcb_connection_t;

namespace kalvix {

// The pixels of `rect` in a drawable, in `format` (RGB32 or ARGB32_Premultiplied); null when the server
// cannot give them (the drawable is not viewable, the rectangle is off it).
QImage readX11Pixels(xcb_connection_t* connection, quint32 drawable, QRect rect, QImage::Format format);

// Puts `image` into a window of `depth` (24 or 32) at its top-left.
void writeX11Pixels(xcb_connection_t* connection, quint32 window, quint8 depth, const QImage& image);

} // namespace kalvix
