#pragma once

#include <QDialog>
#include <QFont>

#include <optional>

#include "core/AppState.h"
#include "core/store/ProgramSettings.h"
#include "core/store/StoreMessages.h"
#include "core/store/ValueStore.h"
#include "gui/dialogs/Dialogs.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace voxilo {

class AccountSettings;

// frmOptions: everything the program keeps between runs, edited on copies. Nothing reaches the
// store or the settings in memory before OK, which saves it all at once.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    OptionsDialog(AppState& state, ProgramSettings& settings, ValueStore& store, Dialogs& dialogs,
                  const QFont& paneFont, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // View > ｵﾌﾟｼｮﾝ: a fresh dialog, shown modally on AppState.optionsTab. True when OK changed
    // the logged-in user's own settings: the user has been told, and the program is to end.
    static bool open(AppState& state, ProgramSettings& settings, ValueStore& store,
                     Dialogs& dialogs, QWidget* parent, const QFont& paneFont);

    // A text box enabled and white, or disabled and grey.
    static void enableBox(QLineEdit* box, bool enabled);

    // Something was changed: OK becomes available.
    void markChanged();
    // Enables the controls as the entries allow.
    void updateOptionControls();
    // False, after telling so, while a new password waits for its confirmation or the current
    // password.
    bool passwordEntriesConfirmed();

    bool optionsChanged() const { return changed_; }
    AccountSettings& accounts() const { return *accounts_; }
    QFont previewFont() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // OptionsDialogPages.cpp: the general tab's widgets, and the tab order.
    QWidget* makeGeneralPage();
    void applyTabOrder();
    void load(const QFont& paneFont);
    void selectTab(int tab);
    void tabClicked();
    bool leavePage();
    void switchPages();
    QLineEdit* unconfirmedBox() const;
    void countChanged();
    bool filterCountKey(QEvent* event);
    void chooseFont();
    void confirm();
    void takeStoredSettings();

    AppState& state_;
    ProgramSettings& settings_;
    ValueStore& store_;
    Dialogs& dialogs_;
    AccountSettings* accounts_ = nullptr;
    bool changed_ = false;  // OptionsChanged
    // Why OK's save failed, told once the dialog has closed, over the window it returns to.
    std::optional<StoreFailure> saveFailure_;
    bool reselecting_ = false;  // the next tab click was the program's own: only switch pages

    QTabBar* tabs_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QCheckBox* startup_ = nullptr;
    QCheckBox* retry_ = nullptr;
    QLineEdit* count_ = nullptr;
    QCheckBox* toolbar_ = nullptr;
    QCheckBox* statusbar_ = nullptr;
    QLabel* preview_ = nullptr;
    QPushButton* font_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace voxilo
