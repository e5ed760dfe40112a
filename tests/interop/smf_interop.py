#!/usr/bin/env python3
"""Cross-checks our MIDI file reader and writer against mido, an independent implementation.

mido writes randomised files (formats 0 and 1, several divisions, running status, note-on
velocity 0 as note-off, controllers, sysex, assorted meta-events, overlapping notes on one key);
`tonalweaver-cli dump` must open each as the project that the import rules give when applied to
mido's own parse of the file. Then a few projects go .mid -> .tnw -> .mid through `convert`, and
mido must read back the same notes and controllers at the same ticks.

Usage: smf_interop.py --cli PATH/TO/tonalweaver-cli [--seed N] [--keep DIR]
"""

import argparse
import json
import pathlib
import random
import re
import subprocess
import sys
import tempfile
from collections import Counter

try:
    import mido
except ImportError:
    sys.exit("mido is missing: install the Debian package python3-mido "
             "(scripts/install-deps.sh) and run this with the system python3")

PPQ = 96                 # our ticks per quarter note
CLIP_GRID = 1536         # default new-clip length: 4 bars of 4/4
DEFAULT_TEMPO = 12000    # hundredths of BPM
KIND = {'polytouch': 0xA0, 'control_change': 0xB0, 'program_change': 0xC0,
        'aftertouch': 0xD0, 'pitchwheel': 0xE0}

# Sub-checks known to fail because of a fault in our code that is not fixed yet:
# name -> why. A listed check that passes is reported as a failure so the entry gets removed.
EXPECTED_FAILURES = {}


# ---------------------------------------------------------------------------------------------
# Generating files with mido

def generate_track(rng, division, channels, name, span_quarters):
    """Absolute-time messages of one music track, then converted to mido deltas."""
    timed = []  # (raw tick, sequence, message)

    def add(tick, msg):
        timed.append((tick, len(timed), msg))

    span = span_quarters * division
    if name is not None:
        if rng.random() < 0.2:
            add(0, mido.MetaMessage('track_name', name=''))  # an empty name does not count
        add(0, mido.MetaMessage('track_name', name=name))
        add(rng.randrange(span), mido.MetaMessage('track_name', name=name + ' later'))
    add(0, mido.MetaMessage('instrument_name', name='Synth'))
    # A few keys only, so that notes on one key overlap, also across channels.
    keys = [60, 62, 64] if rng.random() < 0.7 else list(range(0, 128))
    for _ in range(rng.randrange(10, 40)):
        ch = rng.choice(channels)
        key = rng.choice(keys)
        start = rng.randrange(span)
        length = rng.choice([0, 1, 2, division // 4, division, 3 * division,
                             rng.randrange(1, 20 * division)])
        add(start, mido.Message('note_on', channel=ch, note=key, velocity=rng.randrange(1, 128)))
        if rng.random() < 0.08:
            continue  # left sounding: ends at the end of the track
        if rng.random() < 0.4:
            off = mido.Message('note_on', channel=ch, note=key, velocity=0)
        else:
            off = mido.Message('note_off', channel=ch, note=key, velocity=rng.randrange(128))
        add(start + length, off)
    if rng.random() < 0.3:  # a note-off nothing is waiting for
        add(rng.randrange(span), mido.Message('note_off', channel=channels[0], note=100))
    for _ in range(rng.randrange(5, 25)):
        ch = rng.choice(channels)
        kind = rng.choice(list(KIND))
        if kind == 'control_change':
            msg = mido.Message(kind, channel=ch, control=rng.randrange(120),
                               value=rng.randrange(128))
        elif kind == 'program_change':
            msg = mido.Message(kind, channel=ch, program=rng.randrange(128))
        elif kind == 'pitchwheel':
            msg = mido.Message(kind, channel=ch, pitch=rng.randrange(-8192, 8192))
        elif kind == 'aftertouch':
            msg = mido.Message(kind, channel=ch, value=rng.randrange(128))
        else:
            msg = mido.Message(kind, channel=ch, note=rng.randrange(128), value=rng.randrange(128))
        add(rng.randrange(span), msg)
    for _ in range(rng.randrange(0, 3)):
        add(rng.randrange(span), mido.Message('sysex', data=[0x7E, 0x7F, 0x09, 0x01]))
    add(rng.randrange(span), mido.MetaMessage('marker', text='Verse'))
    add(rng.randrange(span), mido.MetaMessage('lyrics', text='la'))
    add(rng.randrange(span), mido.MetaMessage('sequencer_specific', data=[0x00, 0x21, 0x7F]))
    if rng.random() < 0.5:
        add(rng.randrange(span), mido.MetaMessage('set_tempo', tempo=rng.randrange(300000, 900000)))
    if rng.random() < 0.3:
        add(rng.randrange(span), mido.MetaMessage('copyright', text='Music track copyright'))
    timed.sort(key=lambda x: (x[0], x[1]))
    track = mido.MidiTrack()
    now = 0
    for tick, _, msg in timed:
        track.append(msg.copy(time=tick - now))
        now = tick
    # mido moves the end-of-track to the very end; a gap before it ends pending notes later.
    track.append(mido.MetaMessage('end_of_track', time=rng.choice([0, 0, division, 7])))
    return track


