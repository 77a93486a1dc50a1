// The program's real message boxes and file dialogs, worked by the keyboard as a user would.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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

private slots:
    void initTestCase() { applyProgramLook(*qApp); }

    // Escape and closing the window answer a question that offers Cancel, or a notice; a
    // question of only Yes and No must be answered, as on Windows.
    void onlyAnsweringEndsAYesNoQuestion() {
        QtDialogs dialogs;
        bool stayed = false;
        whenShown([&](QWidget& box) {
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
            whenShown([](QWidget& box) { QTest::keyClick(&box, Qt::Key_Escape); });
            QCOMPARE(dialogs.message(nullptr, QStringLiteral("?"), QStringLiteral("Voxilo"),
                                     c.buttons, MessageIcon::Question),
                     c.escape);
        }
    }

    // Enter answers with the first button, as a Windows message box does: OK, or はい, so that
    // Enter at a save question saves and never throws the document away.
    void enterAnswersWithTheFirstButton() {
        QtDialogs dialogs;
        const struct {
            Dialogs::Buttons buttons;
            Dialogs::Answer enter;
        } cases[] = {{Dialogs::Buttons::Ok, Dialogs::Answer::Ok},
                     {Dialogs::Buttons::OkCancel, Dialogs::Answer::Ok},
                     {Dialogs::Buttons::YesNo, Dialogs::Answer::Yes},
                     {Dialogs::Buttons::YesNoCancel, Dialogs::Answer::Yes}};
        for (const auto& c : cases) {
            whenShown([](QWidget& box) { QTest::keyClick(&box, Qt::Key_Return); });
            QCOMPARE(dialogs.message(nullptr, QStringLiteral("変換元文書を保存しますか。"),
                                     QStringLiteral("Voxilo"), c.buttons, MessageIcon::Question),
                     c.enter);
        }
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

        whenShown([&](QWidget& dialog) {
            // noext.txt exists: the overwrite question comes first.
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
