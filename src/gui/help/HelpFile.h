#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace voxilo {

// One page of the help: its name for links, its title, the words it is found under in the
// keyword search, and its text as simple HTML.
struct HelpTopic {
    QString id;
    QString title;
    QStringList keywords;
    QString body;
};

// The help file Vx_lo.hlp: UTF-8 text, the first line "Voxilo help 1", then topics.
//
//   # a comment (only before the first topic)
//   .topic contents
//   .title Voxiloのヘルプ
//   .keywords 目次; 使い方
//   <p>Simple HTML, up to the next ".topic" line. <a href="#panes">A link to a topic</a>.</p>
//
// ".title" and ".keywords" follow their ".topic" line directly; keywords are separated by ";".
// The first topic is the contents page. Lines between ".if windows" or ".if linux" and ".endif"
// belong to that system's help only: each system's help speaks of its own store and tools.
class HelpFile {
public:
    enum class Status { Loaded, Missing, Unreadable, NotHelp };
    enum class System { Windows, Linux };
#ifdef Q_OS_WIN
    static constexpr System kThisSystem = System::Windows;
#else
    static constexpr System kThisSystem = System::Linux;
#endif

    static HelpFile load(const QString& path);
    static HelpFile parse(const QString& text, System system = kThisSystem);

    Status status() const { return status_; }
    const std::vector<HelpTopic>& topics() const { return topics_; }
    // The topic named `id`, or null.
    const HelpTopic* find(const QString& id) const;

private:
    Status status_ = Status::NotHelp;
    std::vector<HelpTopic> topics_;
};

// Where the program finds its help file: beside the executable, as the program is built and
// as a portable copy is laid out; failing that, where an installation puts it
// (<prefix>/share/voxilo beside <prefix>/bin). When it is in neither place the path beside the
// executable is given, and the viewer says it is missing.
QString helpFilePath(const QString& programFolder);

}  // namespace voxilo
