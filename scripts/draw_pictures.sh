#!/usr/bin/env bash
# Draws the window's pictures into resources/: the top banner (banner.jpg, 364 x 62), the footer
# logo (logo.jpg, 32 x 32), the window icon (kalvera.ico) and the icon's images as PNGs
# (icon_48.png, icon_32.png, icon_24.png, icon_16.png). An optional argument names another output
# folder (for trying changes out without touching resources/).
#
# Needs ImageMagick 6 (convert) and the DejaVu fonts (Debian: imagemagick, fonts-dejavu-core).
# The pictures are committed; run this only to change them, then commit what it wrote.
#
# Layout constraints the window puts on the pictures:
#  - The banner is shown at its own size at the window's top-left corner, and the bold "Menu" label
#    (black, red under the pointer) is drawn over it at about x 319..354, y 44..60. The banner's
#    right end is therefore kept light and plain.
#  - The logo sits on the footer band, whose fill is RGB (203, 205, 204); a JPEG has no
#    transparency, so the logo is flattened onto that grey.
#  - The icon holds 48, 32, 24 and 16 pixel images, each at 32, 8 and 4 bits per pixel, 32-bit
#    images first: readers that take the first image of a size get the best one.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../resources}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Palette shared by the banner and the emblem.
navy='#0b2746'
teal='#12807f'
light='#eef4f5'
amber='#f2a33a'

bold_font='DejaVu-Sans-Bold'
plain_font='DejaVu-Sans'

# PNG text chunks carry timestamps; leaving them out keeps reruns byte-identical.
png_opts=(-strip -define 'png:exclude-chunks=date,time')

# ---------------------------------------------------------------------------------------------
# Banner, 364 x 62. Shapes are drawn at 4x and scaled down (smooth curves); the text is set at
# the final size so that its hinting stays crisp.
# ---------------------------------------------------------------------------------------------
draw_banner() {
    local s=4 w=364 h=62
    local W=$((w * s)) H=$((h * s))

    # Radio waves spreading from the antenna tip at (30, 22), faint over the whole dark field.
    local waves=""
    local r
    for r in 44 70 98 128 160 194 230; do
        waves+=" circle $((30 * s)),$((22 * s)) $(((30 + r) * s)),$((22 * s))"
    done

    # The antenna: a lattice mast with two legs, a tip and short wave arcs on both sides.
    local cx=$((30 * s)) cy=$((22 * s))
    local mast="M $cx,$((cy + 4 * s)) L $((cx - 9 * s)),$((55 * s)) M $cx,$((cy + 4 * s)) L $((cx + 9 * s)),$((55 * s))"
    mast+=" M $((cx - 3 * s)),$((34 * s)) L $((cx + 3 * s)),$((34 * s))"
    mast+=" M $((cx - 5 * s)),$((42 * s)) L $((cx + 5 * s)),$((42 * s))"
    mast+=" M $((cx - 7 * s)),$((50 * s)) L $((cx + 7 * s)),$((50 * s))"
    mast+=" M $((cx - 3 * s)),$((34 * s)) L $((cx + 5 * s)),$((42 * s)) L $((cx - 7 * s)),$((50 * s))"
    mast+=" M $((cx + 3 * s)),$((34 * s)) L $((cx - 5 * s)),$((42 * s)) L $((cx + 7 * s)),$((50 * s))"

    arcs() { # radius -> right and left arc of about 80 degrees around the tip
        local rr=$(($1 * s))
        local dx=$((rr * 77 / 100)) dy=$((rr * 64 / 100))
        printf 'M %d,%d A %d,%d 0 0,1 %d,%d M %d,%d A %d,%d 0 0,0 %d,%d ' \
            $((cx + dx)) $((cy - dy)) "$rr" "$rr" $((cx + dx)) $((cy + dy)) \
            $((cx - dx)) $((cy - dy)) "$rr" "$rr" $((cx - dx)) $((cy + dy))
    }

    # The light end: a swoosh from the top edge at x 304 to the bottom edge at x 268, edged in
    # amber, with a faint echo of the edge on the dark side.
    local curve="C $((290 * s)),$((22 * s)) $((284 * s)),$((42 * s)) $((268 * s)),$H"
    local swoosh="M $((304 * s)),0 $curve L $W,$H L $W,0 Z"
    local edge="M $((304 * s)),0 $curve"
    local echo_curve="M $((294 * s)),0 C $((280 * s)),$((22 * s)) $((274 * s)),$((42 * s)) $((258 * s)),$H"

    # Quiet echo of the waves in the light end's top corner, well clear of the "Menu" label.
    local corner_waves=""
    for r in 12 22 32; do
        corner_waves+=" circle $W,0 $(((w - r) * s)),0"
    done

    convert -size "${W}x${H}" xc: \
        -sparse-color Barycentric "0,0 $navy  $((260 * s)),$H $teal  $W,0 $teal" \
        -fill none -stroke 'rgba(255,255,255,0.07)' -strokewidth $((2 * s)) -draw "$waves" \
        -stroke 'rgba(255,255,255,0.30)' -strokewidth $((2 * s)) -draw "path '$echo_curve'" \
        -stroke none -fill "$light" -draw "path '$swoosh'" \
        -fill none -stroke "$amber" -strokewidth $((3 * s)) -draw "path '$edge'" \
        -stroke '#d3e4e6' -strokewidth $((2 * s)) -draw "$corner_waves" \
        -stroke white -strokewidth $((2 * s)) -draw "stroke-linecap round path '$mast'" \
        -strokewidth $((2 * s)) -draw "path '$(arcs 6)'" \
        -stroke 'rgba(255,255,255,0.75)' -draw "path '$(arcs 11)'" \
        -stroke 'rgba(255,255,255,0.45)' -draw "path '$(arcs 16)'" \
        -stroke none -fill "$amber" -draw "circle $cx,$cy $((cx + 3 * s)),$cy" \
        -filter Lanczos -resize "${w}x${h}!" \
        "$work/banner_shapes.png"

    convert "$work/banner_shapes.png" \
        -font "$bold_font" -pointsize 27 -kerning 2 -fill white -gravity NorthWest \
        -annotate +56+5 'KORA' \
        -font "$plain_font" -pointsize 11 -kerning 0.6 -fill '#d4f1f0' \
        -annotate +57+40 'Callbook Wirasena' \
        -fill "$amber" -stroke none -draw 'rectangle 58,36 104,37' \
        -quality 92 -sampling-factor 1x1 -strip \
        "$out/banner.jpg"
}

