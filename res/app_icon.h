// The application icon: a certificate sheet with a seal and a quill, drawn at any size.
#pragma once

#include <QIcon>
#include <QImage>

QImage DrawQuilletIcon(int size);

// The icon in the sizes a desktop asks for (16 to 256 pixels).
QIcon QuilletIcon();
