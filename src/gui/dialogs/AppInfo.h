#pragma once

#include <QString>

namespace voxilo {

// The program's name and version information, as the windows show them.
struct AppInfo {
    static QString title() { return QStringLiteral("Voxilo"); }
    static QString version() { return QStringLiteral("1.1.5"); }
    static QString companyName() { return QStringLiteral("Quorvel Software"); }
    static QString legalNotice() { return QStringLiteral("Copyright (C) Quorvel Software"); }
};

}  // namespace voxilo
