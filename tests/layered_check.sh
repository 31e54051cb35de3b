#!/usr/bin/env bash
# Layered and paint-ready files as other programs read them: the PSD's merged
# picture and layers (ImageMagick, and GIMP when installed), the OpenRaster
# archive's structure, the TGA and the indexed PNG, each against the PNG of
# the same options.
set -u
flatten=$1 sample=$2 shared=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same() { # two pictures, pixel for pixel
    local diff
    diff=$(compare -metric AE "$1" "$2" null: 2>&1)
    [ "$diff" = 0 ] || fail "$1 and $2 differ in $diff pixels"
}

everything=(--all --size 300x200 --seams --flipped --islands --fill '#ffff0040' --overlaps)
# With a texture from the game folder when it is here: all seven layers.
model=$sample
game_model=$shared/game/models/players/human_base/head.md3
if [ -f "$game_model" ]; then
    model=$game_model
    everything+=(--underlay --underlay-opacity 0.4)
fi
for ext in png psd ora tga; do
    "$flatten" "$model" "${everything[@]}" -o "$work/t.$ext" > /dev/null 2> "$work/err" ||
        fail "writing .$ext: $(cat "$work/err")"
done
layers="islands fill overlaps flipped lines seams"
[ "$model" = "$sample" ] || layers="texture $layers"

# PSD: ImageMagick's merged picture is the PNG; the layers are named, bottom first.
same "$work/t.psd[0]" "$work/t.png"
names=$(identify -format "%l " "$work/t.psd" | sed 's/^ *//; s/ *$//')
[ "$names" = "$layers" ] || fail "PSD layers '$names', not '$layers'"

