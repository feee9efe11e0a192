# Sourced by the scripts: the Wine settings every run shares.
export WINEARCH=win32
export WINEPREFIX="${OSTREL_WINEPREFIX:-$HOME/.cache/ostrel/wine32}"
export WINEDEBUG=-all
# winedbg off: a crashing test process ends at once instead of waiting on a
# debugger that holds the run.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"
