#include "qt/fonts.h"

#include <QFontDatabase>
#include <QStringList>

#include "qt/text_convert.h"

namespace korvix::ui::qt {
namespace {

// Where Debian's fonts-wine puts its Tahoma look-alike. Only the regular
// face: the bold one that comes with it draws other letters at the regular
// stroke weight, so a bold text in it does not look bold. Without it, Qt
// draws bold by emboldening the regular face.
constexpr const char* kTahomaFile = "/usr/share/wine/fonts/tahoma.ttf";

// DejaVu Sans is wider than Tahoma, but it has every German letter and comes
// with the setup script's packages.
constexpr const char* kFallbackFamilies[] = {"DejaVu Sans"};

// The installed family named `family`, in the database's spelling; empty
// when there is none.
QString Installed(const QString& family) {
  // families() rather than hasFamily(): the latter follows fontconfig's
  // substitutions and so finds "Tahoma" on machines without it.
  for (const QString& installed : QFontDatabase::families()) {
    if (installed.compare(family, Qt::CaseInsensitive) == 0) return installed;
  }
  return QString();
}

QString LoadTahomaLookAlike() {
  const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(kTahomaFile));
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? QString() : families.front();
}

}  // namespace

QString ResolveFontFamily(std::string_view wanted) {
  const QString family = ToQString(wanted);
  if (const QString installed = Installed(family); !family.isEmpty() && !installed.isEmpty()) {
    return installed;
  }
  if (family.compare(QStringLiteral("Tahoma"), Qt::CaseInsensitive) == 0) {
    const QString look_alike = LoadTahomaLookAlike();
    if (!look_alike.isEmpty()) return look_alike;
  }
  for (const char* fallback : kFallbackFamilies) {
    if (const QString installed = Installed(QString::fromUtf8(fallback)); !installed.isEmpty()) {
      return installed;
    }
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont ToQFont(const Font& font) {
  QFont q(ResolveFontFamily(font.name));
  if (font.size_points > 0) q.setPointSizeF(font.size_points);
  q.setBold(font.bold);
  return q;
}

}  // namespace korvix::ui::qt
