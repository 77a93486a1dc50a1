#include "gui/help/HelpAccessible.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTextBlock>
#include <QTextBrowser>

namespace voxilo {
namespace {

const char* const kWindow = "voxiloPresentedAsWindow";
const char* const kTopicPage = "voxiloPresentedAsTopicPage";

struct TopicLinkSpan {
    QString target;
    QString text;
    int start = 0;
    int end = 0;
};

// The links of the page's document, in their order.
QList<TopicLinkSpan> linksOf(const QTextDocument& document) {
    QList<TopicLinkSpan> links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto piece = block.begin(); !piece.atEnd(); ++piece) {
            const QTextFragment fragment = piece.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (!format.isAnchor() || format.anchorHref().isEmpty()) continue;
            const int start = fragment.position();
            const int end = start + fragment.length();
            if (!links.isEmpty() && links.back().target == format.anchorHref() &&
                links.back().end == start) {
                links.back().text += fragment.text();
                links.back().end = end;
            } else {
                links.append({format.anchorHref(), fragment.text(), start, end});
            }
        }
    }
    return links;
}

// The rectangle of the characters from `start` to `end` on the screen (their first line).
QRect screenRect(QTextBrowser& page, int start, int end) {
    QTextCursor from(page.document());
    from.setPosition(start);
    QTextCursor to(page.document());
    to.setPosition(std::max(start, end));
    QRect shown = page.cursorRect(from);
    const QRect last = page.cursorRect(to);
    if (last.top() == shown.top()) shown = shown.united(last);
    shown.moveTopLeft(page.viewport()->mapToGlobal(shown.topLeft()));
    return shown;
}

// One link of the page: spoken by its text, followed by its press action as Enter follows the
// link the keyboard has reached.
class TopicLink : public QAccessibleInterface,
                  public QAccessibleActionInterface,
                  public QAccessibleHyperlinkInterface {
public:
    TopicLink(QTextBrowser* page, TopicLinkSpan span) : page_(page), span_(std::move(span)) {}

    bool isValid() const override { return page_ != nullptr; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return page_ ? page_->window()->windowHandle() : nullptr; }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ActionInterface) {
            return static_cast<QAccessibleActionInterface*>(this);
        }
        if (type == QAccessible::HyperlinkInterface) {
            return static_cast<QAccessibleHyperlinkInterface*>(this);
        }
        return nullptr;
    }

    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(page_);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? span_.text : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        return page_ ? screenRect(*page_, span_.start, span_.end) : QRect();
    }
    QAccessible::Role role() const override { return QAccessible::Link; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.focusable = true;
        s.linked = true;
        if (page_ == nullptr || !page_->isVisible()) s.invisible = true;
        s.focused = reached();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action != pressAction() || page_ == nullptr) return;
        // Reached as by Tab, and followed as by Enter: the page does the rest.
        QTextCursor link(page_->document());
        link.setPosition(span_.start);
        link.setPosition(span_.end, QTextCursor::KeepAnchor);
        page_->setTextCursor(link);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(page_, &enter);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    QString anchor() const override { return span_.text; }
    QString anchorTarget() const override { return span_.target; }
    int startIndex() const override { return span_.start; }
    int endIndex() const override { return span_.end; }

    // The keyboard is on it: the page's cursor selects exactly this link.
    bool reached() const {
        if (page_ == nullptr || !page_->hasFocus()) return false;
        const QTextCursor cursor = page_->textCursor();
        return cursor.selectionStart() == span_.start && cursor.selectionEnd() == span_.end;
    }

private:
    QPointer<QTextBrowser> page_;
    TopicLinkSpan span_;
};

