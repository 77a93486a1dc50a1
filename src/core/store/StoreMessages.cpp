#include "core/store/StoreMessages.h"

namespace voxilo {

StoreMessage storeMessage(StoreFailure failure) noexcept {
    switch (failure) {
        case StoreFailure::UserListUnavailable:
            return {u"プログラム情報の取得に失敗しました。", MessageIcon::Critical, true};
        case StoreFailure::SettingsUnavailable:
            return {u"プログラム情報の取得に失敗しました。\r\nアプリケーションを終了します。",
                    MessageIcon::Critical, true};
        case StoreFailure::ReadFailed:
            return {u"プログラム情報の取得に失敗しました。", MessageIcon::Exclamation, false};
        case StoreFailure::SaveFailed:
            return {u"プログラム情報の保存に失敗しました。", MessageIcon::Exclamation, false};
        case StoreFailure::FontNotSaved:
            // Not the failed-save message: everything else was saved.
            return {
                u"選択したフォントは名前を保存できないため、フォントの設定は変更されません"
                u"でした。\r\nほかの設定は保存されました。",
                MessageIcon::Exclamation, false};
    }
    return {u"", MessageIcon::Exclamation, false};
}

}  // namespace voxilo
