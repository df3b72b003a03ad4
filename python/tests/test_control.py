"""quillfern.Encryption: the control's property, its message boxes, its
generator, and calls from several threads."""

import gc
import threading

import pytest

import quillfern
from quillfern import Message

ZERO = Message("ERROR Zero!", 0, "quillfern")
NO_PASSWORD = Message("Please put in a password", 12, "Oldvane")
DENIED = Message("Access Denied", 12, "Oldvane")

PUBLISHED = ["About", "EncryptPassword", "DecryptPassword", "convert", "DeConvert", "EasyCryptEnCode",
             "EasyCryptDeCode", "EncodeDecodeFile", "PowerEncryption", "FastBlowFish", "SeedEncryption",
             "TextBoxCrypt", "TextBoxDeCrypt", "DeCipherText", "EnCipherText", "WipeFileClean"]


def test_every_published_method_with_its_parameter_names():
    import inspect
    for name in PUBLISHED:
        assert callable(getattr(quillfern.Encryption, name)), name
    parameters = inspect.signature(quillfern.Encryption().EncodeDecodeFile).parameters
    assert list(parameters) == ["InputFile", "OutputFile", "Password"]
    control = quillfern.Encryption()
    assert control.EncryptPassword(Number=5, DecryptedPassword=b"Secret1") == b"]emhoj3"


def test_enabled_is_true_at_first_and_changes_nothing():
    control = quillfern.Encryption()
    assert control.Enabled is True
    enabled = [control.FastBlowFish(b"Hello, world", b"secret"), control.TextBoxCrypt(b"Hello!", b"abc")]
    control.Enabled = False
    assert control.Enabled is False
    assert [control.FastBlowFish(b"Hello, world", b"secret"), control.TextBoxCrypt(b"Hello!", b"abc")] == enabled
    control.Enabled = True
    assert control.Enabled is True


def test_messages_are_collected_when_no_callable_is_given():
    control = quillfern.Encryption()
    assert control.EnCipherText(b"text", b"") == b""
    assert control.DeCipherText(b"zr{", b"9") == b"zr{"  # refused: the cipher text comes back
    assert control.DeCipherText("zr{", "9") == "zr{"
    assert control.messages == [NO_PASSWORD, DENIED, DENIED]
    assert all(isinstance(m.text, str) for m in control.messages)


def test_messages_go_to_the_callable():
    shown = []
    control = quillfern.Encryption(shown.append)
    out = control.FastBlowFish(b"Hello, world", b"secret")
    assert shown == [ZERO] * 4
    assert control.messages == []
    assert out == quillfern.fast_blow_fish(b"Hello, world", b"secret")


def test_a_failing_callable_raises_after_the_operation():
    calls = []

    def box(message):
        calls.append(message)
        raise KeyError("box closed")

    control = quillfern.Encryption(box)
    with pytest.raises(KeyError, match="box closed"):
        control.FastBlowFish(b"Hello, world", b"secret")
    assert calls == [ZERO]  # not called again within that operation
    assert control.EnCipherText(b"ab", b"k") == quillfern.encipher_text(b"ab", b"k")  # nothing shown, nothing raised
    with pytest.raises(KeyError):
        control.DeCipherText(b"x", b"")
    assert len(calls) == 2


def test_a_callable_may_call_the_control_again():
    seen = []
    control = quillfern.Encryption(lambda m: seen.append((m.text, control.convert(m.text))))
    control.DeCipherText(b"zr{", b"9")
    assert seen == [("Access Denied", "4163636573732044656E696564")]


def test_the_text_box_ciphers_return_the_password_as_key_digits():
    control = quillfern.Encryption()
    assert control.TextBoxCrypt(b"Hello!", b"abc") == (b"Hgqos\x1f", b"4")
    assert control.TextBoxDeCrypt("Hgqos\x1f", "abc") == ("Hello!", "4")
    assert control.TextBoxCrypt(b"", b"abc") == (None, b"4")  # the empty variant
    assert control.TextBoxCrypt(b"\x00\x01\x02", b"LMN") == (b"\x04\x06", b"3")  # dropped without a word


def test_code_page_of_the_host():
    assert quillfern.Encryption().code_page == "cp1252"
    latin = quillfern.Encryption(code_page="latin1")
    assert latin.PowerEncryption(b"\x9a\xff") == bytes.fromhex("d664")
    assert quillfern.Encryption().PowerEncryption(b"\x9a\xff") == bytes.fromhex("a23f")
    assert latin.convert("\x80") == "80"
    with pytest.raises(UnicodeEncodeError):
        quillfern.Encryption().convert("\x80")


def test_errors_leave_nothing_behind():
    control = quillfern.Encryption()
    with pytest.raises(quillfern.Error) as raised:
        control.About()
    assert raised.value.number == 445
    with pytest.raises(quillfern.Error) as raised:
        control.EncryptPassword(11, b"a")
    assert raised.value.number == 5
    assert control.messages == []


def test_generator_state():
    control = quillfern.Encryption(state=0x123456)
    assert control.generator_state == 0x123456
    control.generator_state = None
    assert control.generator_state == 0x50000
    with pytest.raises(ValueError):
        control.generator_state = 1 << 24


def test_a_control_in_a_cycle_with_its_callable_is_collected():
    class Box:
        collected = False

        def __call__(self, message):
            pass

        def __del__(self):
            Box.collected = True

    box = Box()
    control = quillfern.Encryption(box)
    box.control = control
    del box, control
    gc.collect()
    assert Box.collected


def test_threads_share_one_control_in_turns():
    shown = []
    control = quillfern.Encryption(shown.append)
    text = bytes(range(256)) * 1024  # long enough to run without the GIL
    expected = quillfern.fast_blow_fish(text, b"pw")
    assert expected.zeros  # boxes are shown from calls that run without the GIL
    results, failures = [], []

    def work():
        try:
            for _ in range(3):
                results.append(control.FastBlowFish(text, b"pw"))
        except BaseException as error:  # pragma: no cover - reported below
            failures.append(error)

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert failures == []
    assert results == [expected] * 12
    assert len(shown) == 12 * len(expected.zeros)
