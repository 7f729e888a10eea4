#pragma once

// Texts between the program (UTF-8 std::string) and Qt.

#include <QString>

#include <string>

namespace lumvik {

inline QString q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string s(const QString& q) {
    return q.toStdString();
}

}  // namespace lumvik
