#!/usr/bin/env bash
# gridwright-flatten end to end: exit codes, listing, JSON and every format.
set -u
flatten=$1 sample=$2 make_models=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A cross build's program runs under Wine, where Linux's / is the drive Z:
# and a path made absolute starts with "Z:/"; its listings are compared
# with that drive taken off.
windows=${GW_TARGET_WINDOWS:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_exit() { # code, command...
    local want=$1; shift
    "$@" > "$work/out" 2> "$work/err"
    local got=$?
    [ -z "$windows" ] || sed -i 's#Z:/#/#g' "$work/out"
    [ "$got" = "$want" ] || fail "'$*' exited $got, not $want ($(cat "$work/err"))"
}

expect_exit 0 "$flatten" --help
grep -q "Exit status" "$work/out" || fail "--help says nothing of exit codes"
expect_exit 2 "$flatten"
expect_exit 2 "$flatten" "$sample" -o "$work/x.txt"
grep -q "extension .eps, .svg, .pdf, .png, .bmp, .tga, .psd or .ora" "$work/err" || fail "unknown format not explained"
# Sizes: every side from 1 to 8192 is accepted, anything else is a usage error.
for size in 1x1 8192x1 1x8192 8192x8192 64X32; do
    expect_exit 0 "$flatten" "$sample" --size "$size" -o "$work/size.svg"
done
for size in 0x10 10x0 8193x10 10x8193 x10 10x 10 -5x10 10x10x10 1e3x10 99999999x1 ""; do
    expect_exit 2 "$flatten" "$sample" --size "$size" -o "$work/x.eps"
done
expect_exit 2 "$flatten" "$sample" --surface nosuch -o "$work/x.eps"
grep -q -- "--list" "$work/err" || fail "unknown surface does not point to --list"
expect_exit 2 "$flatten" "$sample" --bogus
# A model that cannot be loaded is exit status 3 whatever was asked of it.
for mode in --list --dump flatten; do
    if [ "$mode" = flatten ]; then
        expect_exit 3 "$flatten" "$work/missing.md3" -o "$work/never.eps"
    else
        expect_exit 3 "$flatten" "$mode" "$work/missing.md3"
    fi
    grep -q "^gridwright-flatten: cannot open \"$work/missing.md3\": No such file or directory.$" "$work/err" ||
        fail "$mode: load failure not said as command-line tools say it: $(cat "$work/err")"
    grep -q "Hola" "$work/err" && fail "$mode: the window's heading on the command line"
    [ -e "$work/missing.md3" ] && fail "$mode: a missing model was created"
    [ -e "$work/never.eps" ] && fail "$mode: a template was written for a missing model"
done
echo kept > "$work/ro.eps"; chmod 444 "$work/ro.eps"
expect_exit 4 "$flatten" "$sample" -o "$work/ro.eps"
[ "$(cat "$work/ro.eps")" = kept ] || fail "a read-only template was changed"
expect_exit 4 "$flatten" "$sample" -o "$work/no/folder/x.eps"

expect_exit 0 "$flatten" --list "$sample"
expected=$(printf '0\tu_torso\ttorso.tga\t44\t48\n1\th_head\thead.tga\t17\t16\n2\tl_legs\tlegs.tga\t42\t48\n3\ta_antenna\tantenna.tga\t3\t1\n4\ts_shoulders\ttorso.tga\t24\t24')
[ "$(cat "$work/out")" = "$expected" ] || fail "--list gave: $(cat "$work/out")"

expect_exit 0 "$flatten" --dump "$sample"
if command -v python3 > /dev/null; then
    python3 - "$work/out" <<'PY' || fail "--dump is not the expected JSON"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["surfaceCount"] == 5, d["surfaceCount"]
a = d["surfaces"][3]
assert a["name"] == "a_antenna" and a["shaderName"] == "models/players/gridbot/antenna.tga"
assert a["u"] == [0.25, 0.75, 0.5] and a["v"] == [0.75, 0.75, 0.25]
assert a["triangles"] == [[0, 1, 2]]
assert set(a) >= {"fileOffset", "flags", "frameCount", "shaderCount", "vertexCount",
                  "triangleCount", "triangleOffset", "texCoordOffset", "vertexOffset",
                  "endOffset", "shaderIndex"}
PY
    grep -q '"u": \[0.250000, 0.750000, 0.500000\]' "$work/out" || fail "u not written with six decimals"
fi


mkdir -p "$work/dir"
expect_exit 0 "$flatten" "$sample" --surface a_antenna --size 64x32 -o "$work/dir/../t.eps"
grep -q $'^%%Title: (t.eps)\r$' "$work/t.eps" || fail "EPS title is not the bare name"
grep -q $'^%%BoundingBox: 0 0 64 32\r$' "$work/t.eps" || fail "EPS size"
grep -q $'^16 8 moveto\r$' "$work/t.eps" || fail "EPS triangle"
expect_exit 0 "$flatten" "$sample" --surface 3 --size 64x32 -o "$work/t.BMP"
[ "$(head -c 2 "$work/t.BMP")" = "BM" ] || fail "BMP signature"
[ "$(stat -c %s "$work/t.BMP")" = $((54 + 64 * 3 * 32)) ] || fail "BMP size"
expect_exit 0 "$flatten" "$sample" --surface 1 --size 100x50 -o "$work/t.png"
expect_exit 0 "$flatten" "$sample" --size 100x50 -o "$work/t.svg"
grep -q '<svg' "$work/t.svg" || fail "SVG"
if command -v identify > /dev/null && identify -version 2>/dev/null | grep -q ImageMagick; then
    [ "$(identify -format '%w %h' "$work/t.png")" = "100 50" ] || fail "PNG not readable"
    [ "$(identify -format '%w %h' "$work/t.BMP")" = "64 32" ] || fail "BMP not readable"
fi

# Output that cannot be written is a failure: a full disk, or a file-size limit.
for mode in --list --dump; do
    "$flatten" "$mode" "$sample" > /dev/full 2> "$work/err"
    code=$?
    [ "$code" = 4 ] || fail "$mode into /dev/full exited $code, not 4"
    grep -q "could not write" "$work/err" || fail "$mode into /dev/full said: $(cat "$work/err")"
done
( trap '' XFSZ; ulimit -f 1; "$flatten" --dump "$sample" > "$work/cut.json" 2> "$work/err" ); code=$?
[ "$code" = 4 ] || fail "--dump cut by a file-size limit exited $code, not 4"

# Names cannot forge lines or reach the terminal: one line, five fields each.
"$make_models" "$work" || fail "test models not made"
expect_exit 0 "$flatten" --list "$work/hostile.md3"
[ "$(wc -l < "$work/out")" = 2 ] || fail "--list of hostile names gave $(wc -l < "$work/out") lines"
awk -F '\t' 'NF != 5 { bad = 1 } END { exit bad }' "$work/out" || fail "--list fields: $(cat -A "$work/out")"
LC_ALL=C grep -q $'\x1b' "$work/out" && fail "an escape byte reached the listing"
expected=$(printf '%s\n' \
    '0\ttab\\there\\nnewline\\\\back\\x1b[31mred\\r\ta\\tb\\nc.tga\t3\t1' \
    '1\tcafé\t\\x7f.tga\t3\t1')
[ "$(cat "$work/out")" = "$(printf "$expected")" ] || fail "--list of hostile names: $(cat -A "$work/out")"

# A value of digits below the surface count is an index; anything else a name.
pick() { # surface value -> the surface index the flatten reports
    "$flatten" "$work/digits.md3" --surface "$1" -o "$work/pick.svg" 2> "$work/err" |
        sed -n 's/.*surface \([0-9]*\) .*/\1/p'
}
[ "$(pick 7)" = 2 ] || fail "--surface 7 did not pick the surface named 7"
[ "$(pick 1)" = 1 ] || fail "--surface 1 did not pick index 1"
[ "$(pick 0)" = 0 ] || fail "--surface 0 did not pick index 0"
[ "$(pick alpha)" = 0 ] || fail "--surface alpha did not find Alpha regardless of case"
expect_exit 2 "$flatten" "$work/digits.md3" --surface 12 -o "$work/pick.svg"
grep -q 'no surface 12 (it has 3) and no surface named "12"' "$work/err" ||
    fail "unknown digits: $(cat "$work/err")"

# Files that are not models are refused at once, with the reason.
mkfifo "$work/pipe.md3"
expect_exit 3 timeout 2 "$flatten" --list "$work/pipe.md3"
grep -q "not a regular file" "$work/err" || fail "FIFO: $(cat "$work/err")"
if [ -e /bin/ls ]; then
    expect_exit 3 "$flatten" --list /bin/ls
    grep -q 'is not a model Gridwright reads: it does not start as an MD3' "$work/err" || fail "/bin/ls: $(cat "$work/err")"
    [ -s "$work/out" ] && fail "/bin/ls listed surfaces"
fi

# Style options: checked before anything is loaded, never silently ignored.
expect_exit 0 "$flatten" --version
grep -q "^gridwright-flatten [0-9]" "$work/out" || fail "--version: $(cat "$work/out")"
"$flatten" --help > "$work/help"
for option in --surface --texture --all --size --wrap --line-colour --line-width --antialias \
    --background --fill --overlaps --overlap-colour --colour-by-surface --list --dump --version; do
    grep -q -- "$option" "$work/help" || fail "--help does not list $option"
done
for bad in "--line-colour red" "--line-colour #12345" "--fill #gg0000" "--background #1234567" \
    "--line-width 0" "--line-width -1" "--line-width 64.5" "--line-width x" "--wrap mirror" \
    "--overlap-colour #ff0000"; do
    # shellcheck disable=SC2086
    expect_exit 2 "$flatten" "$sample" $bad -o "$work/bad.png"
    grep -q "gridwright-flatten: " "$work/err" || fail "$bad: no message"
done
expect_exit 2 "$flatten" "$sample" --antialias -o "$work/bad.eps"
grep -q "antialias does not apply to .eps" "$work/err" || fail "--antialias .eps: $(cat "$work/err")"
expect_exit 2 "$flatten" "$sample" --background none -o "$work/bad.bmp"
grep -q "BMP template has no transparency" "$work/err" || fail "BMP none: $(cat "$work/err")"
[ -e "$work/bad.png" ] || [ -e "$work/bad.eps" ] || [ -e "$work/bad.bmp" ] && fail "a refused template was written"
for ext in eps svg pdf png bmp PDF; do
    expect_exit 0 "$flatten" "$sample" --all --line-width 1.5 --line-colour '#204080c0' \
        --fill '#ffcc0040' --overlaps -o "$work/styled.$ext"
done
[ "$(head -c 5 "$work/styled.pdf")" = "%PDF-" ] || fail "PDF signature"
expect_exit 0 "$flatten" "$sample" --all --background none --antialias -o "$work/clear.png"

# --texture draws every surface wearing the texture, whatever its case, slashes
# or extension: the same template as naming them.
expect_exit 0 "$flatten" "$work/shared.md3" --texture models/x/body -o "$work/tex.png"
grep -q 'surfaces 0 "body", 2 "wheels"' "$work/out" || fail "--texture chose: $(cat "$work/out")"
expect_exit 0 "$flatten" "$work/shared.md3" --surface body --surface wheels -o "$work/named.png"
cmp -s "$work/tex.png" "$work/named.png" || fail "--texture differs from naming the surfaces"
expect_exit 0 "$flatten" "$work/shared.md3" --surface body -o "$work/one.png"
cmp -s "$work/tex.png" "$work/one.png" && fail "--texture drew only one surface"
expect_exit 2 "$flatten" "$work/shared.md3" --texture models/x/none -o "$work/none.png"
grep -q 'wears the texture' "$work/err" || fail "unknown texture: $(cat "$work/err")"

# Textures: where each surface's comes from, its file and size, as the game finds them.
game=$work/game/models/players/bot
expect_exit 0 "$flatten" --textures "$game/upper.md3"
line() { sed -n "$(($1 + 1))p" "$work/out"; }
[ "$(line 0)" = "$(printf '0\tu_torso\tmodels/players/bot/torso.tga\tskin:upper_default.skin\t%s\t16x8' "$game/torso.tga")" ] ||
    fail "--textures u_torso: $(line 0)"
[ "$(line 1)" = "$(printf '1\tu_arm\tmodels\\\\players\\\\bot\\\\arm.tga\tskin:upper_default.skin\t%s\t16x16' "$game/arm.jpg")" ] ||
    fail "--textures u_arm: $(line 1)"
[ "$(line 4 | cut -f 5,6)" = "$(printf '\t')" ] || fail "--textures u_gone: $(line 4)"
[ "$(line 5 | cut -f 5,6)" = "$(printf '%s\t' "$game/bad.tga")" ] || fail "--textures u_bad: $(line 5)"
grep -q "bad.tga.*not an image" "$work/err" || fail "--textures said nothing of the broken image"
[ "$(line 6 | cut -f 4)" = model ] || fail "--textures u_own: $(line 6)"
expect_exit 0 "$flatten" --textures "$game/upper.md3" --skin red
[ "$(line 0 | cut -f 4,6)" = "$(printf 'skin:upper_red.skin\t8x8')" ] || fail "--skin red: $(line 0)"
expect_exit 2 "$flatten" --textures "$game/upper.md3" --skin blue
grep -q 'no skin "blue" (it has: default, red)' "$work/err" || fail "--skin blue: $(cat "$work/err")"
# --size texture, and the texture under the layout at its opacity.
expect_exit 0 "$flatten" "$game/upper.md3" --surface u_torso --size texture -o "$work/t.png"
[ "$(identify -format '%wx%h' "$work/t.png")" = 16x8 ] || fail "--size texture: $(identify "$work/t.png")"
expect_exit 0 "$flatten" "$game/upper.md3" --surface u_torso --size 64x32 --underlay -o "$work/u.png"
[ "$(convert "$work/u.png" -crop 1x1+56+26 -depth 8 -format "%[fx:int(255*r+0.5)],%[fx:int(255*g+0.5)]" info:)" = "227,147" ] ||
    fail "--underlay pixel: $(convert "$work/u.png" -crop 1x1+56+26 -depth 8 txt:- | tail -1)"
expect_exit 0 "$flatten" "$game/upper.md3" --surface u_bad --underlay -o "$work/bad.png"
grep -q "bad.tga.*not an image" "$work/err" || fail "a broken texture was not reported"
[ -s "$work/bad.png" ] || fail "a broken texture stopped the template"
expect_exit 2 "$flatten" "$game/upper.md3" --underlay -o "$work/u.eps"

# Seams, flipped faces and islands everywhere but in the EPS, which says so.
expect_exit 0 "$flatten" "$sample" --all --seams -o "$work/seams.png"
expect_exit 0 "$flatten" "$sample" --all --seams '#ff00ff' -o "$work/seams.pdf"
expect_exit 2 "$flatten" "$sample" --all --seams -o "$work/seams.eps"
grep -q -- "--seams does not apply to .eps" "$work/err" || fail "--seams in EPS: $(cat "$work/err")"
expect_exit 0 "$flatten" "$sample" --all --flipped --seams -o "$work/flipped.png"
expect_exit 2 "$flatten" "$sample" --all --flipped nonsense -o "$work/flipped.png"
expect_exit 2 "$flatten" "$sample" --all --flipped -o "$work/flipped.eps"
grep -q -- "--flipped does not apply to .eps" "$work/err" || fail "--flipped in EPS: $(cat "$work/err")"
expect_exit 2 "$flatten" "$sample" --all --islands -o "$work/islands.eps"
expect_exit 2 "$flatten" "$sample" --all --outline edges -o "$work/islands.png"
grep -q -- "--outline takes all or islands" "$work/err" || fail "--outline: $(cat "$work/err")"
expect_exit 0 "$flatten" "$sample" --all --islands --outline islands --seams --flipped --overlaps \
    -o "$work/islands.svg"
python3 -c 'import sys, xml.dom.minidom as m; m.parse(sys.argv[1])' "$work/islands.svg" ||
    fail "SVG with every layer is not well-formed"

# TGA: the same pixels as the PNG of the same style, plain or transparent.
for style in "" "--background none --antialias --line-width 2 --fill #ff000040"; do
    expect_exit 0 "$flatten" "$sample" --all --size 96x64 $style -o "$work/same.png"
    expect_exit 0 "$flatten" "$sample" --all --size 96x64 $style -o "$work/same.tga"
    [ "$(compare -metric AE "$work/same.png" "$work/same.tga" null: 2>&1)" = 0 ] ||
        fail "TGA and PNG differ ($style): $(compare -metric AE "$work/same.png" "$work/same.tga" null: 2>&1)"
done

# Through the skin: u_torso wears torso.tga only through the default skin;
# belt is worn by u_belt through the skin and by u_own through its own name.
expect_exit 0 "$flatten" "$game/upper.md3" --texture models/players/bot/torso -o "$work/st.png"
grep -q 'surface 0 "u_torso")' "$work/out" || fail "--texture through the skin: $(cat "$work/out" "$work/err")"
expect_exit 0 "$flatten" "$game/upper.md3" --texture models/players/bot/belt -o "$work/sb.png"
grep -q 'surfaces 2 "u_belt", 6 "u_own")' "$work/out" || fail "--texture belt: $(cat "$work/out")"
# --size texture takes the size the drawn surfaces share, and refuses to guess.
expect_exit 2 "$flatten" "$game/upper.md3" --surface u_torso --surface u_arm --size texture -o "$work/two.png"
grep -q 'torso.tga (16x8), .*arm.jpg (16x16)' "$work/err" || fail "--size texture, two sizes: $(cat "$work/err")"
# The opacity is applied: the texture's red at 0, 0.5 and 1 over white.
for opacity in 0 0.5 1; do
    expect_exit 0 "$flatten" "$game/upper.md3" --surface u_torso --size 64x32 --underlay \
        --underlay-opacity "$opacity" -o "$work/o$opacity.png"
done
red() { convert "$1" -crop 1x1+56+26 -depth 8 -format "%[fx:int(255*g+0.5)]" info:; }
[ "$(red "$work/o0.png"),$(red "$work/o0.5.png"),$(red "$work/o1.png")" = "255,147,40" ] ||
    fail "--underlay-opacity 0, 0.5, 1 gave green $(red "$work/o0.png"),$(red "$work/o0.5.png"),$(red "$work/o1.png")"
# A template never replaces a texture the model wears.
cp "$game/torso.tga" "$work/torso-before.tga"
expect_exit 2 "$flatten" "$game/upper.md3" --surface u_arm -o "$game/torso.tga"
cmp -s "$game/torso.tga" "$work/torso-before.tga" || fail "a worn texture was overwritten"
# No surfaces: a clear error, exit 3, in every format; --list says so too.
for ext in eps svg pdf png bmp; do
    expect_exit 3 "$flatten" "$work/hand.md3" --all -o "$work/hand.$ext"
    grep -q 'hand.md3" has no surfaces' "$work/err" || fail "no surfaces, .$ext: $(cat "$work/err")"
done
expect_exit 0 "$flatten" --list "$work/hand.md3"
grep -q 'has no surfaces' "$work/err" || fail "--list of no surfaces said nothing"
# A layout with no area is written, with a warning naming the surface.
expect_exit 0 "$flatten" "$work/point.md3" -o "$work/point.png"
grep -q 'surface 0 "dot" has no area' "$work/err" || fail "no warning for a layout with no area: $(cat "$work/err")"
# Signed coordinates: u from -0.3 to -0.1 is drawn where the game samples it,
# at 0.7 to 0.9 (x 89 to 115 of 128), not mirrored at 0.1 to 0.3.
expect_exit 0 "$flatten" "$work/negative.md3" -o "$work/neg.png"
ink=$(convert "$work/neg.png" -negate -trim -format '%X,%w' info: | tr -d '+')
[ "$ink" = "89,27" ] || fail "negative coordinates drawn at x,width $ink, not 89,27"
expect_exit 0 "$flatten" "$work/negative.md3" --wrap clip -o "$work/negclip.png"
[ "$(convert "$work/negclip.png" -format '%[fx:minima.r]' info:)" = 1 ] || fail "--wrap clip drew a face below zero"
expect_exit 0 "$flatten" --dump "$work/negative.md3"
grep -q '"u": \[-0.300000, -0.100000, -0.200000\]' "$work/out" || fail "--dump: $(grep -o '"u": [^]]*]' "$work/out")"

# Game folders and archives: a model read from a pak lists as the same model
# loose; --game makes game paths models; --models lists the merged game.
base=$work/paks/base
expect_exit 0 "$flatten" --list "$base/pak0.pk3:models/pak/upper.md3"
cp "$work/out" "$work/from-pak.txt"
expect_exit 0 "$flatten" --list "$game/upper.md3"
cmp -s "$work/out" "$work/from-pak.txt" || fail "--list from a pak differs from the loose model"
expect_exit 0 "$flatten" --list "$base/pak0.pk3:MODELS/PAK/UPPER.MD3"   # any case
expect_exit 3 "$flatten" --list "$base/pak0.pk3:models/pak/none.md3"
grep -q "pak0.pk3:models/pak/none.md3\": the archive holds no such file" "$work/err" || fail "missing entry: $(cat "$work/err")"
expect_exit 0 "$flatten" --game "$base" --list models/pak/upper.md3
cmp -s "$work/out" "$work/from-pak.txt" || fail "--game MODEL differs from the pak's"
expect_exit 0 "$flatten" --game "$base" --models
[ "$(cut -f 1 "$work/out" | tr '\n' ' ')" = "models/loose/digits.md3 models/pak/shared.md3 models/pak/upper.md3 " ] ||
    fail "--models listed: $(cat "$work/out")"
grep -q "^models/pak/upper.md3	$base/pak0.pk3:models/pak/upper.md3$" "$work/out" || fail "--models origin: $(cat "$work/out")"
expect_exit 0 "$flatten" --game "$base" --models 'models/loose/*'
[ "$(wc -l < "$work/out")" = 1 ] || fail "--models GLOB: $(cat "$work/out")"
expect_exit 2 "$flatten" --models
# Skins, shader scripts and textures come from the pak too.
expect_exit 0 "$flatten" --textures "$base/pak0.pk3:models/pak/upper.md3"
[ "$(line 0 | cut -f 3-6)" = "$(printf 'models/pak/torso_s\tshader:scripts/pak.shader\t%s\t16x8' "$base/pak0.pk3:models/pak/torso.tga")" ] ||
    fail "--textures through a pak's skin and shader: $(line 0)"
[ "$(line 1 | cut -f 4,5)" = "$(printf 'skin:upper_default.skin\t')" ] || fail "--textures, missing texture: $(line 1)"
expect_exit 0 "$flatten" "$base/pak0.pk3:models/pak/upper.md3" --surface u_torso --size texture --underlay -o "$work/pak.png"
[ "$(identify -format '%wx%h' "$work/pak.png")" = 16x8 ] || fail "template at the pak's texture size: $(identify "$work/pak.png")"

# --batch: a template per texture file of every model, named after the file,
# at its size, with a manifest; failures are lines, and nothing is written
# outside OUTDIR (u_escape wears "../../../../secret").
touch "$work/before-batch"
expect_exit 4 "$flatten" --game "$base" --batch 'models/pak/*' -o "$work/batch" -j 2
# The shader torso_s names the picture torso.tga: the template is the file's.
[ "$(identify -format '%wx%h' "$work/batch/models/pak/torso.png" 2>&1)" = 16x8 ] ||
    fail "--batch torso: $(ls -R "$work/batch")"
grep -q '"texture": "models/pak/torso.tga", "output": "[^"]*/batch/models/pak/torso.png", "size": \[16, 8\], "error": null' "$work/batch/manifest.jsonl" ||
    fail "--batch manifest: $(cat "$work/batch/manifest.jsonl")"
grep -q '"texture": "models/pak/none".*"error": "Cannot find' "$work/batch/manifest.jsonl" ||
    fail "--batch: a missing texture is not a manifest line"
outside=$(find "$work" -newer "$work/before-batch" -type f -not -path "$work/batch/*" -not -name out -not -name err)
[ -z "$outside" ] || fail "--batch wrote outside OUTDIR: $outside"
grep -q '"output": "[^"]*/batch/secret.png"' "$work/batch/manifest.jsonl" || fail "the climbing name was not kept inside OUTDIR: $(grep secret "$work/batch/manifest.jsonl")"
expect_exit 2 "$flatten" --batch '*' -o "$work/batch"   # no --game
# The manifest is strict JSON, read by a strict reader, whatever bytes the
# names hold; nothing raw reaches the terminal. (Windows' names cannot hold
# such bytes.)
if [ -z "$windows" ]; then
odd="$work/oddgame/models/"$'\xff\x1b]2;x\x07'
mkdir -p "$odd" && cp "$sample" "$odd/m.md3"
expect_exit 4 "$flatten" --game "$work/oddgame" --batch '*' -o "$work/oddout"
if command -v python3 > /dev/null; then
    python3 - "$work/oddout/manifest.jsonl" <<'PY' || fail "the manifest is not strict JSON"
import json, sys
lines = open(sys.argv[1], 'rb').read().decode('utf-8').splitlines()  # strict UTF-8
assert lines and all(json.loads(l)["model"].startswith("models/\u00ff\u001b]2;x\u0007/") for l in lines), lines
PY
fi
grep -q $'\x1b' "$work/err" && fail "a raw escape reached the terminal: $(cat -v "$work/err")"
LC_ALL=C grep -q 'models/.\\x1b]2;x\\x07/m.md3' "$work/err" || fail "the name is not escaped as --list does: $(cat -v "$work/err")"
fi
# --game takes one folder, before or after the model.
expect_exit 0 "$flatten" --game "$base" models/pak/upper.md3 --surface 0 -o "$work/g.png"
expect_exit 2 "$flatten" --game "$base/pak0.pk3" --models
grep -q "is a pak, not a game folder" "$work/err" || fail "--game PAK: $(cat "$work/err")"

# The game's problems reach every command: a broken shader script, a pak
# that cannot be opened, and a shader whose image is missing, named with it.
broken=$work/broken-game
cp -r "$base" "$broken"
mkdir -p "$broken/scripts"
printf 'textures/cut {\n  { map textures/cut.tga }\n' > "$broken/scripts/broken.shader"
printf 'models/pak/none { { map models/pak/nowhere.tga } }\n' > "$broken/scripts/missing.shader"
printf 'not a zip at all' > "$broken/zz-broken.pk3"
expect_exit 0 "$flatten" --textures "$broken/pak0.pk3:models/pak/upper.md3"
grep -q "zz-broken.pk3" "$work/err" || fail "--textures: the broken pak unsaid: $(cat "$work/err")"
grep "zz-broken.pk3" "$work/err" | grep -q "Not a zip archive" ||
    fail "--textures: the broken pak's reason: $(grep zz-broken "$work/err")"
grep -q "shader script scripts/broken.shader: line 1" "$work/err" || fail "--textures: the broken script unsaid: $(cat "$work/err")"
[ "$(line 1 | cut -f 3-5)" = "$(printf 'models/pak/none\tshader:scripts/missing.shader\t')" ] ||
    fail "--textures, a shader's image missing: $(line 1)"
grep -q '"models/pak/none" (scripts/missing.shader) names the image "models/pak/nowhere.tga"' "$work/err" ||
    fail "--textures: the shader's missing image unsaid: $(cat "$work/err")"
expect_exit 0 "$flatten" "$broken/pak0.pk3:models/pak/upper.md3" --surface u_torso -o "$work/broken.png"
grep -q "zz-broken.pk3" "$work/err" || fail "flatten: the broken pak unsaid: $(cat "$work/err")"
grep -q "scripts/broken.shader" "$work/err" || fail "flatten: the broken script unsaid: $(cat "$work/err")"
expect_exit 0 "$flatten" --list "$broken/pak0.pk3:models/pak/upper.md3"
grep -q "zz-broken.pk3" "$work/err" || fail "--list: the broken pak unsaid: $(cat "$work/err")"

# The output can never be the model itself.
cp "$sample" "$work/m.eps"
expect_exit 2 "$flatten" "$work/m.eps" --surface 0 -o "$work/m.eps"
cmp -s "$sample" "$work/m.eps" || fail "the model was overwritten by its own template"
ln -s "$work/m.eps" "$work/link.eps"
expect_exit 2 "$flatten" "$work/m.eps" -o "$work/link.eps"
cmp -s "$sample" "$work/m.eps" || fail "the model was overwritten through a link"

echo "$((failures == 0 ? 1 : 0)) passed, $failures failed"
[ "$failures" = 0 ]
