# Sourced by the scripts: the Wine settings every run shares.
export WINEARCH=win32
export WINEPREFIX="${OSTREL_WINEPREFIX:-$HOME/.cache/ostrel/wine32}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
