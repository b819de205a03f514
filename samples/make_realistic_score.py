#!/usr/bin/env python3
"""Writes realistic_score.json: a score's categories and expression definitions as the simulated
host loads them. The seven built-in categories come first, then a dozen user-created ones whose
names are in no particular order and of mixed case, so sorting them moves most of them. Text and
shape expression definitions are spread over every category in creation order.

Deterministic: running it again gives the same file. Usage: make_realistic_score.py [OUT.json]
"""

import json
import random
import sys
from pathlib import Path

SEED = 20240611

BUILT_IN = [
    ("Dynamics", ["pp", "p", "mp", "mf", "f", "ff", "fff", "ppp", "sfz", "fp", "cresc.", "dim.",
                  "sf", "rfz", "subito p", "poco a poco cresc.", "morendo"]),
    ("Tempo Marks", ["Allegro", "Andante", "Adagio", "Presto", "Moderato", "Largo", "Lento",
                     "Vivace", "Allegretto", "Andantino", "Tempo I", "Maestoso", "Allegro molto"]),
    ("Tempo Alterations", ["rit.", "accel.", "a tempo", "rall.", "poco rit.", "molto rit.",
                           "stringendo", "allargando", "rubato", "meno mosso", "piu mosso"]),
    ("Expressive Text", ["dolce", "espressivo", "cantabile", "legato", "marcato", "tranquillo",
                         "con brio", "agitato", "semplice", "grazioso", "leggiero", "pesante"]),
    ("Technique Text", ["pizz.", "arco", "con sord.", "senza sord.", "sul pont.", "sul tasto",
                        "col legno", "trem.", "harm.", "div.", "unis.", "ord.", "flz."]),
    ("Rehearsal Marks", [chr(c) for c in range(ord("A"), ord("Z") + 1)] + ["1", "2", "3", "4"]),
    ("Miscellaneous", ["solo", "tutti", "opt.", "8va", "loco", "simile", "attacca", "Fine",
                       "D.C. al Fine", "D.S. al Coda", "To Coda", "G.P."]),
]

# Deliberately unsorted, with names that differ in case, so a byte-order sort moves them about.
USER_CREATED = [
    ("strings div.", ["div. a 2", "div. a 3", "unis.", "gli altri", "half", "desks 1-2"]),
    ("Brass Cues", ["Tpt. cue", "Hn. cue", "Tbn. cue", "open", "stopped", "bells up", "mute"]),
    ("vocal", ["solo", "all", "hum", "bocca chiusa", "spoken", "falsetto", "tutti"]),
    ("Zither effects", ["gliss.", "harmonics", "damped", "let ring", "thumb", "plectrum"]),
    ("Harp pedals", ["D C# B | E F G A", "D C B | E F# G A", "pedal change", "bisbigliando",
                     "pres de la table", "xylo. sounds"]),
    ("a due", ["a 2", "1.", "2.", "a 3", "all", "1. solo"]),
    ("Percussion", ["soft mallets", "hard sticks", "brushes", "l.v.", "choke", "rim shot"]),
    ("choir solos", ["S. solo", "A. solo", "T. solo", "B. solo", "semichorus"]),
    ("Organ registrations", ["Sw. 8' 4'", "Gt. Principal 8'", "Ped. 16' 8'", "+ Tuba",
                             "- Mixture", "Full Organ"]),
    ("mallets", ["marimba", "vibes motor on", "vibes motor off", "yarn", "rubber"]),
    ("Keyboard", ["Ped.", "una corda", "tre corde", "m.d.", "m.s.", "sost. Ped."]),
    ("Guitar tab", ["let ring", "palm mute", "hammer-on", "pull-off", "capo 2", "harm."]),
]

TEXT_EXPRESSIONS = 260
SHAPE_EXPRESSIONS = 64


def categories():
    entries = []
    for number, (name, _) in enumerate(BUILT_IN + USER_CREATED, start=1):
        entries.append({"number": number, "name": name, "usercreated": number > len(BUILT_IN)})
    return entries


def text_expressions(rng):
    pools = [descriptions for _, descriptions in BUILT_IN + USER_CREATED]
    # Every category gets a few definitions; the rest go mostly to the built-in ones, as in a
    # real score, in the order a composer would have made them.
    chosen = [category for category in range(1, len(pools) + 1) for _ in range(3)]
    weights = [6] * len(BUILT_IN) + [2] * len(USER_CREATED)
    while len(chosen) < TEXT_EXPRESSIONS:
        chosen.append(rng.choices(range(1, len(pools) + 1), weights=weights)[0])
    rng.shuffle(chosen)
    return [{"number": number, "category": category,
             "description": rng.choice(pools[category - 1])}
            for number, category in enumerate(chosen, start=1)]


def shape_expressions(rng):
    count = len(BUILT_IN) + len(USER_CREATED)
    chosen = list(range(1, count + 1))
    while len(chosen) < SHAPE_EXPRESSIONS:
        chosen.append(rng.randint(1, count))
    rng.shuffle(chosen)
    return [{"number": number, "category": category}
            for number, category in enumerate(chosen, start=1)]


def other_records():
    # Records of other kinds, which the command must leave alone.
    return [
        {"tag": "0x6F743134", "id": "0100000000000000",
         "bytes": "0a00140000000000c0ffee0012345678"},
        {"tag": "0x4D450000", "id": "0100010000000000", "bytes": "00010203040506070809"},
    ]


def render(document):
    # One entry per line: the file stays readable and diffs stay small.
    lines = ["{"]
    keys = list(document)
    for index, key in enumerate(keys):
        lines.append(f'  "{key}": [')
        entries = document[key]
        for position, entry in enumerate(entries):
            comma = "," if position + 1 < len(entries) else ""
            lines.append("    " + json.dumps(entry) + comma)
        lines.append("  ]" + ("," if index + 1 < len(keys) else ""))
    lines.append("}")
    return "\n".join(lines) + "\n"


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name(
        "realistic_score.json")
    rng = random.Random(SEED)
    document = {
        "categories": categories(),
        "textExpressions": text_expressions(rng),
        "shapeExpressions": shape_expressions(rng),
        "records": other_records(),
    }
    out.write_text(render(document))


if __name__ == "__main__":
    main()
