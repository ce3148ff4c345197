#!/usr/bin/env bash
# Builds the Debian package with cpack and checks it with dpkg-deb: its fields, that it holds
# exactly what the install step installs (under /usr, nothing of the build tree), that it
# depends on the package of every library the programs load, and that its desktop entry,
# AppStream metadata and manual pages pass their validators.
# Usage: tst_deb.sh <build dir> <version> <cpack> <cmake>
set -euo pipefail
build=$1 version=$2 cpack=$3 cmake=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { [[ "$2" == "$3" ]] || fail "$1: expected '$3', got '$2'"; }

arch=$(dpkg --print-architecture)
if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
deb="$work/out/tallyrue_${version}_${arch}.deb"
if [[ ! -f $deb ]]; then
    echo "FAIL: no $(basename "$deb") among: $(ls "$work/out")"
    exit 1
fi
dpkg-deb -I "$deb"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
expect Package "$(field Package)" tallyrue
expect Version "$(field Version)" "$version"
expect Architecture "$(field Architecture)" "$arch"
expect Section "$(field Section)" office
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: '$(field Maintainer)'"
[[ -n $(field Homepage) ]] || fail "no Homepage"
description=$(field Description)
short=${description%%$'\n'*}
[[ $short =~ [a-z]+\ [a-z]+ && $short == *收支* ]] || fail "short description not in English and Chinese: '$short'"
long=${description#*$'\n'}
[[ $long == *"Tallyrue keeps account books"* && $long == *"单用户记账程序"* ]] \
    || fail "long description not in English and Chinese"

# Dependencies: the ones named by hand, and the package of each library the programs link.
depends=$(field Depends)
has_dep() {
    local d
    IFS=, read -ra ds <<<"$depends"
    for d in "${ds[@]}"; do
        d=${d# }
        [[ ${d%% *} == "$1" ]] && return 0
    done
    return 1
}
for p in fonts-noto-cjk fonts-droid-fallback qt6-translations-l10n; do
    has_dep "$p" || fail "Depends lacks $p: $depends"
done
dpkg-deb -x "$deb" "$work/root"
for bin in tallyrue tallyrue-restore; do
    for lib in $(objdump -p "$work/root/usr/bin/$bin" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(ldd "$work/root/usr/bin/$bin" | awk -v l="$lib" '$1 == l {print $3} $1 ~ "/" l "$" {print $1}')
        [[ -n $path ]] || { fail "$bin: $lib not found"; continue; }
        pkg=$(dpkg -S "$path" 2>/dev/null || dpkg -S "$(realpath "$path")" 2>/dev/null || true)
        pkg=${pkg%%:*}
        if [[ -z $pkg ]]; then fail "$bin: no package owns $path"; continue; fi
        has_dep "$pkg" || fail "$bin links $lib of $pkg, which Depends lacks: $depends"
    done
done

# Contents: exactly the files of an install to /usr, owned by root, with the manual pages,
# the metadata and nothing that points into the build tree.
DESTDIR="$work/install" "$cmake" --install "$build" --prefix /usr >/dev/null
(cd "$work/install" && find . ! -type d | sort) >"$work/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/packaged"
diff -u "$work/installed" "$work/packaged" >"$work/diff" || { cat "$work/diff"; fail "package differs from the install"; }
owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
expect owners "$owners" root/root
for f in usr/bin/tallyrue usr/bin/tallyrue-restore usr/share/applications/tallyrue.desktop \
         usr/share/metainfo/tallyrue.metainfo.xml usr/share/icons/hicolor/scalable/apps/tallyrue.svg \
         usr/share/icons/hicolor/256x256/apps/tallyrue.png usr/share/tallyrue/print/ab.rav \
         usr/share/man/man1/tallyrue.1.gz usr/share/man/man1/tallyrue-restore.1.gz; do
    [[ -f $work/root/$f ]] || fail "package lacks /$f"
done
for bin in tallyrue tallyrue-restore; do
    [[ -z $(objdump -h "$work/root/usr/bin/$bin" | grep -w .debug_info) ]] || fail "$bin is not stripped"
done
if grep -rlaF -e "$build" -e "$(cd "$build/.." && pwd)/src" -e _CPack_Packages "$work/root"; then
    fail "files above name the build tree"
fi

# Validators.
entry="$work/root/usr/share/applications/tallyrue.desktop"
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[[ -z $out ]] || fail "desktop-file-validate: $out"
expect Exec "$(sed -n 's/^Exec=//p' "$entry")" '"/usr/bin/tallyrue"'
expect TryExec "$(sed -n 's/^TryExec=//p' "$entry")" /usr/bin/tallyrue
metainfo="$work/root/usr/share/metainfo/tallyrue.metainfo.xml"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
grep -q "<launchable type=\"desktop-id\">tallyrue.desktop</launchable>" "$metainfo" || fail "metainfo launches no tallyrue.desktop"
grep -q "<release version=\"$version\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"" "$metainfo" \
    || fail "metainfo has no dated release $version"
for page in tallyrue tallyrue-restore; do
    file="$work/root/usr/share/man/man1/$page.1.gz"
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null) || fail "man $page failed"
    [[ -z $warnings ]] || fail "man $page: $warnings"
    MANWIDTH=80 man -l "$file" 2>/dev/null | grep "^NAME" >/dev/null || fail "man $page shows no NAME section"
done

# The packaged tool tells the package's version, and the window's caption shows the same one.
expect "tallyrue-restore --version" "$("$work/root/usr/bin/tallyrue-restore" --version)" "tallyrue-restore $version"
strings -e l "$work/root/usr/bin/tallyrue" | grep -xF "Tallyrue  V$version" >/dev/null \
    || fail "the window caption does not show the version $version"

if ((failures)); then
    echo "$failures failed"
    exit 1
fi
echo "package $(basename "$deb") checked"
