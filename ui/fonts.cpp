#include "fonts.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>

namespace kalvera {
namespace {

// Only the regular face: the bold file of fonts-wine draws regular-weight strokes on wider
// advances, so bold text looked plain. Qt emboldens the regular face instead, which reads as
// bold, as the design wants.
constexpr char kTahomaFile[] = "/usr/share/wine/fonts/tahoma.ttf";

}  // namespace

void EnsureWindowFonts() {
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) {
        return;
    }
    const QString path = QString::fromLatin1(kTahomaFile);
    if (QFile::exists(path)) {
        QFontDatabase::addApplicationFont(path);
    }
}

}  // namespace kalvera