def conductor_track(rng):
    track = mido.MidiTrack()
    if rng.random() < 0.5:
        track.append(mido.MetaMessage('track_name', name='Conductor'))
    if rng.random() < 0.6:
        track.append(mido.MetaMessage('copyright', text='(c) Interop %d' % rng.randrange(100)))
    track.append(mido.MetaMessage('time_signature', numerator=3, denominator=4))
    track.append(mido.MetaMessage('key_signature', key='Eb'))
    choice = rng.random()
    if choice < 0.15:
        track.append(mido.MetaMessage('set_tempo', tempo=0))  # meaningless; a later one counts
    if choice < 0.8:
        # Includes tempos beyond the transport box's 20-250 BPM on both sides: kept as they are.
        micros = rng.choice([500000, 600000, 428571, 1000000, 120000, 4000000,
                             rng.randrange(100000, 3000000)])
        track.append(mido.MetaMessage('set_tempo', tempo=micros))
    if choice < 0.9:
        track.append(mido.MetaMessage('set_tempo', tempo=250000, time=384))  # first if alone
    track.append(mido.MetaMessage('text', text='tempo map'))
    return track


def generate_file(rng, path, fmt, division):
    mid = mido.MidiFile(type=fmt, ticks_per_beat=division)
    if fmt == 0:
        track = generate_track(rng, division, rng.sample(range(16), rng.randrange(1, 4)),
                               rng.choice([None, 'Solo']), rng.randrange(20, 60))
        mid.tracks.append(track)
    else:
        mid.tracks.append(conductor_track(rng))
        for i in range(rng.randrange(2, 5)):
            channels = rng.sample(range(16), rng.choice([1, 1, 2, 3]))
            name = None if rng.random() < 0.25 else 'Part %d' % (i + 1)
            mid.tracks.append(generate_track(rng, division, channels, name, rng.randrange(20, 60)))
    mid.save(str(path))


def count_running_status(data):
    """Channel messages written without a status byte: checks that mido really uses running
    status (it is our reader that has to handle it)."""
    count, pos = 0, 14
    while pos + 8 <= len(data):
        end = pos + 8 + int.from_bytes(data[pos + 4:pos + 8], 'big')
        if data[pos:pos + 4] != b'MTrk':
            pos = end
            continue
        pos += 8
        status = 0
        while pos < end:
            while data[pos] & 0x80:  # delta time
                pos += 1
            pos += 1
            byte = data[pos]
            if byte == 0xFF or byte in (0xF0, 0xF7):
                pos += 2 if byte == 0xFF else 1
                length = 0
                while True:
                    length = (length << 7) | (data[pos] & 0x7F)
                    pos += 1
                    if not data[pos - 1] & 0x80:
                        break
                pos += length
                continue
            if byte & 0x80:
                status = byte
                pos += 1
            else:
                count += 1
            pos += 1 if status & 0xF0 in (0xC0, 0xD0) else 2
        pos = end
    return count


# ---------------------------------------------------------------------------------------------
# The project our import rules give, computed from mido's parse

def event_of(msg):
    kind = KIND[msg.type]
    if msg.type == 'control_change':
        return kind, msg.control, msg.value
    if msg.type == 'program_change':
        return kind, msg.program, 0
    if msg.type == 'aftertouch':
        return kind, msg.value, 0
    if msg.type == 'polytouch':
        return kind, msg.note, msg.value
    raw = msg.pitch + 8192
    return kind, raw & 0x7F, raw >> 7


