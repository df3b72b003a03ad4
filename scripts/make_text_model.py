#!/usr/bin/env python3
"""Writes quillfern/control/identify_model.txt: the small model of English
text by which `identify` ranks its readings. The build embeds that file in
the library (cmake/embed.cmake).

    scripts/make_text_model.py [OUTPUT]

The model gives every text a cost in bits: the fewer bits, the more the
text reads like English. Letters (case folded, the code page's letters
folded to their base letter) and the apostrophe are predicted from the
three symbols before them by an interpolated 4-gram model (Witten-Bell),
a word ending being a symbol too, and once more from the three symbols
after them by a second such model read from right to left (identify takes
the mean of both ways); the other codes (blanks, line breaks,
digits, punctuation, symbols, controls) by the kind of code before them.
Case and accents cost a few fixed bits (see identify.cpp).

Training text, both present on any Debian system with the packages named:
  - half of the words of /usr/share/dict/american-english-large
    (wamerican-large, which holds every word of wamerican's list and more):
    the words whose stem (the word lower-cased, with one common ending
    such as "'s", "s", "ed" or "ing" taken off) hashes to an even number
    (word_half below). The identify test draws its words from the other
    half of wamerican's list only, so the figure it reports is for words
    the model never saw in a word list, nor their plurals, possessives
    and other forms with those endings. Splitting by the first four
    letters instead would keep every test word's start out of the model,
    while a wrong reading's start is in it half the time: that weighs
    against the right reading as no real word list does;
  - the license texts in /usr/share/common-licenses (base-files), for
    running text: the words between blanks and punctuation, and the
    kinds of code that follow one another.

The one figure set by hand besides the case costs: a digit follows a letter
in at least 5 percent of the codes other than letters that follow one
(DIGIT_AFTER_LETTER), as in stored passwords and names ("hunter2"), which
the license texts hold far less often.

Costs are stored in quarter bits, 0 to 93, as the printable characters
'!' to '~' (a cost above 23.25 bits is stored as 23.25).
"""
import math
import os
import re
import sys
from collections import defaultdict

DICTIONARY = "/usr/share/dict/american-english-large"
LICENSES = "/usr/share/common-licenses"
ORDER = 4
SYMBOLS = 28          # 26 letters, the apostrophe, the word boundary
APOSTROPHE = 26
BOUNDARY = 27
SYMBOL_CHARS = "abcdefghijklmnopqrstuvwxyz'$"
MAX_QUARTERS = 93


def fnv1a(data):
    h = 0x811C9DC5
    for b in data:
        h = ((h ^ b) * 0x01000193) & 0xFFFFFFFF
    return h


# Endings taken off a word before it is given to a half, so that a word and
# its plural, possessive and other common forms fall in the same half. The
# identify test takes off the same endings.
ENDINGS = [b"'s", b"s'", b"ing", b"ed", b"es", b"s", b"ly", b"er", b"est"]


def stem(word_utf8):
    """The word lower-cased (ASCII), with the first ending that leaves at
    least three bytes taken off."""
    word = word_utf8.lower()
    for ending in ENDINGS:
        if word.endswith(ending) and len(word) - len(ending) >= 3:
            return word[:-len(ending)]
    return word


def word_half(word_utf8):
    """0 for the words the model learns from, 1 for the test's words."""
    return (fnv1a(stem(word_utf8)) >> 16) & 1


# The code page's letters and the base letter each folds to.
FOLDS = {
    "a": "ÀÁÂÃÄÅÆàáâãäåæª", "c": "Çç", "d": "Ðð", "e": "ÈÉÊËèéêë",
    "f": "ƒ", "i": "ÌÍÎÏìíîï", "m": "µ", "n": "Ññ", "o": "ÒÓÔÕÖØòóôõöøºŒœ",
    "s": "ßŠš", "t": "Þþ", "u": "ÙÚÛÜùúûü", "y": "ÝýÿŸ", "z": "Žž",
}
BASE = {}
for base, letters in FOLDS.items():
    for ch in letters:
        BASE[ch.encode("cp1252")[0]] = ord(base) - ord("a")
UPPER_ACCENTED = {ch.encode("cp1252")[0] for ch in "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏÐÑÒÓÔÕÖØÙÚÛÜÝÞŠŒŽŸ"}
UNDEFINED_CP1252 = {0x81, 0x8D, 0x8F, 0x90, 0x9D}

