#include "gui/main/ProgramLook.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QProxyStyle>
#include <QTranslator>

#include "gui/dialogs/InputMethod.h"

namespace voxilo {
namespace {

class ProgramStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

void applyProgramLook(QApplication& application) {
    // The interface is Japanese everywhere, so Qt's own texts are too. Without the translation
    // file Qt keeps its English texts; nothing else depends on it.
    auto* qtTexts = new QTranslator(&application);
    if (qtTexts->load(QStringLiteral("qtbase_ja"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(qtTexts);
    } else {
        delete qtTexts;
    }

    // Password boxes show "*" for each character, as the program's dialogs are drawn.
    QApplication::setStyle(new ProgramStyle);

    // Text the user did not commit in the input method lands nowhere.
    guardCompositions(application);

    // Ciphertext lines only line up in a fixed-width font. The stored font name stays as the
    // user chose it; where that font is missing, these stand in for it.
    const QStringList fixedJapanese = {QStringLiteral("IPAGothic"),
                                       QStringLiteral("Noto Sans Mono CJK JP"),
                                       QStringLiteral("VL Gothic")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), fixedJapanese);
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), fixedJapanese);
}

}  // namespace voxilo
