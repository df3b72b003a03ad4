"""The known-answer vector files of tests/data, read as the C++ tests read them.

A file holds sections, each named after the operation its cases run
through (its exact published name), and cases of `Key = value` lines
separated by blank lines. The keys of an operation's inputs and outputs are
its published parameter names; "Result" is its result, "NAME after" the
value a written parameter or a file holds after the call, and "Result =
Empty" the empty variant. A value is a quoted text with \\xHH, \\n, \\t,
\\r escapes, bare hexadecimal codes (blanks ignored), or a word or number
as written; Error and Number stay as written. Values are bytes (the
character codes).
"""

import os
import re
from dataclasses import dataclass, field

HEX_DIGITS = re.compile(r"[0-9A-Fa-f]*")


@dataclass
class Case:
    file: str
    line: int
    section: str
    values: dict = field(default_factory=dict)
    raw: dict = field(default_factory=dict)  # as written, before decoding

    def __getitem__(self, key):
        return self.values[key]

    def __contains__(self, key):
        return key in self.values

    def number(self, key):
        return int(self.values[key])

    def is_empty_variant(self, key):
        """True when the value of `key` is written as the bare word Empty."""
        return self.raw.get(key) == "Empty"

    def id(self):
        return f"{os.path.basename(self.file)}:{self.line}[{self.section}]"


def decode_value(text):
    if not text:
        return b""
    if text.startswith('"'):
        if len(text) < 2 or not text.endswith('"'):
            raise ValueError(f"unterminated text: {text}")
        out = bytearray()
        body = text[1:-1]
        i = 0
        while i < len(body):
            ch = body[i]
            if ch != "\\":
                out += ch.encode("latin-1")
            else:
                i += 1
                escape = body[i]
                if escape == "x":
                    out.append(int(body[i + 1:i + 3], 16))
                    i += 2
                else:
                    out += {"n": b"\n", "t": b"\t", "r": b"\r"}.get(escape, escape.encode("latin-1"))
            i += 1
        return bytes(out)
    digits = "".join(text.split())
    if HEX_DIGITS.fullmatch(digits) and len(digits) % 2 == 0:
        return bytes.fromhex(digits)
    return text.encode("latin-1")  # a plain word or number


def load(path):
    cases, section, current = [], "", None
    with open(path, "rb") as source:
        for number, raw in enumerate(source.read().decode("latin-1").split("\n"), start=1):
            line = raw.strip(" \t\r")
            if not line:
                if current:
                    cases.append(current)
                current = None
                continue
            if line.startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                if current:
                    cases.append(current)
                current, section = None, line[1:-1]
                continue
            key, separator, value = line.partition("=")
            if not separator:
                raise ValueError(f"{path}:{number}: expected Key = value")
            if current is None:
                current = Case(path, number, section)
            key, value = key.strip(" \t\r"), value.strip(" \t\r")
            current.values[key] = value.encode("latin-1") if key in ("Error", "Number") else decode_value(value)
            current.raw[key] = value
    if current:
        cases.append(current)
    return cases


def data_dir():
    here = os.path.dirname(os.path.abspath(__file__))
    return os.environ.get("QUILLFERN_TEST_DATA") or os.path.join(here, "..", "..", "tests", "data")


def load_all():
    folder = data_dir()
    files = sorted(name for name in os.listdir(folder) if name.endswith(".vec"))
    return [case for name in files for case in load(os.path.join(folder, name))]
