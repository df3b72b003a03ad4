"""Round trips and independent oracles on random bytes (Hypothesis), and
str and bytes giving the same codes."""

import pytest
from hypothesis import assume, given, strategies as st

import quillfern

texts = st.binary(max_size=600)
passwords = st.binary(min_size=1, max_size=40)
# The characters of codes 0..255 in the host's Windows-1252: the five codes
# it leaves undefined are the C1 controls of the same value.
CP1252 = [chr(c) if c in (0x81, 0x8D, 0x8F, 0x90, 0x9D) else bytes([c]).decode("cp1252") for c in range(256)]


def to_cp1252(codes):
    return "".join(CP1252[c] for c in codes)


@given(texts)
def test_convert_is_upper_case_hex_and_deconvert_reads_it_back(data):
    hex_form = quillfern.convert(data)
    assert hex_form == data.hex().upper().encode()
    assert quillfern.deconvert(hex_form) == data
    assert quillfern.deconvert(hex_form.lower()) == data


@given(st.binary(max_size=400))
def test_deconvert_never_fails_and_gives_half_the_length(data):
    assert len(quillfern.deconvert(data)) == (len(data) + 1) // 2


@given(st.integers(0, 10), st.binary(max_size=254))
def test_password_cipher_round_trip(number, data):
    try:
        scrambled = quillfern.encrypt_password(number, data)
    except quillfern.Error as error:
        assert error.number == 5  # a code left 0..255
        return
    assert len(scrambled) == len(data)
    assert quillfern.decrypt_password(number, scrambled) == data


@given(st.binary(max_size=2000))
def test_shift_cipher_moves_every_code_by_one(data):
    if 255 in data:
        with pytest.raises(quillfern.Error, match="^5: "):
            quillfern.easy_crypt_encode(data)
        return
    raised = quillfern.easy_crypt_encode(data)
    assert raised == bytes(c + 1 for c in data)
    assert quillfern.easy_crypt_decode(raised) == data


@given(st.binary(max_size=1000), st.binary(max_size=1000))
def test_seed_cipher_is_its_own_inverse(data, seed):
    assume(len(seed) >= len(data))
    sealed = quillfern.seed_encryption(data, seed)
    assert sealed == bytes(a ^ b for a, b in zip(data, seed))
    assert quillfern.seed_encryption(sealed, seed) == data


@given(st.binary(max_size=255), st.sampled_from(["cp1252", "latin1", "none"]))
def test_power_encryption_keeps_the_length(data, page):
    assert len(quillfern.power_encryption(data, page)) == len(data)


@given(st.binary(max_size=3000), st.binary(max_size=40))
def test_fast_blow_fish_is_its_own_inverse(data, password):
    ciphered = quillfern.fast_blow_fish(data, password)
    assert len(ciphered) == len(data)
    assert quillfern.fast_blow_fish(ciphered, password) == data
    assert list(ciphered.zeros) == sorted(set(ciphered.zeros))
    assert all(ciphered[p - 1] == 0 for p in ciphered.zeros if p <= len(data))
    assert [p for p in range(1, len(data) + 1) if ciphered[p - 1] == 0] == [p for p in ciphered.zeros if p <= len(data)]


@given(st.binary(min_size=1, max_size=500), st.binary(max_size=30))
def test_text_box_round_trip_when_nothing_is_dropped(data, password):
    try:
        scrambled, key = quillfern.text_box_crypt(data, password)
    except quillfern.DataLoss as loss:
        result, _ = loss.result
        assert result is None or len(result) < len(data)
        return
    assert key == str(sum(password) // 60).encode()
    assert quillfern.text_box_decrypt(scrambled, password) == (data, key)


@given(texts, passwords)
def test_cipher_text_round_trip_when_nothing_is_cut(data, password):
    try:
        cipher = quillfern.encipher_text(data, password)
    except quillfern.DataLoss as loss:
        assert max(password) >= 128 or max(data) >= 128
        assert len(loss.result) == loss.position - 1
        return
    assert len(cipher) == len(password) + len(data)
    assert quillfern.decipher_text(cipher, password) == data


@given(st.binary(max_size=300).map(lambda b: bytes(c & 0x7F for c in b)),
       st.binary(min_size=1, max_size=30).map(lambda b: bytes(c & 0x7F for c in b)))
def test_cipher_text_never_cuts_codes_below_128(data, password):
    assert quillfern.decipher_text(quillfern.encipher_text(data, password), password) == data


@given(st.binary(max_size=300), passwords)
def test_str_gives_the_codes_of_bytes_through_either_code_page(codes, password):
    for to_text, encoding in ((to_cp1252, "cp1252"), (lambda c: c.decode("latin-1"), "latin1")):
        text, key = to_text(codes), to_text(password)
        assert quillfern.convert(text, encoding=encoding) == quillfern.convert(codes).decode()
        assert quillfern.deconvert(quillfern.convert(text, encoding=encoding), encoding=encoding) == text
        assert quillfern.fast_blow_fish(text, key, encoding=encoding) == to_text(quillfern.fast_blow_fish(codes, password))
        assert quillfern.encipher_text(text, key, allow_loss=True, encoding=encoding) == to_text(
            quillfern.encipher_text(codes, password, allow_loss=True))


@given(st.binary(max_size=5000), passwords, st.integers(0, 0xFFFFFF))
def test_file_cipher_round_trip(tmp_path_factory, data, password, state):
    folder = tmp_path_factory.mktemp("files")
    source, encoded, decoded = folder / "in", folder / "enc", folder / "dec"
    source.write_bytes(data)
    end = quillfern.encode_decode_file(source, encoded, password, state)
    assert encoded.stat().st_size == len(data)
    assert quillfern.encode_decode_file(encoded, decoded, password, state) == end
    assert decoded.read_bytes() == data
