# Sourced: a Wine prefix that looks like a Japanese Windows to the programs in it.
#   prepare_wine_prefix FOLDER     makes it once (a few seconds) and exports WINEPREFIX

prepare_wine_prefix() {
    # The ANSI code page follows the locale: Japanese, code page 932, as on the Windows the
    # program is made for. Making the prefix would offer Wine's .NET and HTML engines; nothing
    # here needs them. Wine's menu builder, which mirrors each new shortcut into the desktop's
    # menus, can hang on one and keep `wineserver -w` waiting: the tests read shortcuts as
    # files.
    export WINEPREFIX="$1" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    [ -f "$WINEPREFIX/.voxilo-ready" ] && return 0
    wineboot -i >/dev/null 2>&1 || true
    # Wine has none of Windows' Japanese fonts. A Japanese Windows draws dialogs in "MS UI
    # Gothic" and the panes in "ＭＳ ゴシック"; the IPA fonts stand in for them, the fixed-width
    # one for the fixed-width faces.
    local key='HKCU\Software\Wine\Fonts\Replacements' face
    for face in "MS UI Gothic" "MS PGothic" "ＭＳ Ｐゴシック" "Meiryo" "メイリオ" "Yu Gothic UI"; do
        wine reg add "$key" /v "$face" /t REG_SZ /d "IPAPGothic" /f >/dev/null 2>&1
    done
    for face in "MS Gothic" "ＭＳ ゴシック"; do
        wine reg add "$key" /v "$face" /t REG_SZ /d "IPAGothic" /f >/dev/null 2>&1
    done
    # Qt looks names up in the system's font substitutes.
    key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
    for face in "MS Gothic" "ＭＳ ゴシック"; do
        wine reg add "$key" /v "$face" /t REG_SZ /d "IPAGothic" /f >/dev/null 2>&1
    done
    wineserver -w
    touch "$WINEPREFIX/.voxilo-ready"
}
