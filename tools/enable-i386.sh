#!/bin/sh
# Wine runs 32-bit Linux programs. Some kernels are built without 32-bit
# program support (a 32-bit ELF fails with "Exec format error"); on those the
# kernel is told to run such programs through qemu's user-mode emulator, so
# the Windows tests run there too, only slower. Needs root on such a machine;
# does nothing where 32-bit programs already run.
set -eu
probe=/usr/lib/wine/wine
[ -x "$probe" ] || exit 0
if "$probe" --version >/dev/null 2>&1; then
    exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "enable-i386.sh: this kernel cannot run 32-bit programs; run as root to run them through qemu" >&2
    exit 1
fi
if ! command -v qemu-i386 >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
fi
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    # The i386 ELF header, matched on class, data, version, type (executable
    # or shared object) and machine 3.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:OC' \
        >"$binfmt/register"
fi
if ! "$probe" --version >/dev/null 2>&1; then
    echo "enable-i386.sh: 32-bit programs still do not run after registering qemu-i386" >&2
    exit 1
fi
