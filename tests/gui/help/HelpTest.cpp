// The Help menu: the about box, the help viewer on the contents and on the keyword search, and
// the help file itself, under the offscreen platform with the scripted dialogs.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <memory>
#include <set>

#include "gui/help/AboutDialog.h"
#include "gui/help/HelpCommands.h"
#include "gui/help/HelpFile.h"
#include "gui/help/HelpViewer.h"
#include "gui/login/LoginDialog.h"
#include "gui/main/MainWindow.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

namespace {

const QString kShippedHelp = QStringLiteral(VOXILO_HELP_SOURCE);
const QString kNoHelp =
    QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。");

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private:
    AppState state_;
    ProgramSettings settings_;
    testing_support::ScriptedDialogs dialogs_;
    QTemporaryDir folder_;
    std::unique_ptr<ValueStore> store_;
    std::unique_ptr<MainWindow> window_;

    void trigger(const char* name) {
        QAction* item = window_->findChild<QAction*>(QLatin1String(name));
        QVERIFY2(item, name);
        QVERIFY(item->isEnabled());
        item->trigger();
    }
    HelpViewer* shownViewer() {
        HelpViewer* viewer = window_->help().viewer();
        [&] {
            QVERIFY(viewer);
            QVERIFY(viewer->isVisible());
            QVERIFY(!viewer->isModal());
            QCOMPARE(viewer->parentWidget(), window_.get());
        }();
        return viewer;
    }
    static QStringList shownKeywords(const HelpViewer& viewer) {
        QStringList shown;
        for (int i = 0; i < viewer.keywordList()->count(); ++i) {
            if (!viewer.keywordList()->item(i)->isHidden()) {
                shown << viewer.keywordList()->item(i)->text();
            }
        }
        return shown;
    }

private slots:
    void init() {
        state_ = AppState{};
        state_.userNames = {u"", u"alice"};
        state_.currentUser = u"alice";
        store_ = testing_support::freshStore(
            folder_.filePath(QStringLiteral("settings.db")).toStdString());
        window_ = std::make_unique<MainWindow>(state_, settings_, *store_, dialogs_);
        window_->help().setHelpFile(kShippedHelp);
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() {
        window_.reset();
        const QStringList problems = dialogs_.takeProblems();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    void aboutShowsTheVersionInformationFromAFreshBoxEachTime() {
        std::vector<QStringList> seen;
        std::vector<QPointer<QDialog>> boxes;
        for (int time = 0; time < 2; ++time) {
            dialogs_.expectExec(QStringLiteral("frmAbout"), [&](QDialog& dialog) {
                auto& about = static_cast<AboutDialog&>(dialog);
                boxes.emplace_back(&about);
                seen.push_back({about.windowTitle(), about.versionLabel()->text(),
                                about.companyLabel()->text(), about.copyrightLabel()->text()});
                [&] {
                    QVERIFY(about.isModal());
                    QCOMPARE(about.parentWidget(), window_.get());
                    QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion")),
                             about.versionLabel());
                    QVERIFY(
                        !about.findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap().isNull());
                }();
                about.show();
                QTest::keyClick(about.okButton(), Qt::Key_Space);  // OK, from the keyboard
                return about.result();
            });
            trigger("mnuHelpAbout");
            QVERIFY(boxes.back().isNull());  // closed and gone before the next opening
        }
        const QStringList expected{QStringLiteral("バージョン情報"),
                                   QStringLiteral("Version 1.1.5"),
                                   QStringLiteral("Produced by Quorvel! Software"),
                                   QStringLiteral("Copyright (C) 2026 Quorvel! Software")};
        QCOMPARE(seen.size(), 2u);
        QCOMPARE(seen[0], expected);
        QCOMPARE(seen[1], expected);
    }

    // The login dialog shows the same maker and notice.
    void theLoginDialogShowsTheSameVersionInformation() {
        LoginDialog login(state_, settings_, *store_, dialogs_);
        QCOMPARE(login.findChild<QLabel*>(QStringLiteral("lblCompanyName"))->text(),
                 QStringLiteral("Produced by Quorvel! Software"));
        QCOMPARE(login.findChild<QLabel*>(QStringLiteral("lblCopyright"))->text(),
                 QStringLiteral("Copyright (C) 2026 Quorvel! Software"));
    }

    void contentsOpenTheViewerOnTheContentsPage() {
        QTest::keyClick(window_.get(), Qt::Key_F1);
        HelpViewer* viewer = shownViewer();
        QCOMPARE(viewer->currentTopic(), QStringLiteral("contents"));
        QVERIFY(viewer->page()->toPlainText().contains(QStringLiteral("Voxiloのヘルプ")));

        // A link leads to its topic; the menu item comes back to the contents in the same window.
        viewer->page()->anchorClicked(QUrl(QStringLiteral("#keys")));
        QCOMPARE(viewer->currentTopic(), QStringLiteral("keys"));
        trigger("mnuHelpContents");
        QCOMPARE(window_->help().viewer(), viewer);
        QCOMPARE(viewer->currentTopic(), QStringLiteral("contents"));
        QVERIFY(window_->isEnabled());  // not modal: the main window goes on working

        QTest::keyClick(viewer->page(), Qt::Key_Escape);
        QVERIFY(!viewer->isVisible());
    }

    void topicSearchOpensTheKeywordSearchWithAnEmptyField() {
        trigger("mnuHelpContents");
        HelpViewer* viewer = shownViewer();
        viewer->searchField()->setText(QStringLiteral("leftover"));
        trigger("mnuHelpTopic");
        QCOMPARE(window_->help().viewer(), viewer);
        QVERIFY(viewer->searchField()->isVisible());
        QCOMPARE(viewer->searchField()->text(), QString());
        QCOMPARE(shownKeywords(*viewer).size(), viewer->keywordList()->count());
        QCOMPARE(viewer->focusWidget(), viewer->searchField());  // ready for typing

        // Typing narrows the list; Enter opens the topic of the chosen entry.
        // Japanese arrives from the input method, committed as a whole word.
        QInputMethodEvent typed;
        typed.setCommitString(QStringLiteral("暗号化キー"));
        QApplication::sendEvent(viewer->searchField(), &typed);
        const QStringList found = shownKeywords(*viewer);
        QVERIFY(!found.isEmpty());
        for (const QString& word : found)
            QVERIFY2(word.contains(QStringLiteral("暗号化キー")), qPrintable(word));
        QTest::keyClick(viewer->searchField(), Qt::Key_Return);
        QCOMPARE(viewer->currentTopic(), QStringLiteral("keys"));
    }

    void anEmptyHelpPathIsToldWithTheWindowsCaption() {
        window_->help().setHelpFile({});
        for (const char* command : {"mnuHelpContents", "mnuHelpTopic"}) {
            dialogs_.expectMessage(kNoHelp, window_->windowTitle(), Dialogs::Buttons::Ok,
                                   MessageIcon::Information);
            trigger(command);
        }
        QVERIFY(window_->windowTitle() != QStringLiteral("Voxilo"));
        QCOMPARE(window_->help().viewer(), nullptr);
    }

    // A help file that cannot be shown is the viewer's to report, in its own window.
    void aHelpFileThatCannotBeShownIsReportedInTheViewer_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("report");
        QTest::newRow("missing") << QStringLiteral("missing/Vx_lo.hlp") << QByteArray()
                                 << QStringLiteral("が見つかりません。");
        QTest::newRow("a folder") << QStringLiteral("folder.hlp") << QByteArray()
                                  << QStringLiteral("を読み込めません。");
        QTest::newRow("another file")
            << QStringLiteral("other.hlp") << QByteArray::fromHex("4d5a90000300000004000000ffff")
            << QStringLiteral("ヘルプ ファイルではありません。");
    }
    void aHelpFileThatCannotBeShownIsReportedInTheViewer() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, report);
        const QString path = folder_.filePath(file);
        if (file == QStringLiteral("folder.hlp")) QVERIFY(QDir().mkpath(path));
        if (!bytes.isEmpty()) {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        window_->help().setHelpFile(path);
        for (const char* command : {"mnuHelpContents", "mnuHelpTopic"}) {
            trigger(command);
            HelpViewer* viewer = shownViewer();
            QVERIFY2(viewer->page()->toPlainText().contains(report),
                     qPrintable(viewer->page()->toPlainText()));
            QVERIFY(viewer->page()->toPlainText().contains(path));
            QCOMPARE(viewer->currentTopic(), QString());
            QCOMPARE(viewer->keywordList()->count(), 0);
        }

        // Each opening reads the file afresh: once a sound help file is in its place, the same
        // viewer shows it.
        HelpViewer* viewer = window_->help().viewer();
        if (QFileInfo(path).isDir()) QVERIFY(QDir(path).removeRecursively());
        QFile::remove(path);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(QFile::copy(kShippedHelp, path));
        trigger("mnuHelpContents");
        QCOMPARE(window_->help().viewer(), viewer);
        QCOMPARE(viewer->currentTopic(), QStringLiteral("contents"));
        QVERIFY(viewer->keywordList()->count() > 0);
    }

    // What ships: a contents page that leads everywhere, no link to nowhere, keywords everywhere.
    void theShippedHelpFileHoldsTogether() {
        const HelpFile help = HelpFile::load(kShippedHelp);
        QCOMPARE(help.status(), HelpFile::Status::Loaded);
        QCOMPARE(help.topics().front().id, QStringLiteral("contents"));
        const QRegularExpression link(QStringLiteral("href=\"#([^\"]*)\""));
        std::set<QString> linked;
        for (const HelpTopic& topic : help.topics()) {
            QVERIFY2(topic.title != topic.id, qPrintable(topic.id));
            QVERIFY2(!topic.keywords.isEmpty(), qPrintable(topic.id));
            QVERIFY2(!topic.body.trimmed().isEmpty(), qPrintable(topic.id));
            for (const auto& match : link.globalMatch(topic.body)) {
                QVERIFY2(help.find(match.captured(1)), qPrintable(match.captured(0)));
                if (topic.id == QStringLiteral("contents")) linked.insert(match.captured(1));
            }
        }
        QCOMPARE(linked.size(), help.topics().size() - 1);
    }

    // Each system's help speaks of its own store and tools, in its text and in its index.
    void eachSystemsHelpSpeaksOfItsOwn_data() {
        QTest::addColumn<HelpFile::System>("system");
        QTest::addColumn<QStringList>("own");
        QTest::addColumn<QStringList>("foreign");
        QTest::newRow("Windows") << HelpFile::System::Windows
                                 << QStringList{QStringLiteral("HKEY_CURRENT_USER"),
                                                QStringLiteral("「送る」")}
                                 << QStringList{QStringLiteral("settings.db"),
                                                QStringLiteral("man "), QStringLiteral("Linux"),
                                                QStringLiteral("XDG_")};
        QTest::newRow("Linux") << HelpFile::System::Linux
                               << QStringList{QStringLiteral("settings.db"),
                                              QStringLiteral("man voxilo-cli")}
                               << QStringList{QStringLiteral("HKEY_"),
                                              QStringLiteral("コマンド プロンプト")};
    }
    void eachSystemsHelpSpeaksOfItsOwn() {
        QFETCH(HelpFile::System, system);
        QFETCH(QStringList, own);
        QFETCH(QStringList, foreign);
        QFile file(kShippedHelp);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const HelpFile help = HelpFile::parse(QString::fromUtf8(file.readAll()), system);
        QCOMPARE(help.status(), HelpFile::Status::Loaded);
        QString all;
        for (const HelpTopic& topic : help.topics()) {
            all += topic.title + topic.keywords.join(QLatin1Char(';')) + topic.body;
            QVERIFY2(!topic.keywords.isEmpty(), qPrintable(topic.id));
        }
        for (const QString& word : own) QVERIFY2(all.contains(word), qPrintable(word));
        for (const QString& word : foreign) QVERIFY2(!all.contains(word), qPrintable(word));
    }

    void readsTheHelpFormat() {
        const HelpFile help = HelpFile::parse(
            QStringLiteral("Voxilo help 1\r\n# a comment\r\n\r\n.topic a\r\n.title First\r\n"
                           ".keywords one; two ;;\r\n<p>text</p>\r\n.title not a title here\r\n"
                           ".topic b\r\n<p>b</p>"));
        QCOMPARE(help.status(), HelpFile::Status::Loaded);
        QCOMPARE(help.topics().size(), 2u);
        QCOMPARE(help.topics()[0].title, QStringLiteral("First"));
        QCOMPARE(help.topics()[0].keywords,
                 (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
        QCOMPARE(help.topics()[0].body, QStringLiteral("<p>text</p>\n.title not a title here\n"));
        QCOMPARE(help.topics()[1].title, QStringLiteral("b"));
        QCOMPARE(help.find(QStringLiteral("b")), &help.topics()[1]);
        QCOMPARE(help.find(QStringLiteral("c")), nullptr);

        const QString both = QStringLiteral(
            "Voxilo help 1\n.topic a\n.if windows\n.title W\n.endif\n.if linux\n.title L\n"
            ".endif\n<p>all</p>\n.if linux\n<p>only L</p>\n.endif");
        const HelpFile windows = HelpFile::parse(both, HelpFile::System::Windows);
        const HelpFile linux = HelpFile::parse(both, HelpFile::System::Linux);
        QCOMPARE(windows.topics().at(0).title, QStringLiteral("W"));
        QCOMPARE(windows.topics().at(0).body, QStringLiteral("<p>all</p>\n"));
        QCOMPARE(linux.topics().at(0).title, QStringLiteral("L"));
        QCOMPARE(linux.topics().at(0).body, QStringLiteral("<p>all</p>\n<p>only L</p>\n"));

        for (const char* broken :
             {"", "Voxilo help 2\n.topic a\n", "Voxilo help 1\n",
              "Voxilo help 1\ntext before any topic\n.topic a\n",
              "Voxilo help 1\n.topic a\n.if linux\nx\n", "Voxilo help 1\n.topic a\nx\n.endif\n",
              "Voxilo help 1\n.topic a\n.if linux\n.if windows\n.endif\n"}) {
            QCOMPARE(HelpFile::parse(QString::fromUtf8(broken)).status(),
                     HelpFile::Status::NotHelp);
        }
    }

    // Beside the program first, then where an installation puts it, else beside the program.
    void findsTheHelpFileBesideTheProgramOrInstalled() {
        const QString root = folder_.filePath(QStringLiteral("prefix"));
        const QString bin = root + QStringLiteral("/bin");
        const QString installed =
            QDir::cleanPath(bin + QStringLiteral("/" VOXILO_INSTALLED_HELP_FOLDER "/Vx_lo.hlp"));
        const QString beside = QDir::toNativeSeparators(bin + QStringLiteral("/Vx_lo.hlp"));
        QVERIFY(QDir().mkpath(bin));
        QCOMPARE(helpFilePath(bin), beside);
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
        QVERIFY(QFile::copy(kShippedHelp, installed));
        QCOMPARE(helpFilePath(bin), QDir::toNativeSeparators(installed));
        QVERIFY(QFile::copy(kShippedHelp, beside));
        QCOMPARE(helpFilePath(bin), beside);
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