# Kinds of the codes that are not letters, as the model sees them.
PUNCTUATION = "!\"#$%&()*+,-./:;<=>?@[\\]^_`{|}~"
KINDS = ["blank", "line", "digit"] + list(PUNCTUATION) + ["symbol", "control"]
LETTER_KIND = len(KINDS)  # the kind "letter" as the code before
KIND_WIDTH = {"digit": 10, "symbol": 40, "control": 30}
DIGIT_AFTER_LETTER = 0.05


def letter_symbol(code):
    if 97 <= code <= 122:
        return code - 97
    if 65 <= code <= 90:
        return code - 65
    if code == 39:
        return APOSTROPHE
    return BASE.get(code)


def kind_of(code):
    """The kind of a code that is not a letter symbol."""
    if code == 32:
        return "blank"
    if code in (9, 10, 13):
        return "line"
    if 48 <= code <= 57:
        return "digit"
    if 33 <= code <= 126:
        return chr(code)
    if code < 32 or code == 127 or code in UNDEFINED_CP1252:
        return "control"
    return "symbol"


def symbols_of(word):
    out = [BOUNDARY] * (ORDER - 1)
    for code in word:
        s = letter_symbol(code)
        out.append(BOUNDARY if s is None else s)
    out.append(BOUNDARY)
    return out


def train_ngrams(words):
    counts = [defaultdict(int) for _ in range(ORDER + 1)]
    for word in words:
        xs = symbols_of(word)
        for i in range(ORDER - 1, len(xs)):
            for n in range(1, ORDER + 1):
                counts[n][tuple(xs[i - n + 1:i + 1])] += 1
    # Per context: the number of events and of distinct followers.
    history = [None] + [defaultdict(lambda: [0, 0]) for _ in range(ORDER)]
    for n in range(2, ORDER + 1):
        for gram, c in counts[n].items():
            h = history[n][gram[:-1]]
            h[0] += c
            h[1] += 1
    total = sum(counts[1].values())
    memo = {}

    def prob(context, x):
        key = (context, x)
        if key in memo:
            return memo[key]
        if not context:
            p = (counts[1][(x,)] + 1) / (total + SYMBOLS)
        else:
            lower = prob(context[1:], x)
            h = history[len(context) + 1].get(context)
            p = lower if not h else (counts[len(context) + 1][context + (x,)] + h[1] * lower) / (h[0] + h[1])
        memo[key] = p
        return p

    return counts, history, prob


def quarters(bits):
    return min(MAX_QUARTERS, max(0, int(round(bits * 4))))