# ---------------------------------------------------------------------------------------------
# Emblem, drawn at 256 x 256 on transparency: a navy-to-teal disc, a white "K" and an amber signal
# dot at the upper right. The full emblem has a thin light ring inside the disc's dark edge; the
# small one (for 24 and 16 pixels, where the ring would only blur) leaves it out and enlarges the K.
# ---------------------------------------------------------------------------------------------
draw_emblem() { # output, "ring" or "plain"
    local ring=() k_size=168 k_at='+-8+6' dot='circle 182,74 182,60'
    if [[ $2 == ring ]]; then
        ring=(-fill none -stroke "$light" -strokewidth 9 -draw 'circle 128,128 128,26')
    else
        k_size=178 dot='circle 186,70 186,53'
    fi
    convert -size 256x256 xc:none \
        \( -size 256x256 xc: -sparse-color Barycentric "40,20 #1b4f85  216,236 $teal" \
           \( -size 256x256 xc:black -fill white -draw 'circle 128,128 128,4' \) \
           -alpha off -compose CopyOpacity -composite \) \
        -compose Over -composite \
        "${ring[@]}" \
        -stroke none -fill white -font "$bold_font" -pointsize "$k_size" -gravity center \
        -annotate "$k_at" 'K' \
        -fill "$amber" -draw "$dot" \
        "${png_opts[@]}" "$1"
}

draw_logo() {
    convert -size 32x32 'xc:rgb(203,205,204)' \
        \( "$work/emblem.png" -filter Lanczos -resize 30x30 \) \
        -gravity center -compose Over -composite \
        -quality 95 -sampling-factor 1x1 -strip \
        "$out/logo.jpg"
}

draw_icon() {
    local size emblem
    local frames32=() frames8=() frames4=()
    for size in 48 32 24 16; do
        emblem="$work/emblem.png"
        ((size >= 32)) || emblem="$work/emblem_small.png"
        convert "$emblem" -filter Lanczos -resize "${size}x${size}" \
            "${png_opts[@]}" "PNG32:$out/icon_${size}.png"
        frames32+=("$out/icon_${size}.png")
        # Palette images keep one-bit transparency only (the icon's mask), and must stay palette
        # images until the icon is written: the icon writer picks 4 or 8 bits from the colour
        # count of a palette image and 32 bits for anything else. The transparent colour takes
        # one palette entry, hence 255 and 15 colours.
        frames8+=(\( "$out/icon_${size}.png" -channel A -threshold 50% +channel +dither -colors 255 \))
        frames4+=(\( "$out/icon_${size}.png" -channel A -threshold 50% +channel +dither -colors 15 \))
    done
    convert "${frames32[@]}" "${frames8[@]}" "${frames4[@]}" "$out/kalvera.ico"
}

draw_banner
draw_emblem "$work/emblem.png" ring
draw_emblem "$work/emblem_small.png" plain
draw_logo
draw_icon

echo "Pictures written to $out"
