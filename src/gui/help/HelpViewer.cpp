#include "gui/help/HelpViewer.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "gui/help/HelpAccessible.h"

namespace voxilo {
namespace {

constexpr int kTopicRole = Qt::UserRole;

}  // namespace

HelpViewer::HelpViewer(QWidget* owner) : QWidget(owner, Qt::Window) {
    presentAsWindow(*this);  // before anything asks a screen reader's view of it
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Voxilo ヘルプ"));
    setAttribute(Qt::WA_QuitOnClose, false);  // the program ends with its main window

    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("tabHelp"));
    tabs_->setAccessibleName(QStringLiteral("目次とキーワード"));
    contents_ = new QListWidget;
    contents_->setObjectName(QStringLiteral("lstContents"));
    contents_->setAccessibleName(QStringLiteral("目次"));
    tabs_->addTab(contents_, QStringLiteral("目次(&C)"));

    auto* search = new QWidget;
    auto* prompt = new QLabel(QStringLiteral("探したい語を入力してください(&W):"));
    keyword_ = new QLineEdit;
    keyword_->setObjectName(QStringLiteral("txtKeyword"));
    keyword_->setClearButtonEnabled(true);
    keyword_->setAccessibleName(QStringLiteral("探したい語"));  // the label's "(W)" is not spoken
    prompt->setBuddy(keyword_);
    keywords_ = new QListWidget;
    keywords_->setObjectName(QStringLiteral("lstKeywords"));
    keywords_->setAccessibleName(QStringLiteral("キーワード"));
    auto* searchLayout = new QVBoxLayout(search);
    searchLayout->addWidget(prompt);
    searchLayout->addWidget(keyword_);
    searchLayout->addWidget(keywords_);
    tabs_->addTab(search, QStringLiteral("キーワード(&K)"));

    page_ = new QTextBrowser;
    presentAsTopicPage(*page_);
    page_->setObjectName(QStringLiteral("txtTopic"));
    page_->setOpenLinks(false);
    page_->setAccessibleName(QStringLiteral("トピック"));

    auto* split = new QSplitter;
    split->addWidget(tabs_);
    split->addWidget(page_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 520});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(split);
    resize(760, 520);

    connect(contents_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) showTopic(item->data(kTopicRole).toString());
    });
    connect(keyword_, &QLineEdit::textEdited, this, &HelpViewer::filterKeywords);
    connect(keyword_, &QLineEdit::returnPressed, this, [this] {
        if (QListWidgetItem* item = keywords_->currentItem()) {
            showTopic(item->data(kTopicRole).toString());
            page_->setFocus();
        }
    });
    connect(keywords_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showTopic(item->data(kTopicRole).toString()); });
    connect(keywords_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) showTopic(item->data(kTopicRole).toString());
    });
    connect(page_, &QTextBrowser::anchorClicked, this, &HelpViewer::linkClicked);
    keyword_->installEventFilter(this);
}

// Esc puts the help away, as it closes a dialog.
void HelpViewer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

// The arrow and page keys in the search field move through the list below it.
bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == keyword_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QListWidgetItem* before = keywords_->currentItem();
            QCoreApplication::sendEvent(keywords_, event);
            if (keywords_->currentItem() == nullptr && before == nullptr) {
                for (int i = 0; i < keywords_->count(); ++i) {
                    if (!keywords_->item(i)->isHidden()) {
                        keywords_->setCurrentRow(i);
                        break;
                    }
                }
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HelpViewer::load(const QString& path) {
    path_ = path;
    help_ = HelpFile::load(path);
    contents_->clear();
    keywords_->clear();
    keyword_->clear();
    current_.clear();

    // The index: every keyword, and every title, once for each topic it leads to.
    struct Entry {
        QString word;
        const HelpTopic* topic;
    };
    std::vector<Entry> entries;
    for (const HelpTopic& topic : help_.topics()) {
        auto* item = new QListWidgetItem(topic.title, contents_);
        item->setData(kTopicRole, topic.id);
        entries.push_back({topic.title, &topic});
        for (const QString& word : topic.keywords) {
            if (word != topic.title) entries.push_back({word, &topic});
        }
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return QString::localeAwareCompare(a.word, b.word) < 0;
    });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool shared = (i > 0 && entries[i - 1].word == entries[i].word) ||
                            (i + 1 < entries.size() && entries[i + 1].word == entries[i].word);
        // A word that leads to several topics names the topic beside it.
        const QString text =
            shared && entries[i].word != entries[i].topic->title
                ? entries[i].word + QStringLiteral(" － ") + entries[i].topic->title
                : entries[i].word;
        auto* item = new QListWidgetItem(text, keywords_);
        item->setData(kTopicRole, entries[i].topic->id);
    }
    contents_->setEnabled(help_.status() == HelpFile::Status::Loaded);
    keyword_->setEnabled(help_.status() == HelpFile::Status::Loaded);
    keywords_->setEnabled(help_.status() == HelpFile::Status::Loaded);

    switch (help_.status()) {
        case HelpFile::Status::Loaded:
            break;
        case HelpFile::Status::Missing:
            showProblem(QStringLiteral("ヘルプ ファイル %1 が見つかりません。").arg(path));
            break;
        case HelpFile::Status::Unreadable:
            showProblem(QStringLiteral("ヘルプ ファイル %1 を読み込めません。").arg(path));
            break;
        case HelpFile::Status::NotHelp:
            showProblem(QStringLiteral("%1 は Voxilo のヘルプ ファイルではありません。").arg(path));
            break;
    }
}

void HelpViewer::showContents() {
    tabs_->setCurrentIndex(0);
    if (help_.status() == HelpFile::Status::Loaded) {
        contents_->setCurrentRow(0);
        showTopic(help_.topics().front().id);
        contents_->setFocus();
    }
}

void HelpViewer::showSearch() {
    tabs_->setCurrentIndex(1);
    keyword_->clear();
    filterKeywords({});
    keyword_->setFocus();
}

void HelpViewer::showTopic(const QString& id) {
    const HelpTopic* topic = help_.find(id);
    if (topic == nullptr) return;
    current_ = id;
    page_->setHtml(
        QStringLiteral("<h2>%1</h2>\n%2").arg(topic->title.toHtmlEscaped(), topic->body));
}

void HelpViewer::showProblem(const QString& text) {
    current_.clear();
    page_->setPlainText(text);
}

// Typing narrows the list to the entries holding what was typed, the first of them chosen.
void HelpViewer::filterKeywords(const QString& typed) {
    const QString wanted = typed.trimmed();
    QListWidgetItem* first = nullptr;
    for (int i = 0; i < keywords_->count(); ++i) {
        QListWidgetItem* item = keywords_->item(i);
        const bool match = wanted.isEmpty() || item->text().contains(wanted, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && first == nullptr) first = item;
    }
    keywords_->setCurrentItem(wanted.isEmpty() ? nullptr : first);
    if (first) keywords_->scrollToItem(first);
}

void HelpViewer::linkClicked(const QUrl& link) {
    if (link.scheme().isEmpty() && link.path().isEmpty() && link.hasFragment()) {
        showTopic(link.fragment());
        for (int i = 0; i < contents_->count(); ++i) {
            if (contents_->item(i)->data(kTopicRole).toString() == link.fragment()) {
                QSignalBlocker quiet(contents_);
                contents_->setCurrentRow(i);
            }
        }
    }
}

}  // namespace voxilo
