"""quillfern.BasicRandom against the published generator vectors
(docs/rnd-vectors.txt) and the [BasicRandom] cases of the vector files."""

import math
import os
import struct

import pytest

import quillfern
import vectors

VECTORS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "rnd-vectors.txt")


def single(text):
    """The single-precision number nearest to `text`, as a Python float."""
    return struct.unpack("<f", struct.pack("<f", float(text)))[0]


def rnd_cases():
    """The cases of the vectors file: (line, start state, [(line, timer, call, state, value)])."""
    cases, timer = [], None
    with open(VECTORS, encoding="ascii") as source:
        for number, line in enumerate(source, start=1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            words = line.split()
            if words[0] == "new":
                cases.append((number, int(words[1], 16) if len(words) > 1 else None, []))
                timer = None
            elif words[0] == "timer":
                timer = float(words[1])
            else:
                call, _, answer = line.partition("=>")
                answer = answer.split()
                value = single(answer[1]) if len(answer) > 1 else None
                cases[-1][2].append((number, timer, call.split(), int(answer[0], 16), value))
    return cases


def run_call(generator, timer, call):
    if call[0] == "rnd":
        return generator.rnd(float(call[1])) if len(call) > 1 else generator.rnd()
    assert call[0] == "randomize", call
    if len(call) == 1:
        generator.randomize_timer(timer)
    elif call[1] == "timer":
        generator.randomize(single(timer))
    else:
        generator.randomize(float(call[1]))
    return None


CASES = rnd_cases()


def test_the_vectors_file_has_the_published_figures():
    assert len(CASES) >= 10
    first = CASES[0][2]
    assert [(c[3], c[4]) for c in first] == [(0xB49EC3, single("0.7055475")), (0x888E7A, single("0.533424")),
                                             (0x945B55, single("0.5795186"))]


@pytest.mark.parametrize("case", CASES, ids=lambda case: f"rnd-vectors.txt:{case[0]}")
def test_rnd_vectors(case):
    _, start, calls = case
    generator = quillfern.BasicRandom(start)
    for line, timer, call, state, value in calls:
        result = run_call(generator, timer, call)
        assert generator.state == state, f"line {line}: {' '.join(call)}"
        if value is not None:
            assert result == value, f"line {line}: {' '.join(call)}"
            assert generator.last == value  # Rnd(0) gives it again
        else:
            assert result is None


@pytest.mark.parametrize("case", [c for c in vectors.load_all() if c.section == "BasicRandom"], ids=vectors.Case.id)
def test_generator_states_of_the_vector_files(case):
    generator = quillfern.BasicRandom(int(case["State"]))
    if "Reseed" in case:
        generator.randomize(float(case["Reseed"]))
    for i in range(0, len(case["Out"]), 3):
        key = generator.rnd()
        state = int.from_bytes(case["Out"][i:i + 3], "big")
        assert generator.state == state
        assert key == state / 2 ** 24 and int(key * 256) == case["Out"][i]


def test_a_new_generator_is_a_new_process_and_the_state_is_24_bits():
    assert quillfern.BasicRandom().state == 0x50000 == quillfern.BasicRandom(None).state
    generator = quillfern.BasicRandom(state=0xFFFFFF)
    generator.state = None
    assert generator.state == 0x50000
    assert repr(generator) == "BasicRandom(state=0x050000)"
    generator.randomize(-1)  # the sign's bits above 24 are not kept
    assert 0 <= generator.state <= 0xFFFFFF and generator.last < 1


@pytest.mark.parametrize("bad, error", [
    ("1", TypeError), (None, TypeError), (True, TypeError), (b"1", TypeError),
])
def test_bad_arguments_are_type_errors(bad, error):
    generator = quillfern.BasicRandom()
    for call in (generator.rnd, generator.randomize, generator.randomize_timer):
        with pytest.raises(error):
            call(bad)
    assert generator.state == 0x50000


def test_numbers_beyond_a_single_overflow_and_bad_states_are_refused():
    generator = quillfern.BasicRandom()
    for call in (generator.rnd, generator.randomize_timer):
        for x in (3.5e38, -1e39, math.inf):
            with pytest.raises(quillfern.Error) as raised:
                call(x)
            assert raised.value.number == 6
    assert generator.state == 0x50000
    generator.randomize(1e300)  # Randomize takes a double
    assert generator.rnd(math.nan) == generator.last  # a NaN draws
    for state in (-1, 0x1000000):
        with pytest.raises(ValueError):
            quillfern.BasicRandom(state)
    with pytest.raises(TypeError):
        quillfern.BasicRandom(1.5)
