#!/usr/bin/env bash
# install_tree_test.sh BUILD_DIR WORK_DIR VERSION: installs the build into WORK_DIR/prefix and checks the
# tree: both programs answer --version without a display, the desktop entry and the metainfo pass
# their validators (where installed), the manual pages render without a warning, the completions
# parse, and every command and option the CLI's help names is in the manual page and in each
# completion.
set -uo pipefail
build=$1
work=$2
version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: $*"; }

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
fi
share=$prefix/share
cli=$prefix/bin/sectorvane-cli

# --version with no display: the window program must answer before it needs one.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$cli" --version 2>&1)
[ "$out" = "sectorvane-cli $version" ] || fail "sectorvane-cli --version printed '$out'"
if [ -x "$prefix/bin/sectorvane" ]; then
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/sectorvane" --version 2>&1)
    [ "$out" = "sectorvane $version" ] || fail "sectorvane --version printed '$out'"
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/sectorvane" --help 2>&1)
    grep -q -- '--version' <<<"$out" || fail "sectorvane --help printed '$out'"

    desktop=$share/applications/org.sectorvane.Sectorvane.desktop
    metainfo=$share/metainfo/org.sectorvane.Sectorvane.metainfo.xml
    for f in "$desktop" "$metainfo" "$share/icons/hicolor/scalable/apps/org.sectorvane.Sectorvane.svg" \
        "$share/icons/hicolor/256x256/apps/org.sectorvane.Sectorvane.png" "$share/man/man1/sectorvane.1"; do
        [ -f "$f" ] || fail "not installed: $f"
    done
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate"
    else
        skip "desktop-file-validate is not installed (desktop-file-utils)"
    fi
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
            { cat "$work/appstream.log"; fail "appstreamcli validate"; }
    else
        skip "appstreamcli is not installed (appstream)"
    fi
else
    skip "the desktop program is not built"
fi

# Manual pages: rendered with every groff warning on; any warning fails.
if command -v groff >/dev/null; then
    for page in "$share"/man/man1/*.1; do
        warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
        [ -z "$warnings" ] || fail "groff warns about $(basename "$page"): $warnings"
        if command -v man >/dev/null; then
            MANWIDTH=80 man -l "$page" >/dev/null 2>"$work/man.log" || fail "man -l $(basename "$page")"
        fi
    done
else
    skip "groff is not installed (groff-base)"
fi

bash_completion=$share/bash-completion/completions/sectorvane-cli
zsh_completion=$(find "$share" -name _sectorvane-cli | head -n 1)
fish_completion=$share/fish/vendor_completions.d/sectorvane-cli.fish
bash -n "$bash_completion" || fail "bash cannot parse $bash_completion"
if command -v zsh >/dev/null; then zsh -n "$zsh_completion" || fail "zsh cannot parse it"; fi
if command -v fish >/dev/null; then fish -n "$fish_completion" || fail "fish cannot parse it"; fi

# Every command of the CLI and every option of each is documented and completed.
man_text=$(MANWIDTH=200 groff -man -Tutf8 -P-cbou "$share/man/man1/sectorvane-cli.1" 2>/dev/null | sed 's/.\x08//g')
commands=$("$cli" --help | sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z]\+\) .*/\1/p')
[ -n "$commands" ] || fail "no commands in sectorvane-cli --help"
for command in $commands; do
    grep -q "^   $command" <<<"$man_text" || fail "the manual page has no section for $command"
    for completion in "$bash_completion" "$zsh_completion" "$fish_completion"; do
        grep -qw -- "$command" "$completion" || fail "$(basename "$completion") lacks $command"
    done
    for option in $("$cli" "$command" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        [ "$option" = --help ] && continue
        grep -q -- "$option" <<<"$man_text" || fail "the manual page lacks $command $option"
        grep -q -- "$option" "$bash_completion" || fail "the bash completion lacks $command $option"
        grep -q -- "$option" "$zsh_completion" || fail "the zsh completion lacks $command $option"
        grep -q -- "-l ${option#--}" "$fish_completion" || fail "the fish completion lacks $command $option"
    done
done

if [ "$failures" -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installed tree checked: $prefix"
