// The Edit menu's clipboard commands, by their shortcuts pressed in each pane, from the panes'
// context menus, and with the focus elsewhere.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "gui/main/EditCommands.h"
#include "gui/main/MainWindow.h"
#include "gui/main/PaneText.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"
#include "support/WindowSnapshot.h"

using namespace voxilo;

class EditCommandsTest : public QObject {
    Q_OBJECT

private:
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;
    QTemporaryDir folder_;
    std::unique_ptr<ValueStore> store_;
    std::unique_ptr<MainWindow> window_;

    QPlainTextEdit* pane(const QString& name) { return window_->findChild<QPlainTextEdit*>(name); }
    // `text` in the pane with characters [from, to) selected, and the focus there.
    void prepare(QPlainTextEdit* target, const QString& text, int from, int to) {
        target->setPlainText(text);
        QTextCursor cursor = target->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        target->setTextCursor(cursor);
        target->setFocus();
        QCOMPARE(window_->focusWidget(), target);
        state_.topModified = state_.bottomModified = false;
        window_->updateCommands();
    }

private slots:
    void init() {
        state_ = AppState{};
        state_.userNames = {u"", u"ann"};
        state_.currentUser = u"ann";
        store_ = testing_support::freshStore(
            folder_.filePath(QStringLiteral("settings.db")).toStdString());
        window_ = std::make_unique<MainWindow>(state_, settings_, *store_, dialogs_);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() {
        window_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // Each key pressed in each pane, with "abc" in it, "b" selected and "xy" on the clipboard.
    void shortcutsPressedInAPane_data() {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");       // the pane's text afterwards
        QTest::addColumn<QString>("clipboard");  // the clipboard afterwards
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("beep");
        QTest::newRow("copy, upper") << "txtTop" << int(Qt::Key_C) << "abc"
                                     << "b" << false << false;
        QTest::newRow("copy, lower") << "txtBottom" << int(Qt::Key_C) << "abc"
                                     << "b" << false << false;
        QTest::newRow("cut, upper") << "txtTop" << int(Qt::Key_X) << "ac"
                                    << "b" << true << false;
        // The converted document only gives its text away.
        QTest::newRow("cut, lower") << "txtBottom" << int(Qt::Key_X) << "abc"
                                    << "b" << false << false;
        QTest::newRow("paste, upper") << "txtTop" << int(Qt::Key_V) << "axyc"
                                      << "xy" << true << false;
        QTest::newRow("paste, lower") << "txtBottom" << int(Qt::Key_V) << "abc"
                                      << "xy" << false << true;
        QTest::newRow("select all, upper") << "txtTop" << int(Qt::Key_A) << "abc"
                                           << "xy" << false << false;
        QTest::newRow("select all, lower") << "txtBottom" << int(Qt::Key_A) << "abc"
                                           << "xy" << false << false;
    }
    void shortcutsPressedInAPane() {
        QFETCH(QString, pane);
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(QString, clipboard);
        QFETCH(bool, modified);
        QFETCH(bool, beep);
        QGuiApplication::clipboard()->setText(QStringLiteral("xy"));
        QPlainTextEdit* target = this->pane(pane);
        prepare(target, QStringLiteral("abc"), 1, 2);
        if (beep) dialogs_.expectBeep();
        QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::ControlModifier);
        QCOMPARE(target->toPlainText(), text);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        QCOMPARE(target == window_->topPane() ? state_.topModified : state_.bottomModified,
                 modified);
        if (key == Qt::Key_A) QCOMPARE(target->textCursor().selectedText(), QStringLiteral("abc"));
        // The enabled states follow: after Cut nothing is selected to copy.
        auto* copy = window_->findChild<QAction*>(QStringLiteral("mnuEditCopy"));
        QCOMPARE(copy->isEnabled(), target->textCursor().hasSelection());
    }

    // The other ways a text box pastes meet the same refusal in the converted document.
    void theLowerPaneRefusesEveryPaste() {
        QGuiApplication::clipboard()->setText(QStringLiteral("xy"));
        QPlainTextEdit* bottom = window_->bottomPane();
        prepare(bottom, QStringLiteral("abc"), 1, 2);
        dialogs_.expectBeep();
        QTest::keyClick(bottom, Qt::Key_Insert, Qt::ShiftModifier);
        dialogs_.expectBeep();
        QTest::mouseClick(bottom->viewport(), Qt::MiddleButton, {}, QPoint(5, 5));
        QCOMPARE(bottom->toPlainText(), QStringLiteral("abc"));
        QVERIFY(!state_.bottomModified);
    }

    void linesTravelThroughTheClipboard() {
        // The pane's lines go out with the platform's line breaks; CR LF, CR and LF coming in
        // each break a line.
        QPlainTextEdit* top = window_->topPane();
        prepare(top, QStringLiteral("one\ntwo"), 0, 7);
        QTest::keyClick(top, Qt::Key_C, Qt::ControlModifier);
#ifdef Q_OS_WIN
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("one\r\ntwo"));
#else
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("one\ntwo"));
#endif
        QGuiApplication::clipboard()->setText(QStringLiteral("a\r\nb\rc\nd") +
                                              QChar::LineSeparator + u'e' +
                                              QChar::ParagraphSeparator + u'f');
        prepare(top, QString(), 0, 0);
        QTest::keyClick(top, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(paneText(*top), std::u16string(u"a\r\nb\r\nc\r\nd\r\ne\r\nf"));
    }

