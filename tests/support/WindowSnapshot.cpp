#include "support/WindowSnapshot.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStringList>

#include "gui/main/MainWindow.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sqlite3.h>
#endif

namespace voxilo::testing_support {
namespace {

// Text and bytes as one readable line: breaks, controls and bytes past ASCII escaped.
QString shownText(const QString& text) {
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\r')) {
            shown += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\n')) {
            shown += QStringLiteral("\\n");
        } else if (c == QLatin1Char('\\')) {
            shown += QStringLiteral("\\\\");
        } else if (c.unicode() < 0x20) {
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

QString shownBytes(const QByteArray& bytes) {
    QString shown;
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0x20 && b < 0x7f && b != '\\') {
            shown += QLatin1Char(static_cast<char>(b));
        } else {
            shown += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0'));
        }
    }
    return shown;
}

QString q(const std::u16string& text) { return shownText(QString::fromStdU16String(text)); }
QString flag(bool on) { return on ? QStringLiteral("yes") : QStringLiteral("no"); }

#ifdef _WIN32
void readKey(HKEY parent, const std::wstring& path, const QString& shownPath,
             QMap<QString, QString>& fields) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        BYTE data[8192];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS) {
            break;
        }
        fields.insert(QStringLiteral("store %1\\%2")
                          .arg(shownPath, QString::fromWCharArray(name, nameLength).toLower()),
                      shownBytes(QByteArray(reinterpret_cast<const char*>(data),
                                            static_cast<int>(dataLength))));
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring sub(name, nameLength);
        readKey(key, sub, shownPath + QLatin1Char('\\') + QString::fromStdWString(sub).toLower(),
                fields);
    }
    RegCloseKey(key);
}
#endif

// Every stored value, by its key's path and its name (both folded: the store ignores case).
void readStore([[maybe_unused]] const QString& storeFile, QMap<QString, QString>& fields) {
#ifdef _WIN32
    const std::u16string path(kSettingsKeyPath);
    readKey(HKEY_CURRENT_USER, std::wstring(path.begin(), path.end()), QStringLiteral("settings"),
            fields);
#else
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(storeFile).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        fields.insert(QStringLiteral("store"), QStringLiteral("(cannot be read)"));
        return;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* select = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT keys.path, vals.name, vals.type, vals.data FROM vals "
                           "JOIN keys ON keys.id = vals.key",
                           -1, &select, nullptr) == SQLITE_OK) {
        while (sqlite3_step(select) == SQLITE_ROW) {
            const auto text = [select](int column) {
                return QString::fromUtf8(
                    reinterpret_cast<const char*>(sqlite3_column_text(select, column)));
            };
            const QByteArray data(static_cast<const char*>(sqlite3_column_blob(select, 3)),
                                  sqlite3_column_bytes(select, 3));
            QString key = text(0).toLower();
            const QString settings = QString::fromStdU16String(std::u16string(kSettingsKeyPath));
            if (key.startsWith(settings.toLower())) {
                key = QStringLiteral("settings") + key.mid(settings.size());
            }
            fields.insert(QStringLiteral("store %1\\%2").arg(key, text(1).toLower()),
                          shownBytes(data));
        }
    } else {
        fields.insert(QStringLiteral("store"), QStringLiteral("(no tables)"));
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
#endif
}

}  // namespace

