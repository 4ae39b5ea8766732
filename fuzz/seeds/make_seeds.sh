#!/usr/bin/env bash
# Cuts the file-system readers' seeds out of small images that real tools
# make (genisoimage, mkudffs, hformat/hcopy): only the blocks that hold
# structures, in the layout of fuzz/support/image_stage.h (two bytes of
# track length, then block number and 2048 bytes per block). Run once; the
# seeds are checked in. Needs genisoimage, udftools, hfsutils, python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

mkdir -p tree/sub/deeper tree/long_directory_name_for_joliet
echo hello > tree/a.txt
echo world > tree/sub/b.txt
echo deep > tree/sub/deeper/c.txt
echo long > "tree/long_directory_name_for_joliet/A file with a long name.text"
ln -s a.txt tree/link

genisoimage -quiet -R -J -o iso-rr-joliet.img tree
genisoimage -quiet -o iso-plain.img tree 2>/dev/null
genisoimage -quiet -udf -o udf-bridge.img tree
genisoimage -quiet -hfs -o hfs-hybrid.img tree 2>/dev/null
dd if=/dev/zero of=udf-vat.img bs=2048 count=300 status=none
mkudffs --media-type=cdr --blocksize=2048 udf-vat.img >/dev/null
dd if=/dev/zero of=udf-hd.img bs=2048 count=1024 status=none
mkudffs --media-type=hd --blocksize=2048 udf-hd.img >/dev/null
dd if=/dev/zero of=hfs-plain.img bs=1024 count=800 status=none
hformat -l "Mac Volume" hfs-plain.img >/dev/null
hmount hfs-plain.img >/dev/null
hmkdir :Docs
hcopy tree/a.txt :Docs:a.txt
hcopy tree/sub/b.txt :b.txt
humount >/dev/null

# cut IMAGE HARNESS NAME [SKIP_DATA]: writes the seed of every block that
# is not zeros (with SKIP_DATA, past block 300 only UDF descriptors, which
# leaves file contents and padding out).
cut() {
  python3 - "$1" "$here/$2/$3" "${4:-}" <<'PY'
import struct, sys
image, out, skip = sys.argv[1], sys.argv[2], sys.argv[3]
data = open(image, 'rb').read()
blocks = min(len(data) // 2048, 1024)
def udf_tag(b):
    ident = b[0] | b[1] << 8
    return 1 <= ident <= 266 and (sum(b[0:4]) + sum(b[5:16])) & 0xFF == b[4]
seed = struct.pack('<H', blocks)
for n in range(blocks):
    b = data[n * 2048:(n + 1) * 2048]
    if not any(b):
        continue
    # Past block 300 only descriptors, and anchors only where a reader
    # looks for them (the padding repeats one in every block).
    if skip and n >= 300 and not (udf_tag(b) and (b[0] != 2 or n in (blocks - 1, blocks - 257))):
        continue
    seed += struct.pack('<H', n) + b
open(out, 'wb').write(seed)
PY
}
mkdir -p "$here/iso" "$here/udf" "$here/hfs"
cut iso-rr-joliet.img iso rock-ridge-joliet
cut iso-plain.img iso plain
cut udf-bridge.img udf iso-udf-bridge skip
cut udf-vat.img udf write-once-vat
cut udf-hd.img udf rewritable
cut hfs-plain.img hfs plain
cut hfs-hybrid.img hfs iso-hfs-hybrid

# The disc layout harness: the replies a virtual drive gives for a few
# kinds of disc, recorded by the harness itself (its record mode). Needs
# the harness built: BUILD (default build-fuzz) names the build folder.
layout=${BUILD:-$here/../../build-fuzz}/fuzz/layout_fuzzer
if [ -x "$layout" ]; then
  mkdir -p "$here/layout"
  record() {
    printf '%b' "$2" > "$work/$1.vdisc"
    DRAVIK_FUZZ_RECORD_DISC="$work/$1.vdisc" DRAVIK_FUZZ_RECORD_TO="$here/layout/$1" "$layout" >/dev/null 2>&1
  }
  record audio-and-data 'title 0 "Disc"\ntitle 1 "First song"\ntitle 2 "Second song"\ntrack audio zero length 300\ntrack audio zero length 200\ntrack mode1 zero length 400\n'
  record two-sessions 'medium cd-r\nfinalized no\nsession\ntrack mode1 zero length 300\nsession\ntrack mode1 zero length 300\n'
  record open-packet-track 'medium cd-rw\nsession open\ntrack mode1 zero length 500 packet 32 open free 1000\n'
  record blank 'medium cd-r\nblank\n'
  record older-drive 'interface older\ntrack mode1 zero length 300\ntrack audio zero length 200\n'
else
  echo "make_seeds.sh: $layout not built; layout seeds left as they are" >&2
fi