    // Shift+Enter shows a new line: it is one, in the pane's text and in what Encode sees.
    void shiftEnterBreaksTheLine() {
        for (QPlainTextEdit* target : {window_->topPane(), window_->bottomPane()}) {
            prepare(target, QStringLiteral("onetwo"), 3, 3);
            QTest::keyClick(target, Qt::Key_Return, Qt::ShiftModifier);
            QCOMPARE(paneText(*target), std::u16string(u"one\r\ntwo"));
            QCOMPARE(target->blockCount(), 2);
        }
    }

    void commandsCalledDirectly() {
        auto* edit = window_->findChild<EditCommands*>();
        QVERIFY(edit);
        // Copy with nothing selected leaves nothing of what was on the clipboard.
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        prepare(window_->topPane(), QStringLiteral("abc"), 1, 1);
        edit->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());

        // A picture, no text: Paste beeps.
        auto* picture = new QMimeData;
        picture->setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(picture);
        dialogs_.expectBeep();
        edit->paste();
        QCOMPARE(window_->topPane()->toPlainText(), QStringLiteral("abc"));

        // Select all in an empty pane selects nothing.
        prepare(window_->bottomPane(), QString(), 0, 0);
        edit->selectAll();
        QVERIFY(!window_->bottomPane()->textCursor().hasSelection());

        // With the focus in the user list the commands only refresh the command states.
        QGuiApplication::clipboard()->setText(QStringLiteral("xy"));
        prepare(window_->topPane(), QStringLiteral("abc"), 0, 3);
        auto* users = window_->findChild<QComboBox*>(QStringLiteral("cboUser"));
        users->setFocus();
        QCOMPARE(window_->focusWidget(), users);
        edit->cut();
        edit->paste();
        edit->selectAll();
        edit->copy();
        QCOMPARE(window_->topPane()->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("xy"));
        QVERIFY(!state_.topModified);
    }

    void thePanesContextMenusFollowTheSameRules() {
        auto* edit = window_->findChild<EditCommands*>();
        QGuiApplication::clipboard()->setText(QStringLiteral("xy"));
        QPlainTextEdit* bottom = window_->bottomPane();
        prepare(bottom, QStringLiteral("abc"), 0, 1);
        window_->topPane()->setFocus();
        QMenu* menu = edit->contextMenu(*bottom);
        QCOMPARE(window_->focusWidget(), bottom);  // the pane clicked is the one worked on
        QStringList entries;
        QAction* paste = nullptr;
        QAction* cut = nullptr;
        for (QAction* action : menu->actions()) {
            entries << (action->isSeparator() ? QStringLiteral("|") : action->text());
            if (action->objectName() == QLatin1String("mnuEditPaste")) paste = action;
            if (action->objectName() == QLatin1String("mnuEditCut")) cut = action;
        }
        QCOMPARE(entries.join(QLatin1Char(' ')),
                 QStringLiteral("元に戻す(&U) やり直し(&R) | 切り取り(&X) ｺﾋﾟｰ(&C) 貼り付け(&V) | "
                                "すべて選択"));
        QVERIFY(paste && cut);
        dialogs_.expectBeep();
        paste->trigger();
        cut->trigger();
        QCOMPARE(bottom->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a"));
        delete menu;
    }

    // Text dragged into the upper pane, from the lower pane or another program, is copied,
    // never moved: the drag's source keeps it, as the lower pane keeps its text on Cut. The
    // lower pane takes no text at all. Nothing else changes but the upper pane's text and flag.
    void draggedTextIsCopiedIntoTheUpperPaneOnly() {
        prepare(pane(QStringLiteral("txtBottom")), QStringLiteral("3f2a"), 0, 4);
        pane(QStringLiteral("txtTop"))->setPlainText(QStringLiteral("ab"));
        state_.topModified = false;
        window_->updateCommands();
        const auto before = testing_support::WindowSnapshot::take(
            *window_, state_, settings_, folder_.filePath(QStringLiteral("settings.db")), {});
        QMimeData text;
        text.setText(QStringLiteral("3f2a"));
        QDropEvent refused(QPointF(5, 5), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(pane(QStringLiteral("txtBottom"))->viewport(), &refused);
        QVERIFY(!refused.isAccepted());
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(pane(QStringLiteral("txtTop"))->viewport(), &enter);
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction | Qt::MoveAction, &text, Qt::LeftButton,
                        Qt::NoModifier, QEvent::Drop);
        drop.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(pane(QStringLiteral("txtTop"))->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        const auto after = testing_support::WindowSnapshot::take(
            *window_, state_, settings_, folder_.filePath(QStringLiteral("settings.db")), {});
        VERIFY_CHANGES(before, after,
                       {{QStringLiteral("top text"), QStringLiteral("3f2aab")},
                        {QStringLiteral("top modified"), QStringLiteral("yes")},
                        {QStringLiteral("command mnuFileSave"), QStringLiteral("on")},
                        {QStringLiteral("command tbSave"), QStringLiteral("on")},
                        {QStringLiteral("command mnuFileSaveAs"), QStringLiteral("on")}});
    }
};

QTEST_MAIN(EditCommandsTest)
#include "EditCommandsTest.moc"
