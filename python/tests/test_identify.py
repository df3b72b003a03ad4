"""quillfern.identify: the readings of texts made by each operation, what a
reading carries, and the call it names restoring the text."""

import pickle

import pytest

import quillfern

SENTENCE = b"Meet me at the old mill at nine"


def made(operation, text):
    """`text` as each operation makes it, with the key identify should find."""
    if operation == "convert":
        return quillfern.convert(text), None, None
    if operation == "EncryptPassword":
        return quillfern.encrypt_password(7, text), 7, None
    if operation == "EasyCryptEnCode":
        return quillfern.easy_crypt_encode(text), None, None
    if operation == "TextBoxCrypt":
        cipher, key = quillfern.text_box_crypt(text, b"hunter2")
        return cipher, int(key), None
    return quillfern.encipher_text(text, b"hunter2"), None, b"hunter2"


OPERATIONS = ["convert", "EncryptPassword", "EasyCryptEnCode", "TextBoxCrypt", "EnCipherText"]


@pytest.mark.parametrize("operation", OPERATIONS)
def test_the_right_reading_comes_first_and_restores_the_text(operation):
    stored, key, password = made(operation, SENTENCE)
    readings = quillfern.identify(stored)
    assert readings, operation
    best = readings[0]
    assert isinstance(best, quillfern.Reading)
    assert (best.operation, best.key, best.password) == (operation, key, password)
    assert best.result == SENTENCE and best.length == len(SENTENCE) and best.plausible
    assert best.restored_by == {"convert": "DeConvert", "EncryptPassword": "DecryptPassword",
                                "EasyCryptEnCode": "EasyCryptDeCode", "TextBoxCrypt": "TextBoxDeCrypt",
                                "EnCipherText": "DeCipherText"}[operation]
    assert best.restore(stored) == SENTENCE
    # the command is the same call, as text
    assert eval(best.command, {"quillfern": quillfern, "text": stored}) == SENTENCE
    scores = [r.score for r in readings]
    assert scores == sorted(scores)


@pytest.mark.parametrize("operation", OPERATIONS)
def test_str_texts_give_str_readings_through_the_code_page(operation):
    # (a password code and a code above 127 would cut the cipher text)
    text = "Caf\u00e9 at eight, the usual table" if operation != "EnCipherText" else "Cafe at eight, the usual table"
    stored, key, _ = made(operation, text.encode("cp1252"))
    stored_text = stored.decode("latin1")
    readings = quillfern.identify(stored_text, encoding="latin1")
    best = readings[0]
    assert best.operation == operation and best.key == key
    assert best.result == text.encode("cp1252").decode("latin1")
    assert best.restore(stored_text) == best.result
    assert eval(best.command, {"quillfern": quillfern, "text": stored_text}) == best.result
    assert "encoding='latin-1'" in best.command


def test_text_box_readings_name_a_password_of_their_key_number():
    # The text-box cipher depends on the key number only: the command names
    # a password of that number, never the one that was used.
    for key in (0, 1, 3, 59, 420, 1083):
        password = quillfern._types._text_box_password(key)
        assert all(32 <= ord(c) < 127 for c in password)
        assert quillfern.text_box_decrypt(b"x", password.encode(), allow_loss=True)[1] == str(key).encode()


def test_kept_all_and_the_bounds():
    stored = quillfern.easy_crypt_encode(SENTENCE * 10)
    short = quillfern.identify(stored, kept=8)[0]
    assert short.result == SENTENCE[:8] and short.length == len(SENTENCE) * 10
    assert short.restore(stored) == SENTENCE * 10
    plausible = quillfern.identify(stored)
    everything = quillfern.identify(stored, all=True)
    assert len(everything) > len(plausible) and all(r.plausible for r in plausible)
    assert any(not r.plausible for r in everything)
    cipher, key = quillfern.text_box_crypt(SENTENCE, b"~" * 15)  # code sum 1890: key number 31
    assert int(key) == 31
    assert all(r.key != 31 for r in quillfern.identify(cipher, max_key=20) if r.operation == "TextBoxCrypt")
    assert quillfern.identify(cipher, max_key=31)[0].key == 31
    long_password = quillfern.encipher_text(SENTENCE, b"longpassword")
    assert all(r.operation != "EnCipherText" for r in quillfern.identify(long_password, max_password=4))


def test_nothing_to_read_and_bad_arguments():
    assert quillfern.identify(b"") == []
    assert quillfern.identify(bytes(range(256)) * 4) == []
    with pytest.raises(TypeError):
        quillfern.identify(12)
    with pytest.raises(TypeError):
        quillfern.identify(b"abc", 5)  # the options are keywords
    with pytest.raises(ValueError):
        quillfern.identify("abc", encoding="utf-8")
    with pytest.raises(UnicodeEncodeError):
        quillfern.identify("\u20ac\u4e00", encoding="latin1")
    with pytest.raises(TypeError):
        quillfern.identify(b"abc", max_key=-1)


def test_a_reading_compares_pickles_and_shows_itself():
    best = quillfern.identify(quillfern.convert(SENTENCE))[0]
    assert pickle.loads(pickle.dumps(best)) == best
    assert "Reading('convert'" in repr(best)