# GIMP 2.10 opens it with the same layers, top first, the texture at its opacity.
if command -v gimp > /dev/null; then
    script="(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$work/t.psd\" \"$work/t.psd\")))
                   (out (open-output-file \"$work/gimp.txt\")))
              (for-each (lambda (l) (display (car (gimp-item-get-name l)) out) (display \" \" out)
                                    (display (car (gimp-layer-get-opacity l)) out) (newline out))
                        (vector->list (cadr (gimp-image-get-layers img))))
              (close-output-port out)
              (file-png-save-defaults RUN-NONINTERACTIVE img (car (gimp-image-flatten img))
                                      \"$work/gimp.png\" \"$work/gimp.png\"))"
    HOME=$work timeout 300 gimp -i -d -f -n -b "$script" -b '(gimp-quit 0)' > /dev/null 2>&1
    got=$(awk '{print $1}' "$work/gimp.txt" 2> /dev/null | tac | tr '\n' ' ' | sed 's/ *$//')
    [ "$got" = "$layers" ] || fail "GIMP reads the layers '$got', not '$layers'"
    if [ "$model" != "$sample" ]; then
        grep -q "^texture 40" "$work/gimp.txt" || fail "GIMP: the texture layer's opacity: $(head -1 "$work/gimp.txt")"
    fi
    # Flattened over GIMP's white, the layers give the template (GIMP rounds translucent blends).
    diff=$(compare -metric AE -fuzz 1% "$work/gimp.png" "$work/t.png" null: 2>&1)
    [ "$diff" = 0 ] || fail "GIMP's flattened layers differ from the PNG in $diff pixels"
else
    echo "SKIP: GIMP is not installed; the PSD was read by ImageMagick only"
fi

# OpenRaster: the mimetype first and stored, the stack, every layer, the
# merged picture equal to the PNG, a thumbnail of at most 256 pixels.
python3 - "$work/t.ora" "$layers" << 'PY' || fail "OpenRaster structure"
import sys, zipfile, xml.dom.minidom as dom
z = zipfile.ZipFile(sys.argv[1])
first = z.infolist()[0]
assert first.filename == "mimetype" and first.compress_type == zipfile.ZIP_STORED, first
assert z.read("mimetype") == b"image/openraster"
assert not first.extra, "extra field on the mimetype"
stack = dom.parseString(z.read("stack.xml"))
names = [l.getAttribute("name") for l in stack.getElementsByTagName("layer")]
assert names == list(reversed(sys.argv[2].split())), names
for l in stack.getElementsByTagName("layer"):
    assert z.read(l.getAttribute("src"))[:8] == b"\x89PNG\r\n\x1a\n"
z.extract("mergedimage.png", sys.argv[1] + ".d")
z.extract("Thumbnails/thumbnail.png", sys.argv[1] + ".d")
PY
same "$work/t.ora.d/mergedimage.png" "$work/t.png"
size=$(identify -format "%w %h" "$work/t.ora.d/Thumbnails/thumbnail.png")
[ "$size" = "256 171" ] || fail "thumbnail $size, not 256 171"

# TGA: the same pixels as the PNG.
same "$work/t.tga" "$work/t.png"

# Few colours make an indexed PNG, read back as the TGA's pixels.
"$flatten" "$sample" --all --size 300x200 --islands --outline islands -o "$work/few.png" > /dev/null
"$flatten" "$sample" --all --size 300x200 --islands --outline islands -o "$work/few.tga" > /dev/null
case $(identify -format "%[type]" "$work/few.png") in
Palette*) ;;
*) fail "a few-colour template is not an indexed PNG" ;;
esac
same "$work/few.png" "$work/few.tga"

# Baked layers in a layered template: above the texture, occlusion and light
# multiplying, the colour references hidden; GIMP reads them so and blends
# them to the merged picture we write.
if [ -f "$game_model" ]; then
    bake=(--bake ao,light,normals --texture models/players/human_base/h_base.tga --bake-rays 8
          --bake-size 128 --underlay)
    for ext in psd ora; do
        "$flatten" "$game_model" "${bake[@]}" -o "$work/b.$ext" > /dev/null 2> "$work/err" ||
            fail "baking into .$ext: $(cat "$work/err")"
    done
    baked="texture|Normals|Light from above|Ambient occlusion|lines"
    names=$(identify -format "%l|" "$work/b.psd" | sed 's/^|*//; s/|*$//')
    [ "$names" = "$baked" ] || fail "baked PSD layers '$names', not '$baked'"
    python3 - "$work/b.ora" << 'PY' || fail "baked OpenRaster stack"
import sys, zipfile, xml.dom.minidom as dom
stack = dom.parseString(zipfile.ZipFile(sys.argv[1]).read("stack.xml"))
got = [(l.getAttribute("name"), l.getAttribute("composite-op"), l.getAttribute("visibility"))
       for l in stack.getElementsByTagName("layer")]
want = [("lines", "svg:src-over", "visible"),
        ("Ambient occlusion", "svg:multiply", "visible"),
        ("Light from above", "svg:multiply", "visible"),
        ("Normals", "svg:src-over", "hidden"),
        ("texture", "svg:src-over", "visible")]
assert got == want, got
PY
    if command -v gimp > /dev/null; then
        script="(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$work/b.psd\" \"$work/b.psd\")))
                       (out (open-output-file \"$work/gimpb.txt\")))
                  (for-each (lambda (l) (display (car (gimp-item-get-name l)) out) (display \"|\" out)
                                        (display (car (gimp-layer-get-mode l)) out) (display \"|\" out)
                                        (display (car (gimp-item-get-visible l)) out) (newline out))
                            (vector->list (cadr (gimp-image-get-layers img))))
                  (close-output-port out)
                  (file-png-save-defaults RUN-NONINTERACTIVE img (car (gimp-image-flatten img))
                                          \"$work/gimpb.png\" \"$work/gimpb.png\"))"
        HOME=$work timeout 300 gimp -i -d -f -n -b "$script" -b '(gimp-quit 0)' > /dev/null 2>&1
        # GIMP's modes: multiply is 30 (3 in its legacy numbering), normal 28 (0).
        modes=$(cut -d'|' -f1,2,3 "$work/gimpb.txt" 2> /dev/null | tr '\n' ';')
        case $modes in
        "lines|"*"|1;Ambient occlusion|"[3]*"|1;Light from above|"[3]*"|1;Normals|"*"|0;texture|"*"|1;") ;;
        *) fail "GIMP reads the baked layers as '$modes'" ;;
        esac
        grep -q "^Ambient occlusion|\(3\|30\)|" "$work/gimpb.txt" ||
            fail "GIMP: occlusion does not multiply: $(cat "$work/gimpb.txt" 2> /dev/null)"
        diff=$(compare -metric AE -fuzz 2% "$work/gimpb.png" "$work/b.psd[0]" null: 2>&1)
        [ "$diff" = 0 ] || fail "GIMP's blend of the baked layers differs from the merged picture in $diff pixels"
    fi
fi

[ "$failures" = 0 ] && echo "layered_check: all passed"
exit "$failures"
