#include "gui/help/HelpFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace voxilo {
namespace {

const QString kMagic = QStringLiteral("Voxilo help 1");
const QString kFileName = QStringLiteral("Vx_lo.hlp");

// A help file is a few dozen kilobytes; anything far beyond is not one.
constexpr qint64 kLargestFile = 16 * 1024 * 1024;

QString directive(const QString& line, const QString& name) {
    if (!line.startsWith(name)) return {};
    return line.mid(name.size()).trimmed();
}

}  // namespace

HelpFile HelpFile::load(const QString& path) {
    HelpFile help;
    QFile file(path);
    if (!file.exists()) {
        help.status_ = Status::Missing;
        return help;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) {
        help.status_ = Status::Unreadable;
        return help;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        help.status_ = Status::Unreadable;
        return help;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    if (utf8.hasError()) return help;  // not UTF-8: not ours
    return parse(text);
}

HelpFile HelpFile::parse(const QString& text, System system) {
    HelpFile help;
    QStringList lines;
    // Under an ".if", the system its lines belong to.
    bool conditional = false;
    System only = system;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString condition = line.trimmed();
        if (condition == QStringLiteral(".if windows") ||
            condition == QStringLiteral(".if linux")) {
            if (conditional) return help;  // no nesting
            conditional = true;
            only = condition.endsWith(QStringLiteral("windows")) ? System::Windows : System::Linux;
            continue;
        }
        if (condition == QStringLiteral(".endif")) {
            if (!conditional) return help;
            conditional = false;
            continue;
        }
        if (!conditional || only == system) lines.append(line);
    }
    if (conditional || lines.isEmpty() || lines.front().trimmed() != kMagic) return help;

    HelpTopic* topic = nullptr;
    bool inHeader = false;  // between a ".topic" line and the first line of its text
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (const QString id = directive(line, QStringLiteral(".topic ")); !id.isEmpty()) {
            help.topics_.push_back(HelpTopic{id, id, {}, {}});
            topic = &help.topics_.back();
            inHeader = true;
            continue;
        }
        if (topic == nullptr) {
            if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#'))) return {};
            continue;
        }
        if (inHeader) {
            if (const QString title = directive(line, QStringLiteral(".title "));
                !title.isEmpty()) {
                topic->title = title;
                continue;
            }
            if (line.startsWith(QStringLiteral(".keywords "))) {
                for (const QString& word : line.mid(10).split(QLatin1Char(';'))) {
                    if (!word.trimmed().isEmpty()) topic->keywords.append(word.trimmed());
                }
                continue;
            }
            inHeader = false;
        }
        topic->body += line + QLatin1Char('\n');
    }
    if (help.topics_.empty()) return {};
    help.status_ = Status::Loaded;
    return help;
}

const HelpTopic* HelpFile::find(const QString& id) const {
    for (const HelpTopic& topic : topics_) {
        if (topic.id == id) return &topic;
    }
    return nullptr;
}

QString helpFilePath(const QString& programFolder) {
    const QString beside = QDir::toNativeSeparators(programFolder + QLatin1Char('/')) + kFileName;
    if (!QFileInfo::exists(beside)) {
        const QString installed = QDir::cleanPath(
            programFolder + QStringLiteral("/" VOXILO_INSTALLED_HELP_FOLDER "/") + kFileName);
        if (QFileInfo::exists(installed)) return QDir::toNativeSeparators(installed);
    }
    return beside;
}

}  // namespace voxilo
