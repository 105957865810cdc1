#include "ui/qt_text.h"

#include "platform/codepage.h"

namespace corvane {

QString to_qt(std::string_view gbk) {
  const std::string utf8 = platform::gbk_to_utf8(gbk);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string from_qt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return platform::utf8_to_gbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace corvane
