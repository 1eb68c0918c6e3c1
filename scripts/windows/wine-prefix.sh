#!/usr/bin/env bash
# Makes the Wine prefix that Windows builds run their programs in, once, and prints its path:
# build/wine (or $TRAWLMETER_WINEPREFIX), with the Windows CJK font names mapped to WenQuanYi
# Micro Hei so Chinese text draws. Safe to call from several processes at once.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX="${TRAWLMETER_WINEPREFIX:-$root/build/wine}"
export WINEDEBUG=-all
ready="$WINEPREFIX/.trawlmeter-ready"

if [[ ! -e "$ready" ]]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock 9
    if [[ ! -e "$ready" ]]; then
        # What an interrupted start left is not a prefix to trust; a prefix made elsewhere is
        # not ours to remove.
        partial="$WINEPREFIX.partial"
        if [[ -e "$WINEPREFIX" && ! -e "$partial" ]]; then
            echo "wine-prefix: $WINEPREFIX was not made here; remove it or set another" \
                "TRAWLMETER_WINEPREFIX" >&2
            exit 1
        fi
        touch "$partial"
        rm -rf "$WINEPREFIX"
        started=$SECONDS
        log="$WINEPREFIX.log"
        # Nothing here needs .NET or an HTML engine; without a display their installers would
        # only wait for a click.
        WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot --init >"$log" 2>&1 ||
            { cat "$log" >&2; echo "wine-prefix: wineboot failed" >&2; exit 1; }
        key='HKCU\Software\Wine\Fonts\Replacements'
        for font in "Microsoft YaHei" "SimSun" "NSimSun"; do
            wine reg add "$key" /v "$font" /t REG_SZ /d "WenQuanYi Micro Hei" /f >>"$log" 2>&1
        done
        # A program that crashes in a test prints its trace and ends instead of opening a dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >>"$log" 2>&1
        # The registry reaches the disk when the server ends.
        wineserver -w
        touch "$ready"
        rm -f "$partial"
        echo "wine-prefix: made $WINEPREFIX in $((SECONDS - started)) s" >&2
    fi
fi
echo "$WINEPREFIX"
