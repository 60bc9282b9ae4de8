// Decoding of the JPEG pictures the windows show.
#ifndef ROTACONF_JPEGIMAGE_H
#define ROTACONF_JPEGIMAGE_H

#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a baseline or progressive JPEG held in memory. A damaged or truncated stream yields a null
// image, never a crash.
QImage DecodeJpeg(const QByteArray &data);

// Decodes one of the pictures built into the program (a Qt resource path such as ":/pictures/logo.jpg").
QImage LoadJpegResource(const QString &path);

#endif
