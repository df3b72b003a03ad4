"""Numbered errors at the limits, refusals, losses, and bad arguments:
a clear TypeError, ValueError or UnicodeEncodeError, never a crash."""

import pickle

import pytest

import quillfern

q = quillfern

LIMITS = [
    # (name, call that just succeeds, call that fails, error number)
    ("password 254/255", lambda: q.encrypt_password(1, b"a" * 254), lambda: q.encrypt_password(1, b"a" * 255), 6),
    ("password key 11", lambda: q.encrypt_password(10, b"a"), lambda: q.encrypt_password(11, b"a"), 5),
    ("decrypt 254/255", lambda: q.decrypt_password(1, b"a" * 254), lambda: q.decrypt_password(1, b"a" * 255), 6),
    ("encode 32766/32767", lambda: q.easy_crypt_encode(b"a" * 32766), lambda: q.easy_crypt_encode(b"a" * 32767), 6),
    ("encode past 32767", lambda: q.easy_crypt_encode(b"a"), lambda: q.easy_crypt_encode(b"a" * 40000), 6),
    ("encode code 255", lambda: q.easy_crypt_encode(b"\xfe"), lambda: q.easy_crypt_encode(b"a\xff"), 5),
    ("decode code 0", lambda: q.easy_crypt_decode(b"\x01"), lambda: q.easy_crypt_decode(b"a\x00"), 5),
    ("seed shorter", lambda: q.seed_encryption(b"ab", b"xy"), lambda: q.seed_encryption(b"ab", b"x"), 5),
    ("seed 32766/32767", lambda: q.seed_encryption(b"a" * 32766, b"b" * 32766),
     lambda: q.seed_encryption(b"a" * 32767, b"b" * 32767), 6),
    ("power 255/256", lambda: q.power_encryption(b"a" * 255), lambda: q.power_encryption(b"a" * 256), 5),
    ("power past 32767", lambda: q.power_encryption(b""), lambda: q.power_encryption(b"a" * 32768), 6),
]


@pytest.mark.parametrize("succeeds, fails, number", [case[1:] for case in LIMITS], ids=[case[0] for case in LIMITS])
def test_limits_and_their_error_numbers(succeeds, fails, number):
    succeeds()
    with pytest.raises(q.Error) as raised:
        fails()
    error = raised.value
    assert error.number == number
    assert error.description == {5: "Invalid procedure call or argument", 6: "Overflow"}[number]
    assert str(error) == f"{number}: {error.description}"
    assert not isinstance(error, OSError)


def test_errors_pickle_with_their_numbers():
    with pytest.raises(q.Error) as raised:
        q.encrypt_password(11, b"a")
    copy = pickle.loads(pickle.dumps(raised.value))
    assert (type(copy), copy.number, copy.description) == (q.Error, 5, raised.value.description)
    loss = q.DataLoss("cut", 3, b"ab")
    assert pickle.loads(pickle.dumps(loss)).result == b"ab"
    ciphered = q.fast_blow_fish(b"Hello, world", b"secret")
    assert pickle.loads(pickle.dumps(ciphered)).zeros == ciphered.zeros


@pytest.mark.parametrize("call, message", [
    (lambda: q.encipher_text(b"text", b""), "Please put in a password"),
    (lambda: q.encipher_text(b"", b""), "Please put in a password"),
    (lambda: q.decipher_text(b"\xc2\xc4", b""), "Please put in a password"),
    (lambda: q.decipher_text(b"zr{", b"9"), "Access Denied"),
    (lambda: q.decipher_text("zr{", "9"), "Access Denied"),
])
def test_refusals(call, message):
    with pytest.raises(q.Refused) as raised:
        call()
    assert (raised.value.message, raised.value.title, str(raised.value)) == (message, "Oldvane", message)


def test_losses_name_the_position_but_never_a_password_code():
    with pytest.raises(q.DataLoss, match=r"position 2 of 4: password character 2 has a code above 127") as raised:
        q.encipher_text(b"xy", b"a\xf0")
    assert "240" not in str(raised.value)
    assert (raised.value.position, raised.value.result) == (2, b"\xc2")
    assert isinstance(raised.value, ValueError)
    with pytest.raises(q.DataLoss, match="drop 1 of 3 characters, the first at position 1"):
        q.text_box_crypt(b"\x00\x01\x02", b"LMN")
    with pytest.raises(q.DataLoss, match="stopped at cipher position 4 of 5"):
        q.decipher_text(bytes.fromhex("C2C4A901CB"), b"ab")


