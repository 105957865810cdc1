#pragma once
// Where GBK texts of the core meet Qt's UTF-16 strings. Widgets show and return QStrings;
// everything handed to the core or compared with its texts goes back to GBK here.
#include <QString>
#include <string>
#include <string_view>

namespace corvane {

QString to_qt(std::string_view gbk);
// Characters without a GBK form become "?".
std::string from_qt(const QString& text);

}  // namespace corvane