def parse_track(track, division):
    """-> (name, {channel: notes}, {channel: events}) at our resolution, absolute ticks."""
    name, notes, events, pending = '', {}, {}, []
    raw = 0
    for msg in track:
        raw += msg.time
        now = raw * PPQ // division
        if msg.type == 'track_name' and not name:
            name = msg.name
        elif msg.type == 'end_of_track':
            for start, ch, key, vel in pending:
                notes.setdefault(ch, []).append((start, now, key, vel, 127))
            pending = []
            break
        elif msg.type == 'note_on' and msg.velocity > 0:
            pending.append((now, msg.channel, msg.note, msg.velocity))
        elif msg.type in ('note_on', 'note_off'):
            off_velocity = msg.velocity if msg.type == 'note_off' else 127
            # The first waiting note on this key ends, whatever its channel.
            for i, (start, ch, key, vel) in enumerate(pending):
                if key == msg.note:
                    notes.setdefault(ch, []).append((start, now, key, vel, off_velocity))
                    del pending[i]
                    break
        elif msg.type in KIND:
            events.setdefault(msg.channel, []).append((now,) + event_of(msg))
    return name, notes, events


def expected_project(mid, stem, split):
    tempo, copyright_text, tracks = None, '', []
    for track in mid.tracks:  # file order, not time order, decides which tempo is "first"
        for msg in track:
            if msg.type == 'set_tempo' and tempo is None and msg.tempo > 0:
                tempo = 6000000000 // msg.tempo
            if msg.type == 'copyright' and not copyright_text:
                copyright_text = msg.text
            if msg.type == 'end_of_track':
                break
    for track in mid.tracks:
        name, notes, events = parse_track(track, mid.ticks_per_beat)
        used = sorted(set(notes) | set(events))
        base = name or 'Imported Track'
        if len(used) >= 2 and not split:
            tracks.append({'name': base + ' (Merged Channels)', 'channel': 0,
                           'notes': sum((notes.get(c, []) for c in used), []),
                           'events': sum((events.get(c, []) for c in used), [])})
            continue
        for ch in used:
            tracks.append({'name': base + (' (Ch %d)' % (ch + 1) if len(used) > 1 else ''),
                           'channel': ch, 'notes': notes.get(ch, []),
                           'events': events.get(ch, [])})
    for t in tracks:
        t['clips'] = expected_clips(t['notes'], t['events'])
    return {'title': stem + ' [MidiFile]', 'tempo': DEFAULT_TEMPO if tempo is None else tempo,
            'copyright': copyright_text, 'tracks': tracks}


