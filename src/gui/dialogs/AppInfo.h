#pragma once

#include <QString>

#include "version/Version.h"

namespace voxilo {

// The program's name and version information, as the windows show them.
struct AppInfo {
    static QString title() { return QStringLiteral("Voxilo"); }
    // major.minor.revision: "1.1.5".
    static QString version() {
        return QStringLiteral("%1.%2.%3")
            .arg(version::kMajor)
            .arg(version::kMinor)
            .arg(version::kRevision);
    }
    static QString companyName() { return QString::fromUtf8(version::kCompanyName); }
    static QString legalNotice() { return QString::fromUtf8(version::kLegalCopyright); }
};

}  // namespace voxilo
