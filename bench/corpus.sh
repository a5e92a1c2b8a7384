#!/usr/bin/env bash
# corpus.sh OUTDIR - makes the benchmark corpus: one short clip per kind of
# footage, generated with the ffmpeg command line from lavfi sources and the
# shared real media, and prints one line per clip: KIND PATH START DURATION.
# Clips already in OUTDIR are kept. The real files are listed, not copied.
#
#   bench/corpus.sh /tmp/corpus > /tmp/corpus/list.txt
#   while read -r kind path ss dur; do ... peers.sh "$path" "$ss" "$dur" 480 15; done < /tmp/corpus/list.txt
set -eu
export LC_ALL=C

OUT=${1:?usage: corpus.sh OUTDIR}
HERE=$(cd "$(dirname "$0")" && pwd)
MEDIA=${MEDIA:-$HERE/../../shared/media}
[ -r "$MEDIA/oa4_launch.webm" ] || MEDIA=/work/shared/media
OA4=$MEDIA/oa4_launch.webm
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
mkdir -p "$OUT"
FF=(ffmpeg -hide_banner -nostdin -v error -y)
# The RGB pictures become YUV with BT.601 coefficients; tagged so, every
# reader converts them back the same way (untagged HD would read as BT.709).
TAGS=(-colorspace bt470bg -color_primaries bt470bg -color_trc smpte170m)
X264=(-c:v libx264 -preset medium -crf 20 "${TAGS[@]}")

make() { # NAME ARGS... (the output path last)
  local name=$1; shift
  [ -s "$OUT/$name" ] && return 0
  echo "making $name ..." >&2
  "${FF[@]}" "$@" || { rm -f "$OUT/$name"; echo "corpus.sh: cannot make $name" >&2; exit 1; }
}

# A natural picture larger than the frame, to pan over: a still of the real clip.
[ -s "$OUT/still.png" ] || "${FF[@]}" -ss 4 -i "$OA4" -frames:v 1 -vf scale=2560:1440:flags=lanczos "$OUT/still.png"
PAN="crop=1280:720:x='400+t*60+6*sin(t*7)':y='200+t*25+5*sin(t*5.3)'"

# Camera: slow pan and shake over the still, sensor-like temporal noise, B-frames.
make camera420.mp4 -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "$PAN,noise=alls=8:allf=t,format=yuv420p" "${X264[@]}" "$OUT/camera420.mp4"
# The same picture in full chroma (High 4:4:4 profile).
make camera444.mp4 -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "$PAN,noise=alls=8:allf=t,format=yuv444p" "${X264[@]}" -pix_fmt yuv444p "$OUT/camera444.mp4"
# Grainy: strong temporal noise over sharp synthetic detail.
make grainy.mp4 -f lavfi -i "testsrc2=s=1280x720:r=30:d=8,noise=alls=25:allf=t+u,format=yuv420p" \
  "${X264[@]}" "$OUT/grainy.mp4"
# The same camera in 4:4:4 without added grain: clean camera footage, where
# the palette search is most of the work.
make cleancam444.mp4 -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "$PAN,format=yuv444p" "${X264[@]}" -pix_fmt yuv444p "$OUT/cleancam444.mp4"
# Intra-only MJPEG 4:2:2, 640x480, every frame a keyframe.
make mjpeg422.avi -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "crop=1280:960:x='300+t*50+5*sin(t*7)':y='100+t*20+4*sin(t*5.3)',scale=640:480,noise=alls=6:allf=t,format=yuvj422p" \
  -c:v mjpeg -q:v 3 "${TAGS[@]}" "$OUT/mjpeg422.avi"
# Screen recording: an editor's text scrolling by lines, a moving cursor, and a
# webcam-like inset (a moving natural picture) in the lower right corner.
if [ ! -s "$OUT/screen.txt" ]; then
  for i in $(seq 0 199); do
    printf '%4d  int frame_%d = decode(stream, %d); // check the result %d\n' "$i" "$i" $((i * 37 % 1000)) $((i * i % 97))
  done > "$OUT/screen.txt"