// The topic page: a read-only document of the topic's text, its links its children.
class TopicPage : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TopicPage(QTextBrowser* page) : QAccessibleWidget(page, QAccessible::Document) {}
    ~TopicPage() override { forgetLinks(); }

    QTextBrowser* page() const { return static_cast<QTextBrowser*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.focusable = true;
        return s;
    }

    int childCount() const override {
        refresh();
        return static_cast<int>(links_.size());
    }
    QAccessibleInterface* child(int index) const override {
        refresh();
        return index >= 0 && index < links_.size() ? QAccessible::accessibleInterface(links_[index])
                                                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        refresh();
        for (qsizetype i = 0; i < links_.size(); ++i) {
            if (QAccessible::accessibleInterface(links_[i]) == child) return static_cast<int>(i);
        }
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (child(i)->rect().contains(x, y)) return child(i);
        }
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override {
        for (int i = 0; i < childCount(); ++i) {
            if (static_cast<TopicLink*>(child(i))->reached()) return child(i);
        }
        return nullptr;
    }

    // The text interface, over the page's document: a position in it is an offset here.
    QString text(QAccessible::Text t) const override { return QAccessibleWidget::text(t); }
    QString text(int start, int end) const override { return wholeText().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(wholeText().size()); }
    int cursorPosition() const override { return page()->textCursor().position(); }
    void setCursorPosition(int position) override {
        QTextCursor cursor = page()->textCursor();
        cursor.setPosition(std::clamp(position, 0, characterCount()));
        page()->setTextCursor(cursor);
    }
    void selection(int index, int* start, int* end) const override {
        const QTextCursor cursor = page()->textCursor();
        const bool any = index == 0 && cursor.hasSelection();
        *start = any ? cursor.selectionStart() : 0;
        *end = any ? cursor.selectionEnd() : 0;
    }
    int selectionCount() const override { return page()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override {
        QTextCursor cursor = page()->textCursor();
        cursor.clearSelection();
        page()->setTextCursor(cursor);
    }
    void setSelection(int, int start, int end) override {
        QTextCursor cursor(page()->document());
        cursor.setPosition(std::clamp(start, 0, characterCount()));
        cursor.setPosition(std::clamp(end, 0, characterCount()), QTextCursor::KeepAnchor);
        page()->setTextCursor(cursor);
    }
    QRect characterRect(int offset) const override {
        return screenRect(*page(), offset, offset + 1);
    }
    int offsetAtPoint(const QPoint& point) const override {
        return page()->cursorForPosition(page()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override {
        setCursorPosition(start);
        page()->ensureCursorVisible();
    }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

private:
    QString wholeText() const { return page()->document()->toPlainText(); }

    // The links of the topic shown now; a new topic has new ones.
    void refresh() const {
        const int revision = page()->document()->revision();
        if (known_ && revision == revision_) return;
        forgetLinks();
        for (const TopicLinkSpan& span : linksOf(*page()->document())) {
            links_.append(QAccessible::registerAccessibleInterface(new TopicLink(page(), span)));
        }
        revision_ = revision;
        known_ = true;
    }
    void forgetLinks() const {
        for (QAccessible::Id id : std::as_const(links_)) QAccessible::deleteAccessibleInterface(id);
        links_.clear();
    }

    mutable QList<QAccessible::Id> links_;
    mutable int revision_ = 0;
    mutable bool known_ = false;
};

// Only for the object's own class: the classes it derives from are asked after it.
QAccessibleInterface* presented(const QString& className, QObject* object) {
    if (object == nullptr || className != QLatin1String(object->metaObject()->className())) {
        return nullptr;
    }
    if (object->property(kWindow).toBool()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    if (object->property(kTopicPage).toBool()) {
        if (auto* page = qobject_cast<QTextBrowser*>(object)) return new TopicPage(page);
    }
    return nullptr;
}

void installFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(presented);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace

void presentAsWindow(QWidget& window) {
    installFactory();
    window.setProperty(kWindow, true);
}

void presentAsTopicPage(QTextBrowser& page) {
    installFactory();
    page.setProperty(kTopicPage, true);
    // A link the keyboard reaches is where a screen reader is.
    QObject::connect(&page, &QTextBrowser::highlighted, &page, [&page](const QUrl& link) {
        if (link.isEmpty() || !page.hasFocus()) return;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&page);
        if (QAccessibleInterface* reached = face ? face->focusChild() : nullptr) {
            QAccessibleEvent focus(reached, QAccessible::Focus);
            QAccessible::updateAccessibility(&focus);
        }
    });
}

}  // namespace voxilo
