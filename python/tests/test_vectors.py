"""Every case of the vector files of tests/data (the files the C++ tests
read), through the module's function and through the Encryption control,
with bytes and with str."""

import pytest

import quillfern
import vectors

from quillfern import Message

CASES = vectors.load_all()

# Sections of operations that the package does not offer: the generator
# itself is covered by the C++ tests and here through EncodeDecodeFile.
NOT_OFFERED = {"BasicRandom"}


def as_str(codes):
    """Codes as the str that Latin-1 gives them."""
    return codes.decode("latin-1")


def check_text(function, arguments, expected, **keywords):
    """function(*arguments) gives `expected`, with bytes and with str (Latin-1)."""
    assert function(*arguments, **keywords) == expected
    text_arguments = [as_str(a) if isinstance(a, bytes) else a for a in arguments]
    result = function(*text_arguments, encoding="latin1", **keywords)
    assert isinstance(result, str)
    assert result == as_str(expected)


def check_error(function, arguments, number):
    with pytest.raises(quillfern.Error) as raised:
        function(*arguments)
    assert raised.value.number == number


def run_transform(function, method, arguments, case):
    """A transform of subsystem 2: Out, or the error of Error."""
    control = quillfern.Encryption()
    if "Error" in case:
        check_error(function, arguments, case.number("Error"))
        check_error(getattr(control, method), arguments, case.number("Error"))
    else:
        check_text(function, arguments, case["Out"])
        assert getattr(control, method)(*arguments) == case["Out"]


def password_runner(function, method):
    return lambda case: run_transform(function, method, (case.number("Number"), case["In"]), case)


def text_runner(function, method):
    return lambda case: run_transform(function, method, (case["In"],), case)


def run_seed(case):
    run_transform(quillfern.seed_encryption, "SeedEncryption", (case["In"], case["Seed"]), case)


def run_power(case):
    page = case["CodePage"].decode()
    assert quillfern.power_encryption(case["In"], page) == case["Out"]
    assert quillfern.power_encryption(case["In"], code_page=page) == case["Out"]
    assert quillfern.Encryption(code_page=page).PowerEncryption(case["In"]) == case["Out"]


def run_fast_blow_fish(case):
    zeros = tuple(int(n) for n in case["Zeros"].split())
    result = quillfern.fast_blow_fish(case["In"], case["Password"])
    assert isinstance(result, quillfern.Ciphered)
    assert result == case["Out"] and result.zeros == zeros
    text = quillfern.fast_blow_fish(as_str(case["In"]), as_str(case["Password"]), encoding="latin1")
    assert isinstance(text, quillfern.CipheredText)
    assert text == as_str(case["Out"]) and text.zeros == zeros
    control = quillfern.Encryption()
    assert control.FastBlowFish(case["In"], case["Password"]) == case["Out"]
    assert control.messages == [Message("ERROR Zero!", 0, "quillfern")] * len(zeros)


def text_box_runner(function, method):
    def run(case):
        expected = (None if "Variant" in case else case["Out"], case["Key"])
        dropped = int(case["Dropped"])
        if dropped:
            with pytest.raises(quillfern.DataLoss) as raised:
                function(case["In"], case["Password"])
            assert raised.value.result == expected
        else:
            assert function(case["In"], case["Password"]) == expected
        assert function(case["In"], case["Password"], allow_loss=True) == expected
        control = quillfern.Encryption()
        assert getattr(control, method)(case["In"], case["Password"]) == expected
        assert control.messages == []
    return run


def cipher_text_runner(function, method, loss_key):
    def run(case):
        arguments = (case["In"], case["Password"])
        control = quillfern.Encryption()
        assert getattr(control, method)(*arguments) == case["Out"]
        if "Box" in case:
            assert control.messages == [Message(case["Box"].decode(), 12, "Oldvane")]
            with pytest.raises(quillfern.Refused) as raised:
                function(*arguments)
            assert (raised.value.message, raised.value.title) == (case["Box"].decode(), "Oldvane")
            return
        assert control.messages == []
        if loss_key in case:
            with pytest.raises(quillfern.DataLoss) as raised:
                function(*arguments)
            assert raised.value.position == int(case[loss_key])
            assert raised.value.result == case["Out"]
            check_text(function, arguments, case["Out"], allow_loss=True)
        else:
            check_text(function, arguments, case["Out"])
    return run


def run_file_cipher(case, tmp_path):
    state, end = int(case["State"]), int(case["End"])
    source, target = tmp_path / "in", tmp_path / "out"
    source.write_bytes(case["In"])
    assert quillfern.encode_decode_file(source, target, case["Password"], state) == end
    assert target.read_bytes() == case["Out"]
    control = quillfern.Encryption(state=state)
    control.EncodeDecodeFile(source, tmp_path / "by control", case["Password"])
    assert control.generator_state == end
    assert (tmp_path / "by control").read_bytes() == case["Out"]


RUNNERS = {
    "EncryptPassword": password_runner(quillfern.encrypt_password, "EncryptPassword"),
    "DecryptPassword": password_runner(quillfern.decrypt_password, "DecryptPassword"),
    "Convert": text_runner(quillfern.convert, "convert"),
    "DeConvert": text_runner(quillfern.deconvert, "DeConvert"),
    "EasyCryptEnCode": text_runner(quillfern.easy_crypt_encode, "EasyCryptEnCode"),
    "EasyCryptDeCode": text_runner(quillfern.easy_crypt_decode, "EasyCryptDeCode"),
    "SeedEncryption": run_seed,
    "PowerEncryption": run_power,
    "FastBlowFish": run_fast_blow_fish,
    "TextBoxCrypt": text_box_runner(quillfern.text_box_crypt, "TextBoxCrypt"),
    "TextBoxDeCrypt": text_box_runner(quillfern.text_box_decrypt, "TextBoxDeCrypt"),
    "EnCipherText": cipher_text_runner(quillfern.encipher_text, "EnCipherText", "CutAt"),
    "DeCipherText": cipher_text_runner(quillfern.decipher_text, "DeCipherText", "StoppedAt"),
}


def test_every_file_has_cases_and_every_section_a_runner():
    assert CASES
    sections = {case.section for case in CASES}
    assert sections <= set(RUNNERS) | NOT_OFFERED | {"EncodeDecodeFile"}


@pytest.mark.parametrize("case", [c for c in CASES if c.section not in NOT_OFFERED], ids=vectors.Case.id)
def test_vector(case, tmp_path):
    if case.section == "EncodeDecodeFile":
        run_file_cipher(case, tmp_path)
    else:
        RUNNERS[case.section](case)