def expected_clips(notes, events):
    """Clip starts and lengths: each note in start order goes to the clip covering its start
    rounded down to the grid (a new one-grid clip if none), stretching it to the note's end
    rounded up; then each event likewise."""
    clips = []  # [start, length]

    def place(time, end):
        grid = time // CLIP_GRID * CLIP_GRID
        clip = next((c for c in clips if c[0] <= grid < c[0] + c[1]), None)
        if clip is None:
            clip = [grid, CLIP_GRID]
            clips.append(clip)
        if end - clip[0] > clip[1]:
            clip[1] = -(-(end - clip[0]) // CLIP_GRID) * CLIP_GRID

    for n in sorted(notes):
        place(n[0], n[1])
    for e in sorted(events):
        place(e[0], e[0])
    return sorted(tuple(c) for c in clips)


def actual_tracks(project):
    """Tracks of a dumped project with clip contents flattened to absolute ticks."""
    result = []
    for t in project['tracks']:
        notes, events, clips = [], [], []
        for c in t['clips']:
            s = c['start']
            clips.append((s, c['length']))
            notes += [(s + n[0], s + n[1], n[2], n[3], n[4]) for n in c['notes']]
            events += [(s + e[0], e[1], e[2], e[3]) for e in c['events']]
            # Every note starts inside its clip, every event lies inside it.
            for n in c['notes']:
                if not 0 <= n[0] < c['length'] or n[1] > c['length'] or n[1] < n[0]:
                    raise Mismatch('track %r: note %r outside its clip at %d (length %d)'
                                   % (t['name'], n, s, c['length']))
            for e in c['events']:
                if not 0 <= e[0] < c['length']:
                    raise Mismatch('track %r: event %r outside its clip at %d (length %d)'
                                   % (t['name'], e, s, c['length']))
        result.append({'name': t['name'], 'channel': t['channel'], 'notes': notes,
                       'events': events, 'clips': sorted(clips)})
    return result


# ---------------------------------------------------------------------------------------------
# Comparing

class Mismatch(Exception):
    pass


def multiset_diff(what, expected, actual):
    exp, act = Counter(expected), Counter(actual)
    if exp == act:
        return
    missing = sorted((exp - act).elements())
    extra = sorted((act - exp).elements())
    raise Mismatch('%s differ: %d expected, %d found\n  missing (expected, not found): %s\n'
                   '  extra (found, not expected): %s'
                   % (what, len(expected), len(actual), missing[:8], extra[:8]))


def first_difference(expected, actual, where=''):
    """The path and values of the first place where two JSON-like values differ."""
    if isinstance(expected, dict) and isinstance(actual, dict):
        for key in sorted(set(expected) | set(actual)):
            if expected.get(key) != actual.get(key):
                return first_difference(expected.get(key), actual.get(key), where + '.' + key)
    elif (isinstance(expected, list) and isinstance(actual, list)
          and len(expected) == len(actual)):
        for i, (e, a) in enumerate(zip(expected, actual)):
            if e != a:
                return first_difference(e, a, '%s[%d]' % (where, i))
    return '%s: expected %r, found %r' % (where or 'value', expected, actual)


def same(what, expected, actual):
    if expected != actual:
        raise Mismatch('%s: first difference at %s' % (what, first_difference(expected, actual)))


def compare_project(expected, project):
    same('title', expected['title'], project['title'])
    same('tempo', expected['tempo'], project['tempo'])
    if expected['copyright']:
        same('copyright', expected['copyright'], project['copyright'])
    elif not re.fullmatch(r'Copyright \(C\) \d{4}, ', project['copyright']):
        # Without one in the file the project keeps a new project's "Copyright (C) <year>, ".
        raise Mismatch('copyright: expected the default, found %r' % project['copyright'])
    actual = actual_tracks(project)
    same('track names and channels', [(t['name'], t['channel']) for t in expected['tracks']],
         [(t['name'], t['channel']) for t in actual])
    for exp, act in zip(expected['tracks'], actual):
        label = 'track %r channel %d' % (exp['name'], exp['channel'])
        multiset_diff(label + ' notes [start,end,pitch,vel,offVel]', exp['notes'], act['notes'])
        multiset_diff(label + ' events [time,kind,data1,data2]', exp['events'], act['events'])
        same(label + ' clips (start, length)', exp['clips'], act['clips'])


def without_colours(value):
    if isinstance(value, dict):
        return {k: without_colours(v) for k, v in value.items() if k != 'colour'}
    if isinstance(value, list):
        return [without_colours(v) for v in value]
    return value


def pair_notes(track):
    """Exported messages -> notes, each note-off ending the first waiting note-on of its key
    and channel. Returns (notes, events, channels, unpaired note-ons)."""
    now, pending, notes, events, channels = 0, [], [], [], set()
    for msg in track:
        now += msg.time
        if msg.is_meta or msg.type == 'sysex':
            continue
        channels.add(msg.channel)
        if msg.type == 'note_on' and msg.velocity > 0:
            pending.append((now, msg.channel, msg.note, msg.velocity))
        elif msg.type in ('note_on', 'note_off'):
            off_velocity = msg.velocity if msg.type == 'note_off' else 127
            for i, (start, ch, key, vel) in enumerate(pending):
                if key == msg.note and ch == msg.channel:
                    notes.append((start, now, key, vel, off_velocity))
                    del pending[i]
                    break
            else:
                raise Mismatch('note-off %r at %d matches no note-on' % (msg, now))
        elif msg.type in KIND:
            events.append((now,) + event_of(msg))
        else:
            raise Mismatch('unexpected message %r' % msg)
    return notes, events, channels, pending


def compare_export(project, exported):
    same('format', 1, exported.type)
    same('ticks per quarter', PPQ, exported.ticks_per_beat)
    same('track count (first + one per project track)', 1 + len(project['tracks']),
         len(exported.tracks))
    for i, track in enumerate(exported.tracks):
        same('last message of track %d' % i, 'end_of_track', track[-1].type if track else None)
    first = exported.tracks[0]
    same('channel messages in the first track', [],
         [m for m in first if not m.is_meta and m.type != 'sysex'])
    same('tempo of the first track', [6000000000 // project['tempo']],
         [m.tempo for m in first if m.type == 'set_tempo'])
    texts = [(m.type, getattr(m, 'name', getattr(m, 'text', None))) for m in first]
    if project['title']:
        same('title in the first track', True, ('track_name', project['title']) in texts)
    if project['copyright']:
        same('copyright in the first track', True, ('copyright', project['copyright']) in texts)
    for t, track in zip(actual_tracks(project), exported.tracks[1:]):
        label = 'exported track %r' % t['name']
        names = [m.name for m in track if m.type == 'track_name']
        same(label + ' name', [t['name']] if t['name'] else [], names[:1])
        notes, events, channels, pending = pair_notes(track)
        same(label + ' channels used', {t['channel']} if t['notes'] or t['events'] else set(),
             channels)
        same(label + ' note-ons left without note-off', [], pending)
        multiset_diff(label + ' notes', t['notes'], notes)
        multiset_diff(label + ' events', t['events'], events)


# ---------------------------------------------------------------------------------------------
# Running

class Runner:
    def __init__(self, cli):
        self.cli = cli
        self.passed = 0
        self.failed = 0

    def run_cli(self, *args):
        result = subprocess.run([self.cli, *map(str, args)], capture_output=True, text=True,
                                timeout=60)
        if result.returncode != 0:
            raise Mismatch('%s %s exited with %d: %s' % (pathlib.Path(self.cli).name,
                           ' '.join(map(str, args)), result.returncode, result.stderr.strip()))
        return result.stdout

    def dump(self, path, *options):
        return json.loads(self.run_cli('dump', path, *options))

    def check(self, name, description, body):
        try:
            body()
            error = None
        except Mismatch as mismatch:
            error = str(mismatch)
        reason = EXPECTED_FAILURES.get(name)
        if error and reason:
            print('xfail %s (%s): known fault: %s' % (name, description, reason))
            self.passed += 1
        elif error:
            print('FAIL  %s (%s)\n  %s' % (name, description, error.replace('\n', '\n  ')))
            self.failed += 1
        elif reason:
            print('FAIL  %s (%s): passes but is listed as a known fault; remove it from '
                  'EXPECTED_FAILURES' % (name, description))
            self.failed += 1
        else:
            print('ok    %s (%s)' % (name, description))
            self.passed += 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--cli', required=True, help='path of tonalweaver-cli')
    parser.add_argument('--seed', type=int, default=20240607)
    parser.add_argument('--keep', help='write the files to this folder and keep them')
    args = parser.parse_args()

    rng = random.Random(args.seed)
    runner = Runner(args.cli)
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(args.keep or tmp)
        folder.mkdir(parents=True, exist_ok=True)
        cases = [(fmt, division) for division in (96, 120, 480, 960) for fmt in (0, 1, 1)]
        running_status = 0
        for index, (fmt, division) in enumerate(cases):
            path = folder / ('mido%02d_f%d_d%d.mid' % (index, fmt, division))
            generate_file(rng, path, fmt, division)
            running_status += count_running_status(path.read_bytes())
            mid = mido.MidiFile(str(path))
            desc = 'format %d, division %d, seed %d' % (fmt, division, args.seed)

            def dump_check(split):
                expected = expected_project(mid, path.stem, split)
                compare_project(expected, runner.dump(path, '--split-channels',
                                                      'yes' if split else 'no'))

            runner.check(path.stem + ':dump', desc, lambda: dump_check(True))
            if index % 3 == 2:
                runner.check(path.stem + ':dump-merged', desc, lambda: dump_check(False))

            def export_check(split):
                option = ('--split-channels', 'yes' if split else 'no')
                project = runner.dump(path, *option)
                tnw, out = path.with_suffix('.tnw'), path.with_name(path.stem + '_out.mid')
                runner.run_cli('convert', path, tnw, *option)
                runner.run_cli('convert', tnw, out)
                # Colours differ: each run of the program starts the palette at random.
                same('tracks after saving as .tnw', without_colours(project['tracks']),
                     without_colours(runner.dump(tnw)['tracks']))
                compare_export(project, mido.MidiFile(str(out)))

            if index % 3 == 1:
                runner.check(path.stem + ':export', desc, lambda: export_check(True))
            if index % 3 == 2:
                runner.check(path.stem + ':export-merged', desc, lambda: export_check(False))

        def running_status_written():
            if running_status == 0:
                raise Mismatch('mido wrote no running status, so the reader was not tested on it')
        runner.check('running-status', 'messages without status byte: %d' % running_status,
                     running_status_written)

    print('%d passed, %d failed' % (runner.passed, runner.failed))
    return 1 if runner.failed else 0


if __name__ == '__main__':
    sys.exit(main())