BAD_ARGUMENTS = [
    # (call, exception, words of the message)
    (lambda: q.encrypt_password("5", b"x"), TypeError, "number must be an int, not str"),
    (lambda: q.encrypt_password(5.0, b"x"), TypeError, "number must be an int, not float"),
    (lambda: q.encrypt_password(True, b"x"), TypeError, "number must be an int, not bool"),
    (lambda: q.encrypt_password(-1, b"x"), ValueError, "number must be 0..255, not -1"),
    (lambda: q.decrypt_password(256, b"x"), ValueError, "number must be 0..255, not 256"),
    (lambda: q.decrypt_password(2**80, b"x"), ValueError, "number must be 0..255"),
    (lambda: q.convert(5), TypeError, "text must be bytes-like or str, not int"),
    (lambda: q.convert(None), TypeError, "text must be bytes-like or str, not NoneType"),
    (lambda: q.deconvert([1, 2]), TypeError, "hex must be bytes-like or str, not list"),
    (lambda: q.seed_encryption(b"a", "a"), TypeError, "seed is str but text is bytes"),
    (lambda: q.fast_blow_fish("a", b"pw"), TypeError, "password is bytes but text is str"),
    (lambda: q.encipher_text(b"a", bytearray(b"pw"), allow_loss=1), None, None),
    (lambda: q.convert(b"a", encoding="utf-8"), ValueError, "encoding must be 'cp1252' or 'latin1', not 'utf-8'"),
    (lambda: q.convert(b"a", encoding="none"), ValueError, "encoding must be 'cp1252' or 'latin1'"),
    (lambda: q.convert(b"a", encoding=1252), TypeError, "encoding must be a str, not int"),
    (lambda: q.power_encryption(b"a", "ebcdic"), ValueError, "code_page must be 'cp1252', 'latin1' or 'none'"),
    (lambda: q.convert(b"a", b"b"), TypeError, "incompatible function arguments"),
    (lambda: q.convert(), TypeError, "incompatible function arguments"),
    (lambda: q.encode_decode_file(5, "out", b"pw"), TypeError, "input_path must be str, bytes or os.PathLike"),
    (lambda: q.encode_decode_file("in\0x", "out", b"pw"), ValueError, "embedded null character"),
    (lambda: q.encode_decode_file("in", "out", 5), TypeError, "password must be bytes-like or str, not int"),
    (lambda: q.encode_decode_file("in", "out", b"pw", -1), ValueError, "state must be 0..0xFFFFFF, not -1"),
    (lambda: q.encode_decode_file("in", "out", b"pw", 2**24), ValueError, "state must be 0..0xFFFFFF"),
    (lambda: q.encode_decode_file("in", "out", b"pw", "0"), TypeError, "state must be an int, not str"),
    (lambda: q.wipe_file_clean(None), TypeError, "path must be str, bytes or os.PathLike, not NoneType"),
    (lambda: q.Encryption(message_box=5), TypeError, "message_box must be callable or None"),
    (lambda: q.Encryption(code_page="koi8"), ValueError, "code_page must be"),
    (lambda: q.Encryption(state=-5), ValueError, "state must be 0..0xFFFFFF"),
    (lambda: q.Encryption().EncryptPassword(300, b"x"), ValueError, "Number must be 0..255, not 300"),
    (lambda: q.Encryption().SeedEncryption("a", b"b"), TypeError, "SeedPassword is bytes but InPutString is str"),
]


@pytest.mark.parametrize("call, exception, words", BAD_ARGUMENTS)
def test_bad_arguments_raise_clear_errors(call, exception, words):
    if exception is None:
        call()  # accepted: a bytearray password, a truthy allow_loss
        return
    with pytest.raises(exception) as raised:
        call()
    assert words in str(raised.value)


def test_bytes_like_arguments_and_their_results():
    assert q.convert(bytearray(b"abc")) == b"616263"
    assert q.convert(memoryview(b"xabcx")[1:4]) == b"616263"
    assert type(q.convert(bytearray(b"abc"))) is bytes
    assert type(q.convert("abc")) is str
    with pytest.raises(BufferError):
        q.convert(memoryview(b"abcdef")[::2])


@pytest.mark.parametrize("text, encoding, position", [
    ("ab\u4e2d", "cp1252", 2),      # not in either code page
    ("\u20ac", "latin1", 0),        # the euro sign is code 0x80 in Windows-1252 only
    ("x\x80", "cp1252", 1),         # U+0080 is not a Windows-1252 character
    ("xyz\U0001F600", "latin1", 3),
])
def test_characters_outside_the_code_page_name_their_position(text, encoding, position):
    with pytest.raises(UnicodeEncodeError) as raised:
        q.encrypt_password(5, text, encoding=encoding)
    assert (raised.value.start, raised.value.end) == (position, position + 1)
    assert f"position {position}" in str(raised.value)


def test_code_pages_of_str_texts():
    assert q.convert("\u20ac\x81\u0178") == "80819F"                  # euro, an undefined code, Y diaeresis
    assert q.convert("\x80\xff", encoding="latin1") == "80FF"
    assert q.deconvert("809D") == "\u20ac\x9d"
    assert q.deconvert("809D", encoding="latin1") == "\x80\x9d"
    assert q.convert("", encoding="iso-8859-1") == ""                  # an alias
