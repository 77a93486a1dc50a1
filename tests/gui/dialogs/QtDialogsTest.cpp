// The program's real message boxes and file dialogs, worked by the keyboard as a user would.

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "gui/dialogs/QtDialogs.h"
#include "gui/main/ProgramLook.h"

using namespace voxilo;

class QtDialogsTest : public QObject {
    Q_OBJECT

private:
    // Runs `act` on the modal dialog once it is up.
    static void whenShown(std::function<void(QWidget&)> act) {
        QTimer::singleShot(0, qApp, [act] {
            QWidget* modal = nullptr;
            QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
            act(*modal);
        });
    }

    // Runs `act` on the file dialog once it is up, after whatever box was there before.
    static void whenFileDialogShown(std::function<void(QFileDialog&)> act) {
        QTimer::singleShot(0, qApp, [act] {
            QFileDialog* dialog = nullptr;
            QTRY_VERIFY((dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) !=
                        nullptr);
            act(*dialog);
        });
    }
    // Where a key typed now goes in `box`.
    static QWidget* keyTarget(QWidget& box) {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr && box.isAncestorOf(focus) ? focus : &box;
    }

    // Waits until a question takes keys: those typed in its first moments are not its answer.
    static void settle() { QTest::qWait(QtDialogs::kSettleMilliseconds + 100); }

    // A style that lays out dialog buttons in the order of one desktop.
    class DesktopOrder : public QProxyStyle {
    public:
        explicit DesktopOrder(QDialogButtonBox::ButtonLayout layout)
            : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), layout_(layout) {}
        int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                      QStyleHintReturn* returned) const override {
            if (hint == SH_DialogButtonLayout) return layout_;
            return QProxyStyle::styleHint(hint, option, widget, returned);
        }

    private:
        QDialogButtonBox::ButtonLayout layout_;
    };

