#pragma once
// The pictures compiled into the program (splash picture, icon). The library
// is static, so their registration is pulled in explicitly.

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace kelvt {

void EnsureResources();

// The program's icon at every size it is drawn in.
QIcon AppIcon();

// The picture at `resource`, or its "@2x" sibling when the screen has at least
// twice as many pixels per point; either way it keeps its logical size.
QPixmap LoadPicture(const QString& resource, qreal device_pixel_ratio);

}  // namespace kelvt
