// The program's look as the user sees it, whatever the locale it runs in (the suite runs once
// for each of several locales).

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "gui/main/MainWindow.h"
#include "gui/main/ProgramLook.h"
#include "support/ScriptedDialogs.h"
#include "support/TestStore.h"

using namespace voxilo;

class ProgramLookTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    testing_support::ScriptedDialogs dialogs_;

private slots:
    void initTestCase() { applyProgramLook(*qApp); }

    // Ciphertext lines up in columns only when every half-width character takes the same room
    // and a full-width one twice that. Measured in the font the panes really use, as the
    // default font name and the fonts installed make it.
    void thePanesWriteInAFixedWidthJapaneseFont() {
        AppState state;
        state.userNames = {u"", u"alice"};
        state.currentUser = u"alice";
        ProgramSettings settings;  // the default font
        const auto store =
            testing_support::freshStore(folder_.filePath(QStringLiteral("store.db")).toStdString());
        MainWindow window(state, settings, *store, dialogs_);
        window.show();
        for (QPlainTextEdit* pane : {window.topPane(), window.bottomPane()}) {
            const QFontMetricsF metrics = pane->fontMetrics();
            const QString used = QFontInfo(pane->font()).family();
            const qreal half = metrics.horizontalAdvance(QStringLiteral("W"));
            QVERIFY2(half > 0, qPrintable(used));
            for (const QString& text : {QStringLiteral("iiii"), QStringLiteral("WWWW"),
                                        QStringLiteral("1l.M"), QStringLiteral("%/&@")}) {
                QVERIFY2(qFuzzyCompare(metrics.horizontalAdvance(text), 4 * half),
                         qPrintable(used + QLatin1Char(' ') + text));
            }
            QVERIFY2(qFuzzyCompare(metrics.horizontalAdvance(QStringLiteral("あア漢")), 6 * half),
                     qPrintable(used));
            // The kana come from the font itself, not from a fallback of other measures.
            QVERIFY2(metrics.inFontUcs4(U'あ'), qPrintable(used));
        }
        QVERIFY(dialogs_.takeProblems().isEmpty());
    }
};

QTEST_MAIN(ProgramLookTest)
#include "ProgramLookTest.moc"