fi
make screen.mp4 -f lavfi -i "color=c=0xF2F2F2:s=1280x720:r=30:d=8" -loop 1 -framerate 30 -i "$OUT/still.png" \
  -filter_complex "[0]drawbox=x=0:y=0:w=1280:h=36:color=0x3C3F41:t=fill,drawbox=x=0:y=36:w=220:h=684:color=0xE0E4E8:t=fill,\
drawtext=fontfile=$FONT:textfile=$OUT/screen.txt:fontsize=18:fontcolor=0x202020:x=240:y=48-26*floor(t*2):line_spacing=8,\
drawtext=fontfile=$FONT:text='main.cpp   build   run':fontsize=18:fontcolor=white:x=20:y=10[bg];\
[1]crop=1280:720:x='600+40*sin(t)':y='300+30*cos(t*0.8)',scale=320:180,noise=alls=6:allf=t[cam];\
[bg][cam]overlay=x=940:y=520:shortest=1,\
drawbox=x='600+400*sin(t*0.7)':y='360+250*cos(t*1.1)':w=10:h=16:color=black:t=fill,format=yuv420p" \
  -t 8 "${X264[@]}" "$OUT/screen.mp4"
# Screen recording of a still editor: icons, a typing counter, a moving
# cursor and the webcam inset; the first picture stays on screen throughout.
make screencam.mp4 -f lavfi -i "color=c=0xF2F2F2:s=1280x720:r=30:d=8" -loop 1 -framerate 30 -i "$OUT/still.png" \
  -filter_complex "[0]drawbox=x=0:y=0:w=1280:h=36:color=0x3C3F41:t=fill,drawbox=x=0:y=36:w=220:h=684:color=0xE0E4E8:t=fill,\
drawbox=x=20:y=60:w=24:h=24:color=0x2E86C1:t=fill,drawbox=x=20:y=100:w=24:h=24:color=0xE67E22:t=fill,\
drawbox=x=20:y=140:w=24:h=24:color=0x27AE60:t=fill,\
drawtext=fontfile=$FONT:textfile=$OUT/screen.txt:fontsize=16:fontcolor=0x202020:x=240:y=48:line_spacing=6,\
drawtext=fontfile=$FONT:text='main.cpp   build   run':fontsize=18:fontcolor=white:x=20:y=10,\
drawtext=fontfile=$FONT:text='%{eif\:trunc(t*3)\:d} chars':fontsize=16:fontcolor=0x404040:x=60:y=64[bg];\
[1]crop=1280:720:x='600+40*sin(t)':y='300+30*cos(t*0.8)',scale=320:180,noise=alls=6:allf=t[cam];\
[bg][cam]overlay=x=940:y=520:shortest=1,\
drawbox=x='600+200*sin(t*0.7)':y='360+150*cos(t*1.1)':w=10:h=16:color=black:t=fill,format=yuv420p" \
  -t 8 "${X264[@]}" "$OUT/screencam.mp4"
# Cartoon: flat colours with hard edges.
make cartoon.mp4 -f lavfi -i "life=s=320x180:r=25:mold=10:ratio=0.1:life_color=#FFCC00:death_color=#3060C0:mold_color=#802040" \
  -t 8 -vf "scale=1280:720:flags=neighbor,format=yuv420p" "${X264[@]}" "$OUT/cartoon.mp4"
# Slide show: a still of the real clip every 2 s with a title, hard cuts.
make slides.mp4 -i "$OA4" -t 8 \
  -vf "select='not(mod(n\,48))',setpts=N*2/TB,fps=25,scale=1280:720:flags=lanczos,\
drawtext=fontfile=$FONT:text='Slide %{eif\:trunc(t/2)+1\:d}':fontsize=64:fontcolor=white:x=60:y=60,format=yuv420p" \
  -an "${X264[@]}" "$OUT/slides.mp4"
# Dark, low contrast: the pan at night, with light noise.
make dark.mp4 -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "$PAN,eq=contrast=0.35:brightness=-0.3:gamma=0.8,noise=alls=4:allf=t,format=yuv420p" "${X264[@]}" "$OUT/dark.mp4"
# 4K: the pan at 3840x2160 (decode and scale cost).
make camera4k.mp4 -loop 1 -framerate 30 -i "$OUT/still.png" -t 8 \
  -vf "crop=1920:1080:x='200+t*40+4*sin(t*7)':y='100+t*15+3*sin(t*5.3)',scale=3840:2160:flags=bicubic,noise=alls=6:allf=t,format=yuv420p" \
  -c:v libx264 -preset veryfast -crf 22 "${TAGS[@]}" "$OUT/camera4k.mp4"

for k in camera420 camera444 cleancam444 grainy mjpeg422 screen screencam cartoon slides dark camera4k; do
  f=$(ls "$OUT/$k".* | head -1)
  echo "$k $f 0 8"
done
echo "oa4 $OA4 0 8"