private slots:
    void initTestCase() { applyProgramLook(*qApp); }

    // Escape and closing the window answer a question that offers Cancel, or a notice; a
    // question of only Yes and No must be answered, as on Windows.
    void onlyAnsweringEndsAYesNoQuestion() {
        QtDialogs dialogs;
        bool stayed = false;
        whenShown([&](QWidget& box) {
            settle();
            QTest::keyClick(&box, Qt::Key_Escape);
            QVERIFY(!box.close());
            QTest::qWait(50);
            stayed = box.isVisible();
            QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
            static_cast<QMessageBox&>(box).button(QMessageBox::Yes)->click();
        });
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("変換元文書を保存しますか。"),
                                 QStringLiteral("Voxilo"), Dialogs::Buttons::YesNo,
                                 MessageIcon::Question),
                 Dialogs::Answer::Yes);
        QVERIFY(stayed);

        const struct {
            Dialogs::Buttons buttons;
            Dialogs::Answer escape;
        } dismissable[] = {{Dialogs::Buttons::YesNoCancel, Dialogs::Answer::Cancel},
                           {Dialogs::Buttons::OkCancel, Dialogs::Answer::Cancel},
                           {Dialogs::Buttons::Ok, Dialogs::Answer::Ok}};
        for (const auto& c : dismissable) {
            whenShown([](QWidget& box) {
                settle();
                QTest::keyClick(&box, Qt::Key_Escape);
            });
            QCOMPARE(dialogs.message(nullptr, QStringLiteral("?"), QStringLiteral("Voxilo"),
                                     c.buttons, MessageIcon::Question),
                     c.escape);
        }
    }

    // A question with a third answer of its own: it must be answered, its button shows the
    // caption given, its access key answers it, and Enter still answers はい.
    void aThirdAnswerIsChosenByItsOwnButton() {
        QtDialogs dialogs;
        QString caption;
        bool stayed = false;
        whenShown([&](QWidget& box) {
            settle();
            QTest::keyClick(&box, Qt::Key_Escape);
            QTest::qWait(50);
            stayed = box.isVisible();
            for (QAbstractButton* button : static_cast<QMessageBox&>(box).buttons()) {
                if (static_cast<QMessageBox&>(box).buttonRole(button) == QMessageBox::ActionRole)
                    caption = button->text();
            }
            QTest::keyClick(keyTarget(box), Qt::Key_U, Qt::AltModifier);
        });
        const QString other = QStringLiteral("UTF-8 で保存(&U)");
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("?"), QStringLiteral("Voxilo"),
                                 Dialogs::Buttons::YesNoOther, MessageIcon::Exclamation, other),
                 Dialogs::Answer::Other);
        QVERIFY(stayed);
        QCOMPARE(caption, other);
        whenShown([&](QWidget& box) {
            settle();
            QTest::keyClick(keyTarget(box), Qt::Key_Return);
        });
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("?"), QStringLiteral("Voxilo"),
                                 Dialogs::Buttons::YesNoOther, MessageIcon::Exclamation, other),
                 Dialogs::Answer::Yes);
    }

    // Enter answers with the first button, as a Windows message box does: OK, or はい, so that
    // Enter at a save question saves and never throws the document away; and that button has
    // the focus. Whatever order the desktop puts the buttons in: GNOME's いいえ|はい and
    // キャンセル|いいえ|はい included.
    void enterAnswersWithTheFirstButtonInEveryButtonOrder() {
        const struct {
            const char* desktop;
            QDialogButtonBox::ButtonLayout layout;
        } desktops[] = {{"Windows", QDialogButtonBox::WinLayout},
                        {"macOS", QDialogButtonBox::MacLayout},
                        {"KDE", QDialogButtonBox::KdeLayout},
                        {"GNOME", QDialogButtonBox::GnomeLayout}};
        const struct {
            Dialogs::Buttons buttons;
            Dialogs::Answer enter;
            QMessageBox::StandardButton button;
        } cases[] = {{Dialogs::Buttons::Ok, Dialogs::Answer::Ok, QMessageBox::Ok},
                     {Dialogs::Buttons::OkCancel, Dialogs::Answer::Ok, QMessageBox::Ok},
                     {Dialogs::Buttons::YesNo, Dialogs::Answer::Yes, QMessageBox::Yes},
                     {Dialogs::Buttons::YesNoCancel, Dialogs::Answer::Yes, QMessageBox::Yes}};
        QStringList firstOfYesNoCancel;  // the leftmost button, to see the orders really differ
        for (const auto& desktop : desktops) {
            QApplication::setStyle(new DesktopOrder(desktop.layout));
            for (const auto& c : cases) {
                QtDialogs dialogs;
                bool focused = false;
                whenShown([&](QWidget& widget) {
                    auto& box = static_cast<QMessageBox&>(widget);
                    QVERIFY(QTest::qWaitForWindowActive(&box));
                    QAbstractButton* leftmost = nullptr;
                    for (QAbstractButton* button : box.buttons()) {
                        if (!leftmost || button->x() < leftmost->x()) leftmost = button;
                    }
                    if (c.buttons == Dialogs::Buttons::YesNoCancel) {
                        firstOfYesNoCancel << leftmost->text();
                    }
                    focused = QApplication::focusWidget() == box.button(c.button);
                    settle();
                    QTest::keyClick(keyTarget(box), Qt::Key_Return);
                });
                QCOMPARE(
                    dialogs.message(nullptr, QStringLiteral("変換元文書を保存しますか。"),
                                    QStringLiteral("Voxilo"), c.buttons, MessageIcon::Question),
                    c.enter);
                QVERIFY2(focused, desktop.desktop);
            }
        }
        firstOfYesNoCancel.removeDuplicates();
        QVERIFY2(firstOfYesNoCancel.size() > 1, qPrintable(firstOfYesNoCancel.join(u',')));
        applyProgramLook(*qApp);
    }

    // Keys already on their way when a question appears were meant for the window behind it:
    // neither a letter (いいえ's access key included) nor Enter answers it.
    // Once the question has been there a moment, the keyboard answers it.
    void keysTypedAsAQuestionAppearsDoNotAnswerIt() {
        QApplication::setStyle(new DesktopOrder(QDialogButtonBox::GnomeLayout));
        QtDialogs dialogs;
        bool stayed = false;
        whenShown([&](QWidget& box) {
            QVERIFY(QTest::qWaitForWindowActive(&box));
            for (const Qt::Key key : {Qt::Key_N, Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
                QTest::keyClick(keyTarget(box), key);
                QTest::keyClick(keyTarget(box), key, Qt::AltModifier);
            }
            QTest::qWait(50);
            stayed = box.isVisible();
            settle();
            QTest::keyClick(keyTarget(box), Qt::Key_Return);
        });
        QCOMPARE(dialogs.message(nullptr, QStringLiteral("変換元文書を保存しますか。"),
                                 QStringLiteral("Voxilo"), Dialogs::Buttons::YesNoCancel,
                                 MessageIcon::Question),
                 Dialogs::Answer::Yes);
        QVERIFY(stayed);
        applyProgramLook(*qApp);
    }

    // A name typed into the open dialog is opened as typed; only saving adds ".txt".
    void openingTakesTheNameAsTyped() {
        QTemporaryDir folder;
        for (const char* name : {"noext", "noext.txt"}) {
            QFile file(folder.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const Dialogs::FileRequest request{
            QStringLiteral("ﾌｧｲﾙを開く"),
            folder.path(),
            {},
            {QStringLiteral("ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")},
            QStringLiteral("txt")};
        const auto typeName = [](QWidget& dialog) {
            auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("noext"));
            QTest::keyClick(name, Qt::Key_Return);
        };
        QtDialogs dialogs;
        whenShown(typeName);
        const Dialogs::FileAnswer opened = dialogs.openFile(nullptr, request);
        QCOMPARE(opened.outcome, Dialogs::Outcome::Chosen);
        QCOMPARE(QDir::fromNativeSeparators(opened.path), folder.filePath(QStringLiteral("noext")));

        // noext.txt exists: Voxilo asks about the name with its suffix, whichever dialog the
        // desktop gave, since some ask about "noext" alone; いいえ brings the dialog back with
        // that name, and its Cancel then saves nothing.
        QString asked;
        QString offered;
        whenShown([&](QWidget& dialog) {
            QVERIFY(
                static_cast<QFileDialog&>(dialog).testOption(QFileDialog::DontConfirmOverwrite));
            QTimer::singleShot(0, qApp, [&] {
                QMessageBox* question = nullptr;
                QTRY_VERIFY((question = qobject_cast<QMessageBox*>(
                                 QApplication::activeModalWidget())) != nullptr);
                QVERIFY(QTest::qWaitForWindowActive(question));
                asked = question->text();
                QCOMPARE(question->windowTitle(), QStringLiteral("ﾌｧｲﾙを開く"));
                QCOMPARE(QApplication::focusWidget(), question->button(QMessageBox::No));
                settle();
                QTest::keyClick(keyTarget(*question), Qt::Key_Return);  // いいえ
                whenFileDialogShown([&](QFileDialog& again) {
                    offered = again.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
                    again.reject();
                });
            });
            typeName(dialog);
        });
        QCOMPARE(dialogs.saveFile(nullptr, request).outcome, Dialogs::Outcome::Cancelled);
        QCOMPARE(asked, QStringLiteral("noext.txt は既に存在します。\n上書きしますか?"));
        QCOMPARE(offered, QStringLiteral("noext.txt"));

        // はい replaces it.
        whenShown([&](QWidget& dialog) {
            QTimer::singleShot(0, qApp, [] {
                QMessageBox* question = nullptr;
                QTRY_VERIFY((question = qobject_cast<QMessageBox*>(
                                 QApplication::activeModalWidget())) != nullptr);
                question->button(QMessageBox::Yes)->click();
            });
            typeName(dialog);
        });
        const Dialogs::FileAnswer saved = dialogs.saveFile(nullptr, request);
        QCOMPARE(saved.outcome, Dialogs::Outcome::Chosen);
        QCOMPARE(QDir::fromNativeSeparators(saved.path),
                 folder.filePath(QStringLiteral("noext.txt")));
    }
};

QTEST_MAIN(QtDialogsTest)
#include "QtDialogsTest.moc"
