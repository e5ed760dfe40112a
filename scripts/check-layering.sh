#!/usr/bin/env bash
# Fails when an include points up the layer order, or when the core includes UI or platform
# headers: Qt nowhere in the core, JACK and ALSA only in their own backend folders, FluidSynth and
# libsndfile only in the synthesizer's, liblo only in the session manager's link.
#
# The order, lowest first; a folder may include itself and the folders below it, nothing else.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root/src" || exit 2
order=(model devices engine document files editing session settings controls editors "shell cli" app)
core="model devices engine document files editing"
status=0

declare -A rank
for i in "${!order[@]}"; do
  for folder in ${order[$i]}; do rank[$folder]=$i; done
done

for folder in */; do
  folder=${folder%/}
  if [ -z "${rank[$folder]+x}" ]; then
    echo "src/$folder has no place in the layer order (scripts/check-layering.sh)"; status=1; continue
  fi
  while IFS=: read -r file line target; do
    [ "$target" = "$folder" ] && continue
    if [ -z "${rank[$target]+x}" ] || [ "${rank[$target]}" -ge "${rank[$folder]}" ]; then
      echo "src/$file:$line includes $target/, which is not below $folder/"; status=1
    fi
  done < <(grep -rnoE '^\s*#\s*include\s*"[a-z]+/' "$folder" | sed -E 's#^([^:]*):([0-9]+):.*"([a-z]+)/$#\1:\2:\3#')
done

qt=$(grep -rnE '#\s*include\s*[<"]Q[A-Za-z]*[>/"]|#\s*include\s*<qt' $core 2>/dev/null)
if [ -n "$qt" ]; then echo "Qt include in the core:"; echo "$qt"; status=1; fi
plat=$(grep -rnE '#\s*include\s*<(jack|alsa)/' $core 2>/dev/null |
       grep -vE '^devices/(jack|alsa)/')
if [ -n "$plat" ]; then echo "JACK/ALSA include outside its backend:"; echo "$plat"; status=1; fi
synth=$(grep -rnE '#\s*include\s*[<"](fluidsynth|sndfile)' $core 2>/dev/null |
        grep -vE '^devices/synth/')
if [ -n "$synth" ]; then echo "FluidSynth include outside the synthesizer:"; echo "$synth"; status=1; fi
osc=$(grep -rnE '#\s*include\s*<lo/' . 2>/dev/null | grep -vE '^\./session/')
if [ -n "$osc" ]; then echo "liblo include outside session/:"; echo "$osc"; status=1; fi
[ $status -eq 0 ] && echo "layering ok"
exit $status
