#!/usr/bin/env bash
# Builds the Debian package and tries it as an operator would on a fresh Debian 12 system:
#   1. lintian on the package (any error fails);
#   2. a new Debian 12 root made with debootstrap, the package installed there with
#      apt-get install ./cw-tamarik_*.deb;
#   3. the installed program started on a virtual display there, and a screenshot taken;
#   4. a text rendered with the installed cw-tamarik-render, which must be byte for byte what
#      the build tree's renderer writes;
#   5. the package purged: none of its files and no path naming it may be left; then its
#      dependencies removed too, and what they leave (run-time folders, backups their
#      maintainer scripts make) listed for the record.
# Needs root (debootstrap and chroot) and the Debian mirror. The results, the screenshot and
# the figures go to out/package/. CWT_MIRROR changes the mirror.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/out/package
mirror=${CWT_MIRROR:-http://deb.debian.org/debian}

if [ "$(id -u)" -ne 0 ]; then exec sudo -E "$0" "$@"; fi
export DEBIAN_FRONTEND=noninteractive
missing=()
for p in debootstrap lintian imagemagick; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] || { apt-get update -q; apt-get install -y -q --no-install-recommends "${missing[@]}"; }

scripts/package.sh
deb=$(ls "$out"/cw-tamarik_*.deb)
name=$(basename "$deb")

echo "== lintian"
lintian --info --no-tag-display-limit "$deb" | tee "$out/lintian.txt" || true
if grep -q '^E: ' "$out/lintian.txt"; then echo "lintian reports errors"; exit 1; fi

echo "== a fresh Debian 12 root"
chroot_dir=$(mktemp -d /var/tmp/cwt-debian12.XXXXXX)
cleanup() {
    for m in dev/pts dev proc sys; do umount -l "$chroot_dir/$m" 2>/dev/null || true; done
    rm -rf --one-file-system "$chroot_dir"
}
trap cleanup EXIT
debootstrap --variant=minbase bookworm "$chroot_dir" "$mirror" >"$out/debootstrap.log" 2>&1 ||
    { tail -n 20 "$out/debootstrap.log"; exit 1; }
mount -t proc proc "$chroot_dir/proc"
mount -t sysfs sys "$chroot_dir/sys"
mount --bind /dev "$chroot_dir/dev"
mount --bind /dev/pts "$chroot_dir/dev/pts"
cp /etc/resolv.conf "$chroot_dir/etc/resolv.conf"
in_root() { chroot "$chroot_dir" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
# The display and the screenshot tool are the test's, not the package's: installed first.
in_root apt-get update -q >/dev/null
in_root apt-get install -y -q --no-install-recommends xvfb x11-apps x11-utils >/dev/null

snapshot() {  # every path of the root but the test's own scratch and apt's bookkeeping
    (cd "$chroot_dir" && find . -xdev \( -path ./proc -o -path ./sys -o -path ./dev -o -path ./tmp \
        -o -path ./var/log -o -path ./var/cache/apt -o -path ./var/lib/apt/lists \
        -o -path ./var/cache/debconf -o -path ./root \) -prune -o -print | sort)
}
snapshot >"$out/before.txt"

echo "== apt-get install ./$name"
cp "$deb" "$chroot_dir/tmp/"
start=$(date +%s.%N)
in_root apt-get install -y -q "/tmp/$name" >"$out/install.log" 2>&1 || { tail -n 30 "$out/install.log"; exit 1; }
install_s=$(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start }")
installed_kb=$(in_root dpkg-query -W -f='${Installed-Size}' cw-tamarik)
in_root dpkg -L cw-tamarik >"$out/files.txt"
new_packages=$(grep -c '^Setting up ' "$out/install.log" || true)

echo "== the installed program on a virtual display"
in_root sh -c 'Xvfb :7 -screen 0 1280x1024x24 -nolisten tcp -noreset >/tmp/xvfb.log 2>&1 &
    for i in $(seq 50); do xdpyinfo -display :7 >/dev/null 2>&1 && break; sleep 0.1; done
    mkdir -p /tmp/home
    DISPLAY=:7 HOME=/tmp/home cw-tamarik >/tmp/program.log 2>&1 &
    for i in $(seq 100); do
        xwininfo -display :7 -root -tree 2>/dev/null | grep -q "cw-tamarik" && break; sleep 0.1
    done
    sleep 2
    xwd -display :7 -root -silent -out /tmp/screen.xwd
    pkill -x cw-tamarik; sleep 1; pkill -x Xvfb; true'
convert "xwd:$chroot_dir/tmp/screen.xwd" -trim +repage "$out/installed-program.png"
echo "program's output:"; cat "$chroot_dir/tmp/program.log"
if grep -qiE 'could not (load|find)|abort|segmentation' "$chroot_dir/tmp/program.log"; then
    echo "the installed program failed to start"; exit 1
fi

echo "== the installed renderer"
printf 'CQ CQ DE HL1ABC 안녕하십니까 [AR]\r\n' >"$chroot_dir/tmp/text.txt"
in_root sh -c 'cd /tmp && cw-tamarik-render --marks text.txt -o installed.wav'
"$root/build-package/src/tools/render/cw-tamarik-render" --marks "$chroot_dir/tmp/text.txt" \
    -o "$out/reference.wav" >/dev/null
cmp "$chroot_dir/tmp/installed.wav" "$out/reference.wav"
wav_bytes=$(stat -c %s "$chroot_dir/tmp/installed.wav")

echo "== apt-get purge cw-tamarik"
in_root apt-get purge -y -q cw-tamarik >"$out/remove.log" 2>&1
left=()
while read -r path; do  # the package's own files and folders; shared folders stay
    [ "$path" != "/." ] && [ -e "$chroot_dir$path" ] || continue
    [ -d "$chroot_dir$path" ] && ! in_root dpkg -S "$path" >/dev/null 2>&1 && left+=("$path")
    [ -d "$chroot_dir$path" ] || left+=("$path")
done <"$out/files.txt"
snapshot >"$out/after-purge.txt"
named=$(grep -i tamarik "$out/after-purge.txt" || true)
if [ ${#left[@]} -gt 0 ] || [ -n "$named" ]; then
    echo "left behind after the purge:"; printf '%s\n' "${left[@]}" $named; exit 1
fi
in_root apt-get autoremove -y -q --purge >>"$out/remove.log" 2>&1
removed_packages=$(grep -c '^Removing ' "$out/remove.log" || true)
snapshot >"$out/after.txt"
diff "$out/before.txt" "$out/after.txt" | grep '^[<>]' >"$out/dependency-residue.txt" || true

cat <<REPORT | tee "$out/figures.txt"
package:          $name, $(stat -c %s "$deb") bytes
installed size:   $installed_kb KiB of its own, $(wc -l <"$out/files.txt") paths
install:          ${install_s} s with $new_packages packages set up (dependencies included)
renderer:         $wav_bytes bytes, identical to the build tree's
screenshot:       $out/installed-program.png
lintian:          $(grep -c '^E: ' "$out/lintian.txt" || true) errors, $(grep -c '^W: ' "$out/lintian.txt" || true) warnings, $(grep -c '^I: ' "$out/lintian.txt" || true) notes
after the purge:  none of the package's $(wc -l <"$out/files.txt") paths left, no path naming it
autoremove:       $removed_packages packages removed; their residue ($(wc -l <"$out/dependency-residue.txt") paths, run-time
                  folders and maintainer-script backups) is in dependency-residue.txt
REPORT