WindowSnapshot WindowSnapshot::take(const MainWindow& window, const AppState& state,
                                    const ProgramSettings& settings, const QString& storeFile,
                                    const QString& folder) {
    WindowSnapshot snapshot;
    QMap<QString, QString>& f = snapshot.fields;
    f.insert(QStringLiteral("caption"), window.windowTitle());
    const QWidget* focus = window.focusWidget();
    f.insert(QStringLiteral("focus"), focus ? focus->objectName() : QStringLiteral("(none)"));
    f.insert(QStringLiteral("top text"), shownText(window.topPane()->toPlainText()));
    f.insert(QStringLiteral("bottom text"), shownText(window.bottomPane()->toPlainText()));
    f.insert(QStringLiteral("top path"), q(state.topPath));
    f.insert(QStringLiteral("bottom path"), q(state.bottomPath));
    f.insert(QStringLiteral("top has file"), flag(state.topHasFile));
    f.insert(QStringLiteral("top modified"), flag(state.topModified));
    f.insert(QStringLiteral("bottom modified"), flag(state.bottomModified));
    const auto encoding = [](TextEncoding e) {
        return QString::fromUtf8(encodingName(e).data(),
                                 static_cast<qsizetype>(encodingName(e).size()));
    };
    f.insert(QStringLiteral("top encoding"), encoding(state.topEncoding));
    f.insert(QStringLiteral("bottom encoding"), encoding(state.bottomEncoding));
    for (const QLabel* label : window.statusBar()->findChildren<QLabel*>()) {
        if (label->objectName().isEmpty() || label->objectName() == QLatin1String("clock"))
            continue;
        f.insert(QStringLiteral("status %1").arg(label->objectName()),
                 label->text() + QStringLiteral(" (") + label->accessibleName() + QLatin1Char(')'));
    }
    f.insert(QStringLiteral("user"), q(state.currentUser));
    f.insert(QStringLiteral("key code"), QString::number(state.keyCode));
    f.insert(QStringLiteral("pattern"), QString::number(state.pattern));
    QStringList names;
    for (const std::u16string& name : state.userNames) names << q(name);
    f.insert(QStringLiteral("user names"), names.join(QLatin1Char('|')));
    f.insert(QStringLiteral("exit requested"), flag(state.exitRequested));
    f.insert(QStringLiteral("options tab"), QString::number(state.optionsTab));
    f.insert(QStringLiteral("command-line file"), q(state.commandLineFile));

    f.insert(QStringLiteral("dialogs' folder"), q(settings.currentPath));
    f.insert(QStringLiteral("startup"), QString::number(settings.startup));
    f.insert(QStringLiteral("retry"), QString::number(settings.retry));
    f.insert(QStringLiteral("show toolbar"), QString::number(settings.showToolbar));
    f.insert(QStringLiteral("show status bar"), QString::number(settings.showStatusbar));
    f.insert(QStringLiteral("font"),
             QStringLiteral("%1 %2%3%4")
                 .arg(q(settings.fontName))
                 .arg(settings.fontSize)
                 .arg(settings.fontBold ? QStringLiteral(" bold") : QString())
                 .arg(settings.fontItalic ? QStringLiteral(" italic") : QString()));

    for (const QAction* action : window.findChildren<QAction*>()) {
        if (action->objectName().isEmpty()) continue;
        QString value = action->isEnabled() ? QStringLiteral("on") : QStringLiteral("off");
        if (action->isCheckable())
            value +=
                action->isChecked() ? QStringLiteral(", checked") : QStringLiteral(", unchecked");
        if (!action->isVisible()) value += QStringLiteral(", hidden");
        QString name = QStringLiteral("command %1").arg(action->objectName());
        while (f.contains(name)) name += QLatin1Char('\'');
        f.insert(name, value);
    }

    readStore(storeFile, f);

    if (!folder.isEmpty()) {
        const QDir dir(folder);
        for (const QString& name :
             dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            QFile file(dir.filePath(name));
            const QFileInfo info(file);
            QString value;
            if (info.isDir()) {
                value = QStringLiteral("(folder)");
            } else if (!info.isFile()) {
                value = QStringLiteral("(not a regular file)");
            } else if (file.open(QIODevice::ReadOnly)) {
                value = shownBytes(file.readAll());
            } else {
                value = QStringLiteral("(cannot be read)");
            }
            f.insert(QStringLiteral("file %1").arg(name), value);
        }
    }
    return snapshot;
}

QString unexpectedChanges(const WindowSnapshot& before, const WindowSnapshot& after,
                          const QMap<QString, QString>& expected) {
    static const QString kAbsent = QStringLiteral("(absent)");
    QStringList problems;
    QStringList keys = before.fields.keys() + after.fields.keys() + expected.keys();
    keys.removeDuplicates();
    keys.sort();
    for (const QString& key : keys) {
        const QString was = before.fields.value(key, kAbsent);
        const QString is = after.fields.value(key, kAbsent);
        if (expected.contains(key)) {
            const QString wanted = expected.value(key);
            if (is != wanted) {
                problems << QStringLiteral("%1: %2 → %3, expected → %4").arg(key, was, is, wanted);
            } else if (was == is) {
                problems << QStringLiteral("%1: stayed %2, expected to change").arg(key, was);
            }
        } else if (was != is) {
            problems << QStringLiteral("%1: %2 → %3, expected no change").arg(key, was, is);
        }
    }
    return problems.join(QLatin1Char('\n'));
}

}  // namespace voxilo::testing_support
