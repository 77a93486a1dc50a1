#pragma once

#include <QWidget>

#include "gui/help/HelpFile.h"

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QUrl;

namespace voxilo {

// The help viewer: a window of its own, owned by the main window and not modal. On the left the
// contents (every topic by title) and the keyword search; on the right the chosen topic. A help
// file that is missing or cannot be read is reported in the window itself.
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* owner);

    // Reads the help file afresh (it may have changed since the last time).
    void load(const QString& path);
    // The contents page, with the contents list in front.
    void showContents();
    // The keyword search with an empty search field, ready for typing.
    void showSearch();

    const HelpFile& help() const { return help_; }
    // The topic shown, or "" when none is (the file could not be read).
    const QString& currentTopic() const { return current_; }
    QLineEdit* searchField() const { return keyword_; }
    QListWidget* keywordList() const { return keywords_; }
    QTextBrowser* page() const { return page_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showTopic(const QString& id);
    void showProblem(const QString& text);
    void filterKeywords(const QString& typed);
    void linkClicked(const QUrl& link);

    HelpFile help_;
    QString path_;
    QString current_;
    QTabWidget* tabs_ = nullptr;
    QListWidget* contents_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QListWidget* keywords_ = nullptr;
    QTextBrowser* page_ = nullptr;
};

}  // namespace voxilo
