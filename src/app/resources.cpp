#include "app/resources.h"

#include <QFile>
#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitKelvtResources() { Q_INIT_RESOURCE(kelvt_pictures); }

namespace kelvt {

void EnsureResources() {
  static const bool done = (InitKelvtResources(), true);
  (void)done;
}

QIcon AppIcon() {
  EnsureResources();
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/kelvt/kelvt-%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

QPixmap LoadPicture(const QString& resource, qreal device_pixel_ratio) {
  EnsureResources();
  QPixmap picture;
  if (device_pixel_ratio > 1.0) {
    const int dot = resource.lastIndexOf(QLatin1Char('.'));
    const QString sharp = dot < 0 ? resource + QStringLiteral("@2x")
                                  : resource.left(dot) + QStringLiteral("@2x") + resource.mid(dot);
    if (QFile::exists(sharp) && picture.load(sharp)) {
      picture.setDevicePixelRatio(2.0);
      return picture;
    }
  }
  picture.load(resource);
  return picture;
}

}  // namespace kelvt