def cost_char(q):
    return chr(33 + q)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "quillfern", "control", "identify_model.txt")
    with open(DICTIONARY, "rb") as f:
        dictionary = [w for w in f.read().split(b"\n") if w and word_half(w) == 0]
    words = []
    for w in dictionary:
        try:
            words.append(w.decode("utf-8").encode("cp1252"))
        except UnicodeEncodeError:
            pass
    prose = b""
    for name in sorted(os.listdir(LICENSES)):
        path = os.path.join(LICENSES, name)
        if not os.path.islink(path):
            with open(path, "rb") as f:
                prose += f.read()
    words += re.findall(rb"[A-Za-z']+", prose)
    # Letter symbols, each way: the trigram costs (the backoff), the cost of
    # leaving a seen 4-gram context, and the 4-grams seen.
    def letter_tables(words):
        counts, history, prob = train_ngrams(words)
        trigram = []
        backoff = []
        seen = []
        for a in range(SYMBOLS):
            for b in range(SYMBOLS):
                for c in range(SYMBOLS):
                    trigram.append(cost_char(quarters(-math.log2(prob((a, b), c)))))
                    context = (a, b, c)
                    h = history[ORDER].get(context)
                    backoff.append(cost_char(quarters(-math.log2(h[1] / (h[0] + h[1]))) if h else 0))
                    entries = ""
                    if h:
                        for x in range(SYMBOLS):
                            if counts[ORDER].get(context + (x,)):
                                entries += SYMBOL_CHARS[x] + cost_char(quarters(-math.log2(prob(context, x))))
                    seen.append(entries + " ")
        return trigram, backoff, seen

    trigram, backoff, seen = letter_tables(words)
    trigram_back, backoff_back, seen_back = letter_tables([w[::-1] for w in words])

    # Codes that are not letters: the kind after each kind, smoothed towards
    # how often each kind occurs, and whether a letter or another such code
    # follows one.
    follows = defaultdict(lambda: defaultdict(int))
    letter_after = defaultdict(lambda: [1, 1])  # [letter, other] after a kind, with one of each added
    before = LETTER_KIND
    for code in prose:
        is_letter = letter_symbol(code) is not None
        kind = LETTER_KIND if is_letter else KINDS.index(kind_of(code))
        if not is_letter:
            follows[before][kind] += 1
        if before != LETTER_KIND:
            letter_after[before][0 if is_letter else 1] += 1
        before = kind
    # Stored passwords and names end in digits more often than prose does:
    # a digit follows a letter in at least DIGIT_AFTER_LETTER of the codes
    # other than letters that follow one.
    after_letter = follows[LETTER_KIND]
    digit = KINDS.index("digit")
    others = sum(after_letter.values()) - after_letter[digit]
    after_letter[digit] = max(after_letter[digit], round(DIGIT_AFTER_LETTER * others / (1 - DIGIT_AFTER_LETTER)))
    added = {KINDS.index("symbol"): 0.05, KINDS.index("control"): 0.002}
    overall = defaultdict(float)
    for row in follows.values():
        for k, c in row.items():
            overall[k] += c
    extra = [added.get(k, 0.2) for k in range(len(KINDS))]
    norm = sum(overall.values()) + sum(extra)
    unigram = [(overall[k] + extra[k]) / norm for k in range(len(KINDS))]
    kind_costs = ""
    for prev in range(len(KINDS) + 1):
        row = follows[prev]
        n = sum(row.values())
        t = sum(1 for c in row.values() if c)
        for k in range(len(KINDS)):
            p = (row[k] + t * unigram[k]) / (n + t) if n else unigram[k]
            width = KIND_WIDTH.get(KINDS[k], 1)
            kind_costs += cost_char(quarters(-math.log2(p) + math.log2(width)))
    letter_costs = ""
    other_costs = ""
    for prev in range(len(KINDS)):
        letter, other = letter_after[prev]
        letter_costs += cost_char(quarters(-math.log2(letter / (letter + other))))
        other_costs += cost_char(quarters(-math.log2(other / (letter + other))))

    # What each code is to the model: a letter symbol (lower case, upper
    # case, or accented, which costs more), or a kind.
    classes = ""
    for code in range(256):
        s = letter_symbol(code)
        if s is not None:
            if 97 <= code <= 122 or code == 39:
                tag = "l"
            elif 65 <= code <= 90:
                tag = "u"
            else:
                tag = "U" if code in UPPER_ACCENTED else "a"
            classes += tag + SYMBOL_CHARS[s]
        else:
            classes += "k" + chr(33 + KINDS.index(kind_of(code)))

    out = []
    out.append("# Generated by scripts/make_text_model.py; do not edit. The model of English")
    out.append("# text that ranks the readings of identify: see that script for what it")
    out.append("# learned from. One table a line: its name, a blank, its characters.")
    for name, text, comment in [
        ("code_classes", classes, "two characters per code 0..255: its class and symbol or kind"),
        ("trigram_costs", trigram, "cost of symbol c after a, b: index (a * 28 + b) * 28 + c"),
        ("backoff_costs", backoff, "cost of leaving a seen context a, b, c for its trigram"),
        ("seen_4grams", seen, "per context a, b, c: pairs (symbol, cost), then a blank"),
        ("trigram_costs_back", trigram_back, "the same three, read from right to left"),
        ("backoff_costs_back", backoff_back, ""),
        ("seen_4grams_back", seen_back, ""),
        ("kind_costs", kind_costs, "cost of a kind after a kind (the last row: after a letter)"),
        ("letter_after_kind", letter_costs, "cost of a letter after a kind"),
        ("kind_after_kind", other_costs, "cost of a code other than a letter after a kind"),
    ]:
        if comment:
            out.append("# " + name + ": " + comment + ".")
        out.append(name + " " + "".join(text))
    with open(output, "w", encoding="ascii") as f:
        f.write("\n".join(out) + "\n")
    print(f"{os.path.normpath(output)}: {sum(len(s) - 1 for s in seen) // 2} 4-grams", file=sys.stderr)


if __name__ == "__main__":
    main()
