#!/usr/bin/env bash
# Fails when the core includes UI or platform headers: Qt nowhere in the core, JACK and ALSA only
# in their own backend folders, FluidSynth only in the synthesizer's.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root/src" || exit 2
status=0
qt=$(grep -rnE '#\s*include\s*[<"]Q[A-Za-z]*[>/"]|#\s*include\s*<qt' model files editing engine devices 2>/dev/null)
if [ -n "$qt" ]; then echo "Qt include in the core:"; echo "$qt"; status=1; fi
plat=$(grep -rnE '#\s*include\s*<(jack|alsa)/' model files editing engine devices 2>/dev/null |
       grep -vE '^devices/(jack|alsa)/')
if [ -n "$plat" ]; then echo "JACK/ALSA include outside its backend:"; echo "$plat"; status=1; fi
synth=$(grep -rnE '#\s*include\s*[<"](fluidsynth|sndfile)' model files editing engine devices 2>/dev/null |
        grep -vE '^devices/synth/')
if [ -n "$synth" ]; then echo "FluidSynth include outside the synthesizer:"; echo "$synth"; status=1; fi
[ $status -eq 0 ] && echo "layering ok"
exit $status
